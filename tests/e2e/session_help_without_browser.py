#!/usr/bin/env python3
"""Help on a desktop where neither xdg-open nor a browser can open a page:
F1 says so and names the help file, which exists; with a working opener
the same key opens that file and says nothing."""

import os
import sys

import harness
from harness import check


def steps(c):
    stub = os.path.join(c.bin, "xdg-open")
    recording = open(stub).read()
    # An opener that fails as xdg-open does without a desktop, and no browser at all.
    with open(stub, "w") as f:
        f.write("#!/bin/sh\nexit 3\n")
    c.env["BROWSER"] = ""
    c.start()
    seen = len(c.prompts())
    c.key("F1", window=c.frame)
    index, record = c.wait_prompt(caption="Help", after=seen, timeout=20)
    check("could not start a web browser" in record[2], f"help says why: {record[2]!r}")
    named = record[2].strip().splitlines()[-1]
    check(named.endswith("contents.htm") and os.path.isfile(named), f"the message names the help file: {named!r}")
    c.answer("Help", besides=(c.frame,))

    # With a working opener: the page opens and nothing is asked.
    with open(stub, "w") as f:
        f.write(recording)
    seen = len(c.prompts())
    c.key("F1", window=c.frame)
    harness.wait_for_file_content(c.opened, lambda text: "contents.htm" in text, 15, "the help page handed to the opener")
    check(len(c.prompts()) == seen, f"nothing asked when the page opens: {c.prompts()[seen:]}")
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends cleanly")


if __name__ == "__main__":
    sys.exit(harness.run("help-without-browser", steps, user="tester"))
