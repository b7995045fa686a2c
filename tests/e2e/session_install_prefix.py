#!/usr/bin/env python3
"""The install step: `cmake --install` into a staging prefix, and again for a
package through DESTDIR, puts the program folder under lib/rookwell, the
`rookwell` command, a menu entry that desktop-file-validate accepts, the
icon in six sizes and the file types in place; the command starts the
installed client on a PGN file."""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

import harness
from harness import check

USER = "tester"
PGN = os.path.join(harness.TESTDATA, "pgn", "kasparov-deep-blue-1997.pgn")
SIZES = (16, 32, 48, 64, 128, 256)
MIME = "{http://www.freedesktop.org/standards/shared-mime-info}"


def install(build, prefix, destdir=None):
    env = dict(os.environ)
    env.pop("DESTDIR", None)
    if destdir:
        env["DESTDIR"] = destdir
    result = subprocess.run(["cmake", "--install", build, "--prefix", prefix], env=env, capture_output=True, text=True)
    check(result.returncode == 0, f"cmake --install --prefix {prefix}: {result.stderr}")


def png_size(path):
    with open(path, "rb") as f:
        header = f.read(24)
    check(header[:8] == b"\x89PNG\r\n\x1a\n" and header[12:16] == b"IHDR", f"{path} is a PNG")
    return struct.unpack(">II", header[16:24])


def check_installed(root):
    """The files of an install below root (the prefix, or DESTDIR + prefix)."""
    folder = os.path.join(root, "lib", "rookwell")
    for program in ("tavrin", "updater", "linkhop"):
        check(os.access(os.path.join(folder, program), os.X_OK), f"{program} is installed and runs")
    for data in ("cfg/app.cfg", "assets/cfg/defaultuser.cfg", "boards/large wood", "html/english", "engines"):
        check(os.path.exists(os.path.join(folder, data)), f"the program folder has {data}")
    for written in ("users", "logs", "live content"):
        check(not os.path.exists(os.path.join(folder, written)), f"no {written} of the build is installed")
    command = os.path.join(root, "bin", "rookwell")
    check(os.access(command, os.X_OK), "the rookwell command is installed")

    entry = os.path.join(root, "share", "applications", "rookwell.desktop")
    result = subprocess.run(["desktop-file-validate", entry], capture_output=True, text=True)
    check(result.returncode == 0 and not result.stdout.strip(), f"desktop-file-validate: {result.stdout}")
    fields = dict(line.split("=", 1) for line in open(entry).read().splitlines() if "=" in line)
    check(fields.get("Exec") == "rookwell %F", f"the entry starts rookwell with the files: {fields.get('Exec')}")
    check(fields.get("Icon") == "rookwell", "the entry names the icon")
    types = [t for t in fields.get("MimeType", "").split(";") if t]

    for size in SIZES:
        icon = os.path.join(root, "share", "icons", "hicolor", f"{size}x{size}", "apps", "rookwell.png")
        check(png_size(icon) == (size, size), f"the {size} pixel icon is {size} pixels square")

    package = ElementTree.parse(os.path.join(root, "share", "mime", "packages", "rookwell.xml")).getroot()
    globs = {t.get("type"): [g.get("pattern") for g in t.findall(MIME + "glob")]
             for t in package.findall(MIME + "mime-type")}
    check(sorted(sum(globs.values(), [])) == ["*.rwf", "*.rwg"], f"the turn and saved-game types: {globs}")
    for declared in globs:
        check(declared in types, f"the entry opens {declared}: {types}")
    check("application/vnd.chess-pgn" in types, f"the entry opens PGN files: {types}")
    return command


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(harness.SOURCE, "build"))
    stage = tempfile.mkdtemp(prefix="rookwell-install-")
    try:
        prefix = os.path.join(stage, "prefix")
        install(build, prefix)
        command = check_installed(prefix)
        install(build, "/usr", destdir=os.path.join(stage, "package"))
        check_installed(os.path.join(stage, "package", "usr"))

        def steps(c):
            # The installed folder as a session's folder, with the command beside it.
            os.makedirs(os.path.join(c.base, "usr", "bin"))
            launcher = os.path.join(c.base, "usr", "bin", "rookwell")
            shutil.copy(command, launcher)
            c.command = [launcher]
            c.start(PGN)
            c.wait_window("^(PGN Viewer|" + os.path.basename(PGN).replace(".", r"\.") + ")$", 15,
                          besides=(c.frame,))
            c.screenshot("pgn-viewer")
            check(os.readlink(f"/proc/{c.process.pid}/exe") == os.path.join(c.folder, "tavrin"),
                  "the command runs the client of the installed folder in its own place")
            check(os.path.isdir(os.path.join(c.folder, "users", USER)), "the installed client ran from its folder")
            c.kill()
        return harness.run("install-prefix", steps, user=USER, program=os.path.join(prefix, "lib", "rookwell"),
                           folder=os.path.join("usr", "lib", "rookwell"))
    except harness.Failure as error:
        print(f"install-prefix: FAILED ({error})")
        return 1
    finally:
        shutil.rmtree(stage, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
