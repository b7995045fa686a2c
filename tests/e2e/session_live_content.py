#!/usr/bin/env python3
"""Live content and the version check against a web server on this machine
(Python's http.server on a free loopback port), its addresses set in the
program settings. A start whose downloads fail leaves the check day open;
the next start fetches both files, offers the newer version, records the
day, and shows the news and the new-version notice in the side panel, whose
links (found on the screen and clicked) lead to the served addresses."""

import os
import re
import shutil
import subprocess
import sys
import time

import harness
from harness import check

LINK = (0x1F, 0x4E, 0x79)


def serve(folder):
    server = subprocess.Popen([sys.executable, "-u", "-m", "http.server", "0", "--bind", "127.0.0.1",
                               "--directory", folder], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    line = server.stdout.readline()
    match = re.search(r"port (\d+)", line)
    check(match, f"the web server names its port: {line!r}")
    requests = []

    def read_log():
        for entry in server.stderr:
            requests.append(entry)
    import threading
    threading.Thread(target=read_log, daemon=True).start()
    return server, int(match.group(1)), requests


def set_addresses(c, live, version):
    def change(text):
        text = re.sub(r'(?m)^(\s*content\s*=).*$', lambda m: m.group(1) + f' "{live}"', text, count=1)
        return re.sub(r'(?m)^(\s*version\s*=).*$', lambda m: m.group(1) + f' "{version}"', text, count=1)
    c._edit(os.path.join(c.folder, "cfg/app.cfg"), change)


def record_day(c):
    path = os.path.join(c.folder, "cfg", "update.cfg")
    if not os.path.exists(path):
        return None
    match = re.search(r'(?m)^\s*date\s*=\s*"?([^"\s]+)', open(path).read())
    return match.group(1) if match else None


def link_rows(picture, left, right, top, bottom):
    """The middle of each run of rows holding link-coloured text between left and right."""
    rows = []
    for y in range(top, bottom):
        start = (y * picture.width + left) * 3
        line = picture.pixels[start:start + (right - left) * 3]
        xs = [i // 3 for i in range(0, len(line), 3)
              if abs(line[i] - LINK[0]) + abs(line[i + 1] - LINK[1]) + abs(line[i + 2] - LINK[2]) < 40]
        if len(xs) >= 2:
            rows.append((y, left + xs[0], left + xs[-1]))
    runs = []
    for y, x0, x1 in rows:
        if runs and y - runs[-1][-1][0] <= 2:
            runs[-1].append((y, x0, x1))
        else:
            runs.append([(y, x0, x1)])
    return [((r[0][1] + r[0][2]) // 2, (r[0][0] + r[-1][0]) // 2) for r in runs]


def opened(c):
    return open(c.opened).read() if os.path.exists(c.opened) else ""


def steps(c):
    site = os.path.join(c.base, "site")
    os.makedirs(site)
    server, port, requests = serve(site)
    try:
        base = f"http://127.0.0.1:{port}"
        news_url = f"{base}/club-news.htm"
        download_url = f"{base}/download.htm"
        with open(os.path.join(site, "live.cfg"), "w") as f:
            f.write('News = {\n\t= "The club meets on Friday: ' + news_url + '"\n}\n'
                    'Links = {\n\t= {\n\t\ttitle = "Club site"\n\t\turl = "' + base + '/"\n\t}\n}\n')
        with open(os.path.join(site, "version.cfg"), "w") as f:
            f.write('Version = {\n\tMajor = 9\n\tMinor = 0\n}\nurl = "' + download_url + '"\n')

        # First start: both addresses answer 404. Nothing is recorded.
        set_addresses(c, base + "/missing/live.cfg", base + "/missing/version.cfg")
        c.start()
        harness.wait_until(lambda: sum(" 404 " in r for r in requests) >= 2, 20,
                           f"both failed downloads at the server: {requests}")
        c.menu("g", "x")
        check(c.wait_exit() == 0, "the client ends cleanly")
        check(record_day(c) is None, f"a failed check leaves the check day open: {record_day(c)}")
        check(not os.path.exists(os.path.join(c.folder, "live content", "live.cfg")), "no live content yet")

        # Second start: the real files.
        set_addresses(c, base + "/live.cfg", base + "/version.cfg")
        seen = len(c.prompts())
        # The offer of the newer version comes over the title splash, which may
        # close as the offer takes the focus; what is left of it is clicked away.
        c.start(close_splash=False)
        index, record = c.wait_prompt(contains="newer version", after=seen, timeout=30)
        c.answer(record[1], "Escape", besides=(c.frame,))
        for splash in c.windows("^Splash Window$"):
            x, y, width, height = c.geometry(splash)
            c.click(x + width // 2, y + height // 2)
            c.wait_gone(splash)
        harness.wait_until(lambda: record_day(c), 20, "the check day in cfg/update.cfg")
        live = os.path.join(c.folder, "live content", "live.cfg")
        harness.wait_for_file_content(live, lambda text: "club meets" in text, 20,
                                      "the live content below the program folder")

        # The side panel: the notice's link first, then the news's own.
        fx, fy, fw, fh = c.geometry(c.frame)
        wanted = [download_url, news_url]
        for attempt in range(2):
            def panel_links(picture):
                return link_rows(picture, fx + 5, fx + int(fw * 0.58), fy + 60, fy + fh - 40)
            picture = c.wait_settled(lambda p: len(panel_links(p)) >= 2, "links in the main column of the side panel",
                                     f"side-panel-{attempt}")
            links = panel_links(picture)
            before = opened(c)
            c.click(*links[attempt])
            harness.wait_until(lambda: len(opened(c)) > len(before), 10, "the link to be opened")
            check(wanted[attempt] in opened(c)[len(before):],
                  f"link {attempt} leads to {wanted[attempt]}: {opened(c)[len(before):]!r}")
        c.menu("g", "x")
        check(c.wait_exit() == 0, "the client ends cleanly")
    finally:
        server.terminate()
        server.wait()


if __name__ == "__main__":
    sys.exit(harness.run("live-content", steps, user="tester", window=(40, 40, 1000, 760),
                         defaults=[("app", "yes"), ("browser", "yes")]))
