"""gridmoor-server over loopback, driven by raw socket clients."""

import os
import resource
import signal
import struct
import sys
import tempfile
import threading
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from gridmoor_wire import PKT, WAIT, Closed, Server, frame, lines, OPENING  # noqa: E402

PROGRAM = None


def move(text):
    return struct.pack("<I", 6) + lines(text, "1500")


class ServerCase(unittest.TestCase):
    server_args = ()

    def setUp(self):
        self.server = Server(PROGRAM, *self.server_args)
        self.clients = []

    def tearDown(self):
        for c in self.clients:
            c.close()
        self.assertEqual(self.server.stop(), 0)

    def player(self, **kw):
        c = self.server.logged_in(**kw)
        self.clients.append(c)
        return c

    def pair(self):
        a, b = self.player(), self.player()
        a.search()
        b.search()
        a.expect("SearchMatch")
        b.expect("SearchMatch")
        return a, b

    def assertMatched(self, waiting, newcomer):
        got = waiting.expect("SearchMatch")
        self.assertEqual(got.id, newcomer.id)
        self.assertEqual(got.lines()[:3], ["first=yes", "id=%d" % newcomer.id, "begin"])
        got = newcomer.expect("SearchMatch")
        self.assertEqual(got.id, waiting.id)
        self.assertEqual(got.lines()[:3], ["first=no", "id=%d" % waiting.id, "begin"])
        return got


class LoginTest(ServerCase):
    def test_ids_come_before_the_login_confirmation_and_differ(self):
        ids = set()
        for _ in range(3):
            c = self.server.client()
            self.clients.append(c)
            c.login()  # asserts pktId with a non-zero id, then pktLoggedInOK
            ids.add(c.id)
        self.assertEqual(len(ids), 3)
        self.assertNotIn(0, ids)
        self.server.wait_log(r"login %d from 127\.0\.0\.1" % max(ids))

    def test_ids_are_not_reused_after_a_restart(self):
        first = self.server.logged_in()
        first.close()
        self.assertEqual(self.server.stop(), 0)
        self.server = Server(PROGRAM)
        second = self.server.logged_in()
        self.clients.append(second)
        # Drawn at start-up: a restarted server does not count from 1 again.
        self.assertNotEqual(first.id, second.id)
        for c in (first, second):
            self.assertTrue(0 < c.id < 2 ** 31, c.id)

    def test_log_lines_carry_the_players_name_once_it_arrives(self):
        a = self.player()
        a.search(name="Ann\x01")
        self.server.wait_log(r'player %d is now "Ann\?"' % a.id)
        a.close()
        self.clients.remove(a)
        self.server.wait_log(r'logout 127\.0\.0\.1:\d+ \(%d "Ann\?"\): connection closed' % a.id)
        self.assertFalse(any("plumo" in line for line in self.server.log))

    def test_opening_text_in_pieces_is_accepted(self):
        c = self.server.client()
        self.clients.append(c)
        data = OPENING + frame(PKT["Protocol"], lines("2")) + frame(PKT["Login"], lines("a", "b", "c"))
        for i in range(len(data)):
            c.send_raw(data[i:i + 1])
        self.assertNotEqual(c.expect("Id").id, 0)
        c.expect("LoggedInOK")

    def test_wrong_opening_text_is_kicked_and_closed(self):
        c = self.server.client()
        self.clients.append(c)
        c.send_raw(b"multiserver session BEGIN" + frame(PKT["Protocol"], lines("2")))
        seen = c.wait_closed()
        self.assertEqual([p.type for p in seen], [PKT["Kick"]])
        self.assertGreater(len(seen[0].lines()), 1)

    def test_other_protocol_is_kicked_and_closed(self):
        for version in ("3", ""):
            c = self.server.client()
            self.clients.append(c)
            c.send_raw(OPENING + frame(PKT["Protocol"], lines(version)) + frame(PKT["Login"], lines("a", "b", "c")))
            seen = c.wait_closed()
            self.assertEqual([p.type for p in seen], [PKT["Kick"]], version)

    def test_login_before_protocol_is_kicked(self):
        c = self.server.client()
        self.clients.append(c)
        c.send_raw(OPENING + frame(PKT["Login"], lines("a", "b", "c")))
        self.assertEqual([p.type for p in c.wait_closed()], [PKT["Kick"]])

    def test_packet_over_64_kb_is_refused_and_the_peer_told(self):
        a, b = self.pair()
        a.send(PKT["RequestForward"], b"x" * (65536 - 8), b.id)  # the largest payload passes
        self.assertEqual(len(b.expect("Forward").body), 65536 - 8)
        a.send_raw(frame(PKT["RequestForward"], b"x" * 70000, b.id))
        self.assertEqual([p.type for p in a.wait_closed()], [PKT["Kick"]])
        self.assertEqual(b.expect("ConnectionBroken").id, a.id)
        self.server.wait_log(r"kicked: packet of \d+ bytes refused")


class MotdTest(ServerCase):
    def setUp(self):
        self.motd = tempfile.NamedTemporaryFile("wb", suffix=".htm", delete=False)
        self.motd.write(b"<b>Welcome</b> & good luck")
        self.motd.close()
        self.server_args = ("--motd", self.motd.name)
        super().setUp()

    def tearDown(self):
        super().tearDown()
        os.unlink(self.motd.name)

    def test_message_of_the_day_follows_the_login(self):
        c = self.server.client()
        self.clients.append(c)
        msg = c.login(expect_motd=True)
        self.assertEqual(msg.type, PKT["AdminMessage"])
        self.assertEqual(msg.body, b"<b>Welcome</b> & good luck")


class MatchTest(ServerCase):
    def test_match_carries_first_flag_peer_id_and_peer_settings(self):
        a, b = self.player(), self.player()
        a.search(low=300, high=1200, side="black", name="Ann")
        b.search(side="white")
        got = self.assertMatched(a, b)
        body = got.lines()[3:]
        pairs = dict(zip(body[0::2], body[1::2]))
        self.assertEqual(pairs["rw.side"], "black")
        self.assertEqual(pairs["rw.time.low"], "300")
        self.assertEqual(pairs["name"], "Ann")
        self.assertEqual(pairs["id"], str(a.id))
        self.server.wait_log(r"match %d \(Ann\) with %d" % (a.id, b.id))

    def test_incompatible_searches_wait_and_the_oldest_compatible_is_taken(self):
        # Four searches that meet none of one another.
        untimed_white = self.player()
        untimed_white.search(timed="no", side="white")
        short = self.player()
        short.search(untimed="no", low=60, high=300)
        medium = self.player()
        medium.search(untimed="no", low=600, high=900)
        long_white = self.player()
        long_white.search(low=1200, high=2400, side="white")
        # Either clock and colour: meets the oldest.
        either = self.player()
        either.search()
        self.assertMatched(untimed_white, either)
        # Fifteen minutes, black: only the medium range holds it.
        fifteen = self.player()
        fifteen.search(untimed="no", low=900, high=900, side="black")
        self.assertMatched(medium, fifteen)
        untimed_black = self.player()
        untimed_black.search(timed="no", side="black")
        self.assertMatched(long_white, untimed_black)
        self.assertFalse(short.pending())

    def test_excluded_players_never_meet(self):
        a = self.player()
        a.search()
        b = self.player()
        b.search(exclude=[a.id])
        c = self.player()
        c.search(exclude=[b.id])  # meets a, the oldest it may meet
        self.assertMatched(a, c)
        d = self.player()
        d.search()
        self.assertMatched(b, d)

    def test_waiting_search_that_excludes_the_newcomer_is_skipped(self):
        a = self.player()
        b = self.player()
        a.search(exclude=[b.id])
        b.search()
        c = self.player()
        c.search()
        self.assertMatched(a, c)
        self.assertFalse(b.pending())

    def test_cancelled_and_expired_searches_leave_the_pool(self):
        cancelled = self.player()
        cancelled.search()
        cancelled.send(PKT["Search"], lines("id=search1", "cancel"))
        expired = self.player()
        expired.search(ttl=1)
        self.server.wait_log(r"search of %d expired" % expired.id)
        late = self.player()
        late.search()
        newest = self.player()
        newest.search()
        self.assertMatched(late, newest)
        self.assertFalse(cancelled.pending())
        self.assertFalse(expired.pending())

    def test_notify_is_sent_once_when_someone_starts_searching(self):
        watcher = self.player()
        watcher.send(PKT["RequestNotify"], lines("free search"))
        first = self.player()
        first.search(side="white")
        self.assertEqual(watcher.expect("Notify").type, PKT["Notify"])
        second = self.player()
        second.search(side="white")
        # Armed again: the next search notifies again, and nothing came between.
        watcher.send(PKT["RequestNotify"], lines("avoid=%d" % first.id, "free search"))
        third = self.player()
        third.search(side="white")
        watcher.expect("Notify")
        self.assertFalse(watcher.pending())

    def test_notify_skips_the_avoided_player(self):
        watcher = self.player()
        avoided = self.player()
        watcher.send(PKT["RequestNotify"], lines("avoid=%d" % avoided.id, "free search"))
        avoided.search(side="white")
        other = self.player()
        other.search(side="white")
        watcher.expect("Notify")


class LinkTest(ServerCase):
    def test_messages_and_chat_pass_in_order_both_ways(self):
        a, b = self.pair()
        for i in range(200):
            a.send(PKT["RequestForward"], move("m%d" % i), b.id)
            if i % 50 == 0:
                a.send(PKT["SendChat"], lines("Ann", "chat %d" % i), b.id)
        b.send(PKT["RequestForward"], move("reply"), a.id)
        for i in range(200):
            got = b.expect("Forward")
            self.assertEqual(got.id, a.id)
            self.assertEqual(got.body, move("m%d" % i))
            if i % 50 == 0:
                chat = b.expect("Chat")
                self.assertEqual(chat.lines(), ["Ann", "chat %d" % i])
        self.assertEqual(a.expect("Forward").body, move("reply"))

    def test_forward_without_a_link_fails_and_reaches_nobody(self):
        a, b = self.pair()
        stranger = self.player()
        stranger.send(PKT["RequestForward"], move("e4"), a.id)
        self.assertEqual(stranger.expect("ConnectFailed").id, a.id)
        stranger.send(PKT["SendChat"], lines("X", "hello"), a.id)
        # The link still works and a sees only b's message.
        b.send(PKT["RequestForward"], move("d4"), a.id)
        got = a.expect("Forward")
        self.assertEqual((got.id, got.body), (b.id, move("d4")))
        self.assertFalse(a.pending())

    def test_close_tells_the_peer_and_ends_the_link(self):
        a, b = self.pair()
        a.send(PKT["RequestForward"], move("e4"), b.id)
        b.expect("Forward")
        a.send(PKT["CloseConnection"], b"", b.id)
        self.assertEqual(b.expect("ConnectionClosed").id, a.id)
        b.send(PKT["RequestForward"], move("e5"), a.id)
        self.assertEqual(b.expect("ConnectFailed").id, a.id)
        self.server.wait_log(r"link end %d - %d" % (a.id, b.id))

    def test_dropped_socket_breaks_the_link(self):
        a, b = self.pair()
        a.send(PKT["RequestForward"], move("e4"), b.id)
        b.expect("Forward")
        a.close()
        self.clients.remove(a)
        self.assertEqual(b.expect("ConnectionBroken").id, a.id)

    def test_peer_gone_before_the_first_message_fails_the_connection(self):
        a, b = self.pair()
        a.close()
        self.clients.remove(a)
        self.assertEqual(b.expect("ConnectFailed").id, a.id)
        b.send(PKT["RequestForward"], move("e4"), a.id)
        self.assertEqual(b.expect("ConnectFailed").id, a.id)

    def test_new_match_ends_the_old_link(self):
        a, b = self.pair()
        a.search()
        c = self.player()
        c.search()
        self.assertMatched(a, c)
        self.assertEqual(b.expect("ConnectionClosed").id, a.id)

    def test_a_chat_flood_slows_the_sender_and_the_reader_plays_on(self):
        attacker, victim = self.pair()
        victim.send(PKT["RequestForward"], move("e4"), attacker.id)
        attacker.expect("Forward")
        # The longest chat line a client sends, as fast as the attacker can.
        flood = frame(PKT["SendChat"], lines("Mallory", "x" * 8192), victim.id)
        stop = threading.Event()
        sender = start_flood(attacker, flood, stop, then=frame(PKT["RequestForward"], move("Nf3"), victim.id))
        # The victim reads nothing until the server has had to slow the
        # attacker down for it; then it reads all as fast as it can and
        # plays a move now and then.
        self.server.wait_log(r"slowing %d: %d takes its messages slower than they come" % (attacker.id, victim.id))
        stop.set()
        chats = moves = 0
        while True:
            got = victim.recv()
            if got.type == PKT["Chat"]:
                chats += 1
                if chats % 100 == 0:
                    victim.send(PKT["RequestForward"], move("m%d" % moves), attacker.id)
                    moves += 1
                continue
            self.assertEqual((got.type, got.id, got.body), (PKT["Forward"], attacker.id, move("Nf3")))
            break
        sender.join(WAIT)
        self.assertGreater(chats, 100)
        # Every move of the victim reached the attacker, in order.
        for i in range(moves):
            self.assertEqual(attacker.expect("Forward").body, move("m%d" % i))
        victim.send(PKT["RequestForward"], move("Nc6"), attacker.id)
        self.assertEqual(attacker.expect("Forward").body, move("Nc6"))
        self.assertFalse(any("(%d)" % victim.id in line and "logout" in line for line in self.server.log))

    def test_a_chat_longer_than_any_client_sends_ends_the_senders_link(self):
        attacker, victim = self.pair()
        longest = lines("M" * 40, "x" * 8192)
        attacker.send(PKT["SendChat"], longest, victim.id)
        self.assertEqual(victim.expect("Chat").body, longest)
        attacker.send(PKT["SendChat"], lines("Mallory", "x" * 60000), victim.id)
        self.assertEqual([p.type for p in attacker.wait_closed()], [PKT["Kick"]])
        self.assertEqual(victim.expect("ConnectionBroken").id, attacker.id)
        self.server.wait_log(r"kicked: chat packet of \d+ bytes refused")
        # The victim plays on with someone else.
        other = self.player()
        victim.search()
        other.search()
        self.assertMatched(victim, other)
        other.send(PKT["RequestForward"], move("e4"), victim.id)
        self.assertEqual(victim.expect("Forward").body, move("e4"))


def first_packet_while(client, each):
    """The first packet client gets within WAIT seconds, calling each(i)
    before every look; None when none came."""
    for i in range(int(WAIT / 0.1)):
        each(i)
        try:
            return client.recv(timeout=0.1)
        except TimeoutError:
            continue
    return None


def start_flood(sender, packet, stop, then=b""):
    """Sends packet as fast as the server takes it until stop is set, then
    the bytes of then; a thread, as the server may stop reading the sender."""
    def run():
        try:
            while not stop.is_set():
                sender.send_raw(packet * 8)
            sender.send_raw(then)
        except OSError:
            pass
    thread = threading.Thread(target=run, daemon=True)
    thread.start()
    return thread


class KeepAliveTest(ServerCase):
    server_args = ("--keepalive", "1")

    def test_bytes_without_a_whole_packet_do_not_keep_a_player(self):
        a, b = self.pair()
        a.send(PKT["RequestForward"], move("e4"), b.id)
        b.expect("Forward")
        # b trickles one byte of a packet that never ends; a sends whole
        # keep-alives. Only b is dropped, and a is told.
        trickle = frame(PKT["RequestForward"], b"x" * 60000, a.id)

        def trickle_and_keep_alive(i):
            b.send_raw(trickle[i:i + 1])
            a.send(PKT["KeepAlive"])
        got = first_packet_while(a, trickle_and_keep_alive)
        self.assertIsNotNone(got)
        self.assertEqual((got.type, got.id), (PKT["ConnectionBroken"], b.id))
        self.assertEqual(b.wait_closed(), [])
        self.server.wait_log(r"logout 127\.0\.0\.1:\d+ \(%d\): no keep-alive: no whole packet in 3 s" % b.id)

    def test_a_reader_that_takes_nothing_ends_the_flooders_link_and_keeps_its_place(self):
        flood, stuck = self.player(), self.player(rcvbuf=8192)
        flood.search()
        stuck.search()
        self.assertMatched(flood, stuck)
        c, d = self.pair()
        stop = threading.Event()
        start_flood(flood, frame(PKT["RequestForward"], move("x" * 60000), stuck.id), stop)
        # stuck sends keep-alives and reads nothing; another game goes on.
        def keep_alive_and_play(i):
            stuck.send(PKT["KeepAlive"])
            c.send(PKT["RequestForward"], move("ping %d" % i), d.id)
            self.assertEqual(d.expect("Forward").body, move("ping %d" % i))
            d.send(PKT["KeepAlive"])
        got = first_packet_while(flood, keep_alive_and_play)
        stop.set()
        self.assertIsNotNone(got, "the flooder was never let go")
        self.assertEqual((got.type, got.id), (PKT["ConnectionBroken"], stuck.id))
        self.server.wait_log(r"slowing %d: %d takes its messages slower" % (flood.id, stuck.id))
        self.server.wait_log(r"%d is not reading: %d's messages not taken in 3 s" % (stuck.id, flood.id))
        # The reader keeps its place: what waited for it arrives, then the
        # answer to its next search.
        stuck.send_raw(frame(PKT["Set"], b"begin\n") + frame(PKT["Search"], b"id=search1\nttl=60\nbegin\n"))
        while True:
            got = stuck.recv()
            if got.type != PKT["Forward"]:
                break
        self.assertEqual(got.type, PKT["Searching"])
        self.assertFalse(any("logout" in line and "(%d)" % stuck.id in line for line in self.server.log))

    def test_silent_player_is_dropped_and_the_peer_told(self):
        a, b = self.pair()
        a.send(PKT["RequestForward"], move("e4"), b.id)
        b.expect("Forward")
        # b keeps quiet; a keeps sending keep-alives until b's link breaks.
        got = first_packet_while(a, lambda i: a.send(PKT["KeepAlive"]))
        self.assertIsNotNone(got)
        self.assertEqual((got.type, got.id), (PKT["ConnectionBroken"], b.id))
        self.assertEqual(b.wait_closed(), [])
        self.server.wait_log(r"logout 127\.0\.0\.1:\d+ \(%d\): no keep-alive" % b.id)


class StrangerTest(ServerCase):
    """A bounded, seeded run of damaged and random streams from many players at once."""

    WORDS = ["begin", "cancel", "id=search1", "ttl=1", "ttl=0", "ttl=99999999999", "id != 1", "id != 2",
             "id !=", "rw.side", "white", "black", "white black", "rw.untimed", "rw.timed", "yes", "no",
             "rw.time.low", "rw.time.high", "-1", "4294967295", "avoid=1", "free search", "2", ""]

    def random_body(self, rng):
        if rng.random() < 0.2:
            return bytes(rng.randrange(256) for _ in range(rng.randrange(3000)))
        text = [rng.choice(self.WORDS) if rng.random() < 0.9 else "x" * rng.randrange(5000)
                for _ in range(rng.randrange(30))]
        return lines(*text)

    def random_packet(self, rng, ids):
        ptype = rng.choice(list(PKT.values()) + [0, 1, 2, 3, 6, 7, 12, 13, 14, 15, 255])
        pid = rng.choice(ids + [0, 0xFFFFFFFF]) if rng.random() < 0.6 else 0
        payload = struct.pack("<BBH", 8 if pid else 4, ptype, 1 if pid else 0)
        if pid:
            payload += struct.pack("<I", pid)
        payload += self.random_body(rng)
        roll = rng.random()
        if roll < 0.05:
            payload = payload[: rng.randrange(8)]  # a header cut short
        elif roll < 0.08:
            payload = bytes([rng.randrange(256)]) + payload[1:]  # any header length
        length = len(payload)
        if rng.random() < 0.02:
            length = rng.choice([0, 65537, 0xFFFFFFFF])
        return struct.pack("<I", length) + payload

    def test_server_survives_and_keeps_serving(self):
        import random
        rng = random.Random(20261209)
        ids = []
        first_id = self.player().id
        open_clients = []
        for round_ in range(150):
            c = self.server.client()
            stream = OPENING if rng.random() < 0.9 else bytes(rng.randrange(256) for _ in range(25))
            stream += frame(PKT["Protocol"], lines("2" if rng.random() < 0.9 else "7"))
            stream += frame(PKT["Login"], lines("fuzz", "fuzz", "fuzz"))
            if rng.random() < 0.5:
                stream += frame(PKT["Set"], lines("begin", "rw.side", rng.choice(["white", "black", "white black"])))
                stream += frame(PKT["Search"], lines("id=search1", "ttl=30", "begin"))
            for _ in range(rng.randrange(25)):
                stream += self.random_packet(rng, ids)
            cut = len(stream) if rng.random() < 0.8 else rng.randrange(len(stream))
            try:
                c.send_raw(stream[:cut])
            except OSError:
                pass
            ids = list(range(first_id, first_id + round_ + 2))
            open_clients.append(c)
            if len(open_clients) > 30:
                open_clients.pop(rng.randrange(len(open_clients))).close()
        for c in open_clients:
            c.close()
        # Whatever came before, a new pair is served as ever: with a clock
        # range no stranger can have, so they meet each other, and from an
        # address of their own, whose places no closing stranger still holds.
        a, b = self.player(source="127.0.0.9"), self.player(source="127.0.0.9")
        a.search(untimed="no", low=6000, high=6000)
        b.search(untimed="no", low=6000, high=6000)
        self.assertMatched(a, b)
        a.send(PKT["RequestForward"], move("e4"), b.id)
        self.assertEqual(b.expect("Forward").body, move("e4"))


def raise_own_descriptor_limit(want):
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    if soft < want:
        soft = want if hard == resource.RLIM_INFINITY else min(want, hard)
        resource.setrlimit(resource.RLIMIT_NOFILE, (soft, hard))
    return soft


class DoorTest(unittest.TestCase):
    """Connections that never log in cannot keep players out."""

    def setUp(self):
        self.server = None
        self.clients = []

    def tearDown(self):
        for c in self.clients:
            c.close()
        if self.server:
            self.assertEqual(self.server.stop(), 0)

    def start(self, *args, descriptors=None):
        self.server = Server(PROGRAM, *args, descriptors=descriptors)
        line = self.server.wait_log(r"room for (\d+) connections")
        import re
        return int(re.search(r"room for (\d+)", line).group(1))

    def connect(self, source=None):
        c = self.server.client(source=source)
        self.clients.append(c)
        return c

    def test_a_trickle_of_connections_does_not_lock_out_a_new_player(self):
        places = self.start("--max-per-address", "30", descriptors=256)
        self.assertLess(places, 256)
        count = min(2000, raise_own_descriptor_limit(2400) - 300)
        self.assertGreater(count, 4 * places)
        # One address over its cap is told so.
        for _ in range(40):
            self.connect("127.0.0.99").send_raw(OPENING[:1])
        self.server.wait_log(r"127\.0\.0\.99:\d+ \(no id\) kicked: too many connections from 127\.0\.0\.99")
        # Many addresses, one byte each, far more than the server has room for.
        for i in range(count):
            self.connect("127.0.%d.%d" % (1 + i // 200, 2 + i % 200)).send_raw(OPENING[:1])
        self.server.wait_log(r"server full: room made for a newer connection")
        # New players still log in and play at once.
        a, b = self.server.logged_in(), self.server.logged_in()
        self.clients += [a, b]
        a.search()
        b.search()
        a.expect("SearchMatch")
        b.expect("SearchMatch")
        a.send(PKT["RequestForward"], move("e4"), b.id)
        self.assertEqual(b.expect("Forward").body, move("e4"))

    def test_a_full_server_tells_a_newcomer_and_closes(self):
        places = self.start("--max-per-address", "0", descriptors=64)
        players = [self.connect("127.0.0.%d" % (2 + i % 100)) for i in range(places)]
        for p in players:
            p.login()
        late = self.connect()
        late.send_raw(OPENING + frame(PKT["Protocol"], lines("2")) + frame(PKT["Login"], lines("a", "b", "c")))
        seen = late.wait_closed()
        self.assertEqual([p.type for p in seen], [PKT["Kick"]])
        self.assertEqual(seen[0].lines()[0], "server full")
        self.server.wait_log(r"kicked: server full")
        # A place given back is taken again.
        players[0].close()
        self.server.wait_log(r"logout .*\(%d\): connection closed" % players[0].id)
        self.connect().login()  # asserts a non-zero id and the confirmation

    def test_a_burst_of_logins_at_the_limit_tells_everyone_turned_away(self):
        places = self.start("--max-per-address", "0", descriptors=64)
        count = 5 * places
        raise_own_descriptor_limit(count + 100)
        # The server is held while everyone connects and sends a login, so it
        # accepts them in a batch before reading any.
        self.server.proc.send_signal(signal.SIGSTOP)
        try:
            burst = [self.connect("127.0.0.%d" % (2 + i % 100)) for i in range(count)]
            login = OPENING + frame(PKT["Protocol"], lines("2")) + frame(PKT["Login"], lines("a", "b", "c"))
            for c in burst:
                c.send_raw(login)
        finally:
            self.server.proc.send_signal(signal.SIGCONT)
        players, told = [], 0
        for i, c in enumerate(burst):
            try:
                first = c.recv()
            except Closed:
                self.fail("connection %d closed without a word (reset: %s)" % (i, c.reset))
            if first.type == PKT["Id"]:
                c.expect("LoggedInOK")
                players.append(c)
                continue
            self.assertEqual(first.type, PKT["Kick"], first)
            self.assertEqual(first.lines(),
                             ["server full", "<p>This Gridmoor server is full. Please try again later.</p>"])
            self.assertEqual(c.wait_closed(), [])
            self.assertFalse(c.reset, "connection %d: the kick was followed by a reset" % i)
            told += 1
        self.assertGreater(len(players), 0)
        self.assertLessEqual(len(players), places)
        self.assertEqual(len(players) + told, count)
        # Everyone who logged in is still there.
        for c in players:
            c.search()

    def test_login_must_finish_within_seconds(self):
        self.start()
        greeting = self.connect()
        greeting.send_raw(OPENING[:10])
        no_login = self.connect()
        no_login.send_raw(OPENING + frame(PKT["Protocol"], lines("2")))
        for c in (greeting, no_login):
            seen = c.wait_closed()
            self.assertEqual([p.type for p in seen], [PKT["Kick"]])
            self.assertEqual(seen[0].lines()[0], "login not finished in 5 s")
        self.server.wait_log(r"\(no id\) kicked: login not finished in 5 s")
        self.server.wait_log(r"\(no id\) kicked: login not finished in 5 s")
        # A player who logs in at once is not affected.
        c = self.server.logged_in()
        self.clients.append(c)


class StopTest(unittest.TestCase):
    def test_sigterm_ends_the_server_cleanly(self):
        server = Server(PROGRAM)
        a = server.logged_in()
        self.assertEqual(server.stop(), 0)
        server.wait_log(r"stopping: 1 connections closed")
        self.assertEqual(a.wait_closed(), [])
        a.close()


if __name__ == "__main__":
    PROGRAM = sys.argv.pop(1)
    unittest.main(verbosity=2)
