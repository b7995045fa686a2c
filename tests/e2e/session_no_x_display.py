#!/usr/bin/env python3
"""A start in a session without an X display, as on a Wayland desktop
without Xwayland (WAYLAND_DISPLAY set, DISPLAY not): the client says in its
own words that it needs an X display and that Xwayland gives one, on
standard error and through notify-send, else zenity, where they exist; it
ends with a failing status and writes nothing, in its program folder or in
the home folder. A DISPLAY where no X server answers, or one whose server
does not let the account in (started with su or sudo without the display's
permission), is told in its own words too, before the toolkit would say
its own."""

import os
import shutil
import subprocess
import sys
import tempfile

import harness
from harness import check, wait_until

WORDS = ("Rookwell needs an X display", "Xwayland")
REFUSED = ("Rookwell cannot open the X display", "xhost +SI:localuser:")


def recorder(folder, name, status):
    """A stand-in for a desktop tool: it writes its arguments, one a line, to NAME.args and exits with status."""
    path = os.path.join(folder, name)
    with open(path, "w") as f:
        f.write(f"#!/bin/sh\nprintf '%s\\n' \"$@\" > '{path}.args.part' && mv '{path}.args.part' '{path}.args'\n"
                f"exit {status}\n")
    os.chmod(path, 0o755)
    return path + ".args"


def start(program, base, tools, display=None):
    env = {"PATH": tools + ":/usr/bin:/bin", "HOME": os.path.join(base, "home"), "LANG": "C.UTF-8",
           "WAYLAND_DISPLAY": "wayland-0", "XDG_RUNTIME_DIR": base, "XDG_SESSION_TYPE": "wayland"}
    if display:
        env["DISPLAY"] = display
    result = subprocess.run([program], env=env, cwd=base, capture_output=True, text=True,
                            timeout=30 * harness.SLOWDOWN)
    return result.returncode, result.stderr


def free_display_number():
    """A display number no X server listens at."""
    number = 500
    while os.path.exists(f"/tmp/.X11-unix/X{number}") or os.path.exists(f"/tmp/.X{number}-lock"):
        number += 1
    return number


def refused(program, base, tools, display, what):
    status, stderr = start(program, base, tools, display)
    check(status != 0, f"{what}: the start fails: status {status}")
    check(all(w in stderr for w in REFUSED) and display in stderr, f"{what}: standard error says why: {stderr!r}")
    check("Unable to initialize GTK" not in stderr, f"{what}: the toolkit never got to say its own words")


def steps(build, base):
    program = os.path.join(build, "program", "tavrin")
    check(os.access(program, os.X_OK), f"{program} is built")
    folder = sorted(os.listdir(os.path.dirname(program)))
    os.makedirs(os.path.join(base, "home"))

    def said(text):
        return all(w in text for w in WORDS)

    # notify-send shows it.
    tools = os.path.join(base, "with-notify")
    os.makedirs(tools)
    notified = recorder(tools, "notify-send", 0)
    boxed = recorder(tools, "zenity", 0)
    status, stderr = start(program, base, tools)
    check(status != 0, f"the start fails: status {status}")
    check(said(stderr), f"standard error says what is needed: {stderr!r}")
    check("Unable to initialize GTK" not in stderr, "the toolkit never got to say its own words")
    shown = harness.read_text(notified) or ""
    check(said(shown), f"notify-send shows it: {shown!r}")
    check(not os.path.exists(boxed), "one notice only")

    # Where notify-send fails (no notification service), zenity's box shows it.
    tools = os.path.join(base, "with-zenity")
    os.makedirs(tools)
    recorder(tools, "notify-send", 1)
    boxed = recorder(tools, "zenity", 0)
    status, stderr = start(program, base, tools)
    check(status != 0 and said(stderr), f"the start fails and says why: {status} {stderr!r}")
    box = wait_until(lambda: harness.read_text(boxed), 15, "zenity's box").split("\n")
    check("--error" in box and said("\n".join(box)), f"zenity shows it as an error: {box}")

    # Neither: standard error alone.
    tools = os.path.join(base, "none")
    os.makedirs(tools)
    status, stderr = start(program, base, tools)
    check(status != 0 and said(stderr), f"the start fails and says why: {status} {stderr!r}")

    # A display no server answers at, and one whose server asks a cookie this account lacks.
    refused(program, base, tools, ":" + str(free_display_number()), "no X server there")
    cookie = os.path.join(base, "display cookie")
    subprocess.run(["xauth", "-q", "-f", cookie, "add", ":0", ".",
                    subprocess.run(["mcookie"], capture_output=True, text=True, check=True).stdout.strip()],
                   check=True, capture_output=True)
    guarded = harness.Display(auth=cookie)
    try:
        refused(program, base, tools, guarded.name, "an X server that refuses the account")
    finally:
        guarded.close()

    check(sorted(os.listdir(os.path.dirname(program))) == folder, "nothing was written in the program folder")
    check(not os.listdir(os.path.join(base, "home")), "nothing was written in the home folder")


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(harness.SOURCE, "build"))
    base = tempfile.mkdtemp(prefix="rookwell-no-x-")
    try:
        steps(build, base)
    except (harness.Failure, subprocess.TimeoutExpired) as error:
        print(f"no-x-display: FAILED ({error})")
        return 1
    finally:
        shutil.rmtree(base, ignore_errors=True)
    print("no-x-display: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
