#!/usr/bin/env python3
"""The other player's inbox: a stand-in for the user's mail program.

Point the program setting `mail.command` at this file and set
ROOKWELL_MAILBOX to a folder. Each call is one mail: its arguments are
kept as mail-N/mail.json and its attachments are copied beside it under
their own names. Imported, it gives the sessions `mails` and `wait_mail`.
"""

import json
import os
import shutil
import sys
import time


def _parse(arguments):
    mail = {"subject": "", "body": "", "attachments": [], "to": [], "cc": [], "bcc": [], "argv": arguments}
    options = {"--subject": "subject", "--body": "body"}
    lists = {"--attach": "attachments", "--cc": "cc", "--bcc": "bcc"}
    index = 0
    while index < len(arguments):
        argument = arguments[index]
        if argument in options and index + 1 < len(arguments):
            mail[options[argument]] = arguments[index + 1]
            index += 2
        elif argument in lists and index + 1 < len(arguments):
            mail[lists[argument]].append(arguments[index + 1])
            index += 2
        elif argument == "--utf8":
            index += 1
        else:
            mail["to"].append(argument)
            index += 1
    return mail


def _deliver(folder, arguments):
    os.makedirs(folder, exist_ok=True)
    number = 1
    while True:
        target = os.path.join(folder, f"mail-{number}")
        try:
            os.mkdir(target)
            break
        except FileExistsError:
            number += 1
    mail = _parse(arguments)
    kept = []
    for path in mail["attachments"]:
        name = os.path.basename(path)
        shutil.copyfile(path, os.path.join(target, name))
        kept.append(name)
    mail["kept"] = kept
    # Written last and renamed, so a reader never sees half a mail.
    with open(os.path.join(target, "mail.json.tmp"), "w") as out:
        json.dump(mail, out)
    os.rename(os.path.join(target, "mail.json.tmp"), os.path.join(target, "mail.json"))


def mails(folder):
    """Every complete mail in folder, oldest first, with its folder as 'folder'."""
    found = []
    if not os.path.isdir(folder):
        return found
    for name in os.listdir(folder):
        path = os.path.join(folder, name, "mail.json")
        if name.startswith("mail-") and os.path.exists(path):
            with open(path) as source:
                mail = json.load(source)
            mail["folder"] = os.path.join(folder, name)
            found.append((int(name[5:]), mail))
    return [mail for _, mail in sorted(found, key=lambda pair: pair[0])]


def wait_mail(folder, count, timeout=20):
    """Waits until folder holds at least count mails; returns the count-th."""
    end = time.monotonic() + timeout
    while True:
        found = mails(folder)
        if len(found) >= count:
            return found[count - 1]
        if time.monotonic() > end:
            raise TimeoutError(f"mail {count} never arrived in {folder}")
        time.sleep(0.05)


if __name__ == "__main__":
    box = os.environ.get("ROOKWELL_MAILBOX")
    if not box:
        sys.stderr.write("mailbox: ROOKWELL_MAILBOX is not set\n")
        sys.exit(1)
    _deliver(box, sys.argv[1:])
