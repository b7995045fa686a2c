#!/usr/bin/env python3
"""A scripted stand-in for a chess engine, for the engine dialogue tests.

Usage: fake_engine.py SCRIPT LOG

Everything read from standard input is appended to LOG, one line each. The
script is run step by step, one step a line:

  say TEXT        write TEXT and a line end
  raw TEXT        write TEXT as it stands (\\n, \\r and \\t are decoded)
  err COUNT       write COUNT bytes of noise lines to standard error
  blob COUNT      write COUNT bytes without a line end
  flood COUNT TEXT  write TEXT as COUNT lines at once
  wait PREFIX     read lines until one starts with PREFIX (end of input: exit)
  sleep MS        pause
  exit CODE       end at once with that code
  cwd             write "cwd " and the working folder
  autopong on|off answer "ping N" with "pong N" while waiting (on at start)
  deaf            ignore the end of input, "quit" and SIGTERM: run until killed
  timed PREFIX    as wait, for an engine that budgets only from the clocks it
                  is told: ends with code 7 unless "time N" and "otim N" (N > 0)
                  came since the last timed step and after the last "level"
  quiton WORD...  from now on, end with code 9 on reading a line that is one
                  of the words
  note TEXT       append "note TEXT" and the monotonic clock's seconds to LOG
                  (after a say, when the client has taken all before it but
                  what the pipe holds)

After the last step the engine reads on until "quit" or the end of input.
"""
import os
import signal
import sys
import time


def main():
    script_path, log_path = sys.argv[1], sys.argv[2]
    with open(script_path) as f:
        steps = [line.rstrip("\n") for line in f if line.strip()]
    log = open(log_path, "a", buffering=1)
    out = sys.stdout
    autopong = True
    clocks = set()
    fatal = set()

    def read_line():
        line = sys.stdin.readline()
        if not line:
            return None
        line = line.rstrip("\n")
        log.write(line + "\n")
        if line in fatal:
            os._exit(9)
        word, _, value = line.partition(" ")
        if word in ("time", "otim") and value.isdigit() and int(value) > 0:
            clocks.add(word)
        elif word == "level":
            clocks.clear()
        if autopong and line.startswith("ping "):
            out.write("pong " + line[5:] + "\n")
            out.flush()
        return line

    def wait_for(prefix):
        """Reads up to a line starting with prefix; False at the end of input."""
        while True:
            line = read_line()
            if line is None:
                return False
            if line.startswith(prefix):
                return True

    for step in steps:
        word, _, rest = step.partition(" ")
        if word == "say":
            out.write(rest + "\n")
            out.flush()
        elif word == "raw":
            out.write(rest.replace("\\n", "\n").replace("\\r", "\r").replace("\\t", "\t"))
            out.flush()
        elif word == "err":
            left = int(rest)
            while left > 0:
                chunk = ("noise " * 16 + "\n")[:left]
                sys.stderr.write(chunk)
                left -= len(chunk)
            sys.stderr.flush()
        elif word == "blob":
            out.write("x" * int(rest))
            out.flush()
        elif word == "flood":
            count, _, text = rest.partition(" ")
            out.write((text + "\n") * int(count))
            out.flush()
        elif word == "wait":
            if not wait_for(rest):
                return 0
        elif word == "timed":
            if not wait_for(rest):
                return 0
            if clocks != {"time", "otim"}:
                out.flush()
                os._exit(7)
            clocks.clear()
        elif word == "note":
            log.write(f"note {rest} {time.monotonic():.6f}\n")
        elif word == "quiton":
            fatal.update(rest.split())
        elif word == "sleep":
            time.sleep(int(rest) / 1000.0)
        elif word == "exit":
            out.flush()
            os._exit(int(rest))
        elif word == "cwd":
            out.write("cwd " + os.getcwd() + "\n")
            out.flush()
        elif word == "autopong":
            autopong = rest == "on"
        elif word == "deaf":
            signal.signal(signal.SIGTERM, signal.SIG_IGN)
            while True:
                time.sleep(0.05)
                try:
                    read_line()
                except Exception:
                    pass
    while True:
        line = read_line()
        if line is None or line == "quit":
            return 0


if __name__ == "__main__":
    sys.exit(main())
