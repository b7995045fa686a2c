#!/usr/bin/env python3
"""The title picture takes the keyboard focus when it comes up, so that the
focus going to another window (a click on the frame, under a window
manager) closes it, as a click on the picture itself does."""

import sys

import harness
from harness import check


def steps(c):
    c.start(close_splash=False)
    splash = c.splash(timeout=20)
    check(splash is not None, "the title picture comes up")
    harness.wait_until(lambda: c.focused() == splash, 10, f"the focus on the title picture (now {c.focused()})")
    c.screenshot("title-picture")
    # What a window manager does when the frame is clicked.
    c.focus(c.frame)
    c.wait_gone(splash)
    check(c.running(), "the client goes on after the picture closed")
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends cleanly")


if __name__ == "__main__":
    sys.exit(harness.run("title-splash", steps, user="tester"))
