#!/usr/bin/env python3
"""Joining through a mailed invitation: the host mails one from the Start
Network Game dialog through the recording mail program, the mail carries
invite.rwf with the host's address; the guest's client opened on that file
shows the join dialog filled in, and one click on Join begins the game."""

import os
import sys

import harness
import mail_inbox
import network
from harness import check
from session_network_actions import answer


def steps(host, guest):
    box = os.path.join(host.base, "mailbox")
    host.env["ROOKWELL_MAILBOX"] = box
    inbox = os.path.join(harness.HERE, "mail_inbox.py")
    host._edit(os.path.join(host.folder, "cfg/app.cfg"),
               lambda t: t.replace('command = "xdg-email"', f'command = "{inbox}"'))
    match = network.Match(host, guest, start_guest=False)

    dialog = network.open_network_dialog(host, "h", "Start Network Game")
    host.key("alt+e", window=dialog)
    invitation = host.wait_dialog("^Send Email Invitation$", 15, besides=(host.frame, dialog))
    host.type("guest@example.org", window=invitation)
    host.key("alt+s", window=invitation)
    sh, _ = answer(host, "Mail Sent", "Return", 0, "Invitation mail has been placed in your Outbox.")
    mail = mail_inbox.wait_mail(box, 1)
    check(mail["to"] == ["guest@example.org"], f"the mail's recipient: {mail['to']}")
    check(mail["subject"] == "Invitation to play Rookwell", f"the subject: {mail['subject']}")
    check(mail["kept"] == ["invite.rwf"], f"the attachment: {mail['kept']}")
    invite = harness.read_config(os.path.join(mail["folder"], "invite.rwf"))
    check(invite.get("type") == "network invite", f"the invitation: {invite}")
    check(invite.get("ip", "") in mail["body"], "the mail's text names the address")
    host.key("alt+s", window=dialog)

    # The guest opens the mailed file: the join dialog comes filled in.
    guest.start(os.path.join(mail["folder"], "invite.rwf"))
    sg, record = answer(guest, "Invitation", "Return", 0, "You have received an invitation from")
    joining = guest.wait_dialog("^Join a Network Game$", 15)
    if not invite.get("ip"):
        # A machine without any address outside loopback invites with none.
        guest.type("127.0.0.1", window=joining)
    seen_guest, seen_host = len(guest.prompts()), len(host.prompts())
    guest.key("alt+j", window=joining)
    network.keep_profile(guest, seen_guest)
    guest.wait_gone(joining, 20)
    network.keep_profile(host, seen_host)
    host.wait_gone(dialog, 20)
    match.look_at_guest()
    match.play(0)
    match.play(1)


if __name__ == "__main__":
    sys.exit(network.run("network-invite", steps))
