"""Engine packages and saved games for sessions against engines that fail:
fake engines run from a script (the test program of the engine dialogue
tests), saved games that name them, and the engine processes of a client."""

import os
import shutil
import signal

import harness

FAKE = os.path.join(harness.SOURCE, "client", "core", "tests", "support", "fake_engine.py")
FEATURES = "say feature ping=1 setboard=1 done=1\n"


def install_fake(c, name, script, log=None):
    """A package engines/<name>/ running the fake engine with script; its log of what it read
    (in the package, unless log names another file)."""
    folder = os.path.join(c.folder, "engines", name)
    os.makedirs(folder, exist_ok=True)
    shutil.copy(FAKE, os.path.join(folder, "fake_engine.py"))
    with open(os.path.join(folder, "script.txt"), "w") as f:
        f.write(script)
    log = log or os.path.join(folder, "engine.log")
    open(log, "w").close()
    command = f'\\"{folder}/fake_engine.py\\" \\"{folder}/script.txt\\" \\"{log}\\"'
    with open(os.path.join(folder, "info.cfg"), "w") as f:
        f.write(f'exe = "/usr/bin/python3"\ncommand = "{command}"\n')
    return log


def awake_copy(c, engine, name="Awake"):
    """A copy of the package engine under name that never rests; the copy's name."""
    folder = os.path.join(c.folder, "engines", name)
    shutil.copytree(os.path.join(c.folder, "engines", engine), folder)
    with open(os.path.join(folder, "info.cfg")) as f:
        info = f.read().replace("rest = yes", "")
    with open(os.path.join(folder, "info.cfg"), "w") as f:
        f.write(info)
    return name


def saved_game(c, name, engine, local="black", seconds=0, depth=None, moves=0):
    """A saved game against engine at its start, as Save Game writes one; its path."""
    lines = ["game = {", "\ttype = AIGame", f'\tengine = "{engine}"', f"\tLocalPlayer = {local}",
             "\tpondering = no"]
    if depth is not None:
        lines.append(f"\tdepth = {depth}")
    lines += ["\ttimecontrol = {", "\t\ttype = conventional" if seconds else "\t\ttype = none",
              f"\t\tmoves = {moves}", f"\t\tseconds = {seconds}", "\t}", "}", ""]
    path = os.path.join(c.base, name + ".rwg")
    with open(path, "w") as f:
        f.write("\n".join(lines))
    return path


def adapter_log(c):
    """What the client's logs hold of its talk with the default engine's adapter."""
    folder = os.path.join(c.folder, "logs")
    if not os.path.isdir(folder):
        return ""
    return "".join(open(os.path.join(folder, name), errors="replace").read()
                   for name in sorted(os.listdir(folder)) if "polyglot" in name)


def forget_adapter_log(c):
    """Removes the adapter's logs before a start: each start numbers its engines from one again and
    rewrites the last start's log only once its engine runs, so moves of the last game would count."""
    folder = os.path.join(c.folder, "logs")
    for name in os.listdir(folder) if os.path.isdir(folder) else ():
        if "polyglot" in name:
            os.remove(os.path.join(folder, name))


def processes_under(folder):
    """Running processes whose command line names something in folder."""
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                command = f.read().replace(b"\0", b" ").decode(errors="replace")
            with open(f"/proc/{pid}/stat") as f:
                state = f.read().rsplit(")", 1)[1].split()[0]
        except OSError:
            continue
        if folder in command and state != "Z":
            found.append(int(pid))
    return found


def processes_working_in(folder):
    """{pid: (state, name)} of the live processes whose working folder is in folder: the engines of a
    client's program folder (folder/engines), found even once that client is gone and they are nobody's."""
    folder = os.path.realpath(folder) + os.sep
    found = {}
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            cwd = os.readlink(f"/proc/{pid}/cwd")
            with open(f"/proc/{pid}/stat") as f:
                text = f.read()
        except OSError:
            continue
        state = text.rsplit(")", 1)[1].split()[0]
        if (cwd + os.sep).startswith(folder) and state not in ("Z", "X"):
            found[int(pid)] = (state, text[text.index("(") + 1:text.rindex(")")])
    return found


def engine_processes(c, program):
    """Processes started by the client whose command line names program."""
    client = c.process.pid
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                command = f.read().replace(b"\0", b" ").decode(errors="replace")
        except OSError:
            continue
        # The engine runs in a process group of its own, started by the client.
        parent = int(fields[1])
        if program in command and fields[0] != "Z" and (parent == client or _descends(int(pid), client)):
            found.append(int(pid))
    return found


def _descends(pid, ancestor):
    for _ in range(8):
        try:
            with open(f"/proc/{pid}/stat") as f:
                pid = int(f.read().rsplit(")", 1)[1].split()[1])
        except OSError:
            return False
        if pid == ancestor:
            return True
        if pid <= 1:
            return False
    return False


def signal_all(pids, sig=signal.SIGKILL):
    for pid in pids:
        try:
            os.kill(pid, sig)
        except ProcessLookupError:
            pass
