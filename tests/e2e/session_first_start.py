#!/usr/bin/env python3
"""First start of a new user: the user folder is made, the title splash is
lit by the pointer, the start page with its side panel comes first, the
profile dialog with its introduction takes the user's name, the keys switch
views, help opens through the launcher, and the settings written at exit are
read at the next start."""

import os
import sys
import urllib.parse

import harness
from harness import check, wait_until


def fill_profile(c, dialog, user):
    c.screenshot("profile-dialog", dialog)
    c.type("Tess Tester", window=dialog)
    c.key("Tab", window=dialog)
    c.type("Tess", window=dialog)
    c.key("alt+o", window=dialog)
    c.wait_gone(dialog)


def steps(c):
    # A new user is asked for a profile during the start-up, or (where the
    # start-up does not ask yet) by Options, Profile.
    c.start(wait_frame=False)
    first = harness.wait_until(lambda: c.windows(r"^(Rookwell|Rookwell - User Profile.*)$"), 30, "the client")
    asked_at_start = any(c.window_name(w).startswith("Rookwell - User Profile") for w in first)
    if asked_at_start:
        fill_profile(c, harness.profile_dialog(c), None)
    c.frame = c.wait_window("^Rookwell$", 30)
    c.wait_started()
    # The title splash is lit where the pointer is, and a click closes it.
    splash = c.splash()
    check(splash, "the title splash shows")
    x, y, width, height = c.geometry(splash)
    # The pointer starts where the splash is centred: away first, so the
    # picture is unlit, then the light must come where the pointer goes.
    c.move(0, 0)
    c.wait_still(splash)
    unlit = c.look()
    c.screenshot("splash-unlit", splash)
    px, py = x + width // 3, y + height // 3
    c.move(px, py)
    wait_until(lambda: c.look().mean_difference(unlit, px - 20, py - 20, 40, 40) > 40, 10,
               "the pointer to light the splash where it is", step=0.2)
    c.screenshot("splash-lit", splash)
    c.click(x + width // 2, y + height // 2)
    c.wait_gone(splash)
    users = os.listdir(os.path.join(c.folder, "users"))
    check(len(users) == 1, f"one user folder is made, found {users}")
    user = users[0]
    for part in ("user.cfg", "played games", "active games", "opponents"):
        check(os.path.exists(os.path.join(c.folder, "users", user, part)), f"the new user has {part}")

    for record in c.prompts():
        check(record[0] != "message" or "not available" not in record[2], f"unexpected message {record}")
    x, y, width, height = c.geometry(c.frame)
    welcome = c.screenshot("welcome-without-name", c.frame)

    # A new user's profile: the introduction first, then the dialog, which
    # cannot be cancelled; the name typed shows on the start page.
    if not asked_at_start:
        c.menu("o", "r")
        fill_profile(c, harness.profile_dialog(c), user)
    wait_until(lambda: c.settings(user).get("profile.name") == "Tess Tester", 10, "the profile saved with its name")
    check(c.settings(user).get("profile.nickname") == "Tess", "the profile is saved with its nickname")
    check(c.settings(user).get("profile.id") != "calculate", "the new user has a profile id now")

    check(width >= 400 and height >= 300, f"a usable frame, got {width}x{height}")
    start_page = harness.wait_reference(c, lambda: c.screenshot("start-page", c.frame), "start-page", tolerance=0.08)
    if not asked_at_start:
        check(harness.differs(welcome, start_page) > 100, "the start page welcomes the user by name")

    # F2 swaps to the board view and back; the two look different.
    c.key("F2")
    harness.wait_until(
        lambda: harness.differs(start_page, c.screenshot("board-view", c.frame)) > width * height // 4,
        15, "F2 to show the board view", step=0.3)
    board_view = c.screenshot("board-view", c.frame)
    # Tab hides the side panel beside the board: the right part changes.
    c.key("Tab")
    wait_until(lambda: harness.differs(board_view, c.screenshot("board-without-panel", c.frame)) > 1000, 10,
               "Tab to hide the side panel", step=0.2)
    c.key("Tab")
    # View, Browser by its mnemonics brings the start page back.
    c.menu("v", "b")
    wait_until(lambda: harness.difference(start_page, c.screenshot("start-page-again", c.frame)) < 0.08, 10,
               "View, Browser to show the start page again", step=0.2)

    # Help, Contents goes through the launcher to the desktop's opener.
    c.menu("h", "c")
    opened = harness.wait_for_file_content(c.opened, lambda text: text.endswith("\n"), 10, "the help page to open")
    page = urllib.parse.unquote(opened.strip())
    check(page == "file://" + os.path.join(c.folder, "html/english/Doc/contents.htm"),
          f"the contents page of the program folder is opened: {opened!r}")

    # View, Skinned Mouse is a view option kept across runs.
    check(c.settings(user).get("preferences.view.showskinnedcursor") == "no", "no skinned cursor at first")
    c.menu("v", "s")

    # Game, Exit ends the program and writes the settings.
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends cleanly")
    settings = c.settings(user)
    window = tuple(int(settings.get("preferences.window." + k, -1)) for k in ("x", "y", "width", "height"))
    check(window[2:] == (width, height), f"the window size is saved: {window}")
    check(settings.get("preferences.view.showskinnedcursor") == "yes", "the view option chosen is saved")
    check(not os.path.exists(os.path.join(c.folder, "users", user, "running.marker")),
          "a clean exit leaves no crash marker")

    # The second start takes the same user and asks nothing new.
    asked = len(c.prompts())
    c.start()
    check(os.listdir(os.path.join(c.folder, "users")) == [user], "the same user starts again")
    check(c.geometry(c.frame)[2:] == (width, height), "the saved size is used")
    check(len(c.prompts()) == asked, f"nothing is asked at the second start: {c.prompts()[asked:]}")
    c.menu("g", "x")
    check(c.wait_exit() == 0, "the client ends cleanly the second time")


if __name__ == "__main__":
    sys.exit(harness.run("first-start", steps))
