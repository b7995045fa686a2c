"""Raw clients of gridmoor-server and the server process, for tests and the benchmark."""

import os
import queue
import re
import select
import signal
import socket
import struct
import subprocess
import threading
import time

OPENING = b"multiserver session begin"

PKT = dict(
    Protocol=4, Login=5, Set=8, Info=9, Search=10, SearchMatch=11, CloseConnection=16,
    RequestForward=17, SendChat=18, RequestNotify=19, KeepAlive=20,
    Id=129, LoggedInOK=130, Kick=131, Searching=132, AdminMessage=133, ConnectFailed=137,
    ConnectionClosed=138, ConnectionBroken=139, Forward=140, Chat=141, Notify=143,
)

# How long any single expected event may take on a loaded machine.
WAIT = 30.0


def header(ptype, pid=0):
    if pid:
        return struct.pack("<BBHI", 8, ptype, 1, pid)
    return struct.pack("<BBH", 4, ptype, 0)


def frame(ptype, body=b"", pid=0):
    payload = header(ptype, pid) + body
    return struct.pack("<I", len(payload)) + payload


def lines(*texts):
    return b"".join(t.encode() + b"\n" for t in texts)


def settings_body(untimed="yes", timed="yes", low=60, high=5940, side="white black", my_id=0, name=None):
    texts = ["begin", "rw.untimed", untimed, "rw.timed", timed, "rw.time.min", "no", "rw.time.max", "no",
             "rw.time.low", str(low), "rw.time.high", str(high), "rw.skill", "beginner"]
    if side is not None:
        texts += ["rw.side", side]
    texts += ["id", str(my_id)]
    if name is not None:
        texts += ["name", name]
    return lines(*texts)


def search_body(ttl=60, exclude=()):
    return lines("id=search1", "ttl=%d" % ttl, "begin", *["id != %d" % i for i in exclude])


class Packet:
    def __init__(self, ptype, pid, body):
        self.type, self.id, self.body = ptype, pid, body

    def lines(self):
        text = self.body.decode("latin-1")
        return text.split("\n")[:-1] if text.endswith("\n") else text.split("\n")

    def __repr__(self):
        return "Packet(%d, id=%d, %r)" % (self.type, self.id, self.body[:80])


class Closed(Exception):
    pass


class Client:
    def __init__(self, port, rcvbuf=None, source=None):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        if source:
            self.sock.bind((source, 0))  # another loopback address: 127.0.0.x
        if rcvbuf:
            self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, rcvbuf)
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.sock.connect(("127.0.0.1", port))
        self.buf = b""
        self.id = 0
        self.reset = False  # the server's end was torn down, not closed

    def close(self):
        self.sock.close()

    def send_raw(self, data):
        self.sock.sendall(data)

    def send(self, ptype, body=b"", pid=0):
        self.sock.sendall(frame(ptype, body, pid))

    def login(self, expect_motd=False):
        self.send_raw(OPENING + frame(PKT["Protocol"], lines("2")) +
                      frame(PKT["Login"], lines("plumo", "plumo", "Rookwell Lite Lite v1.24")))
        got = self.recv()
        assert got.type == PKT["Id"] and got.id != 0, got
        self.id = got.id
        ok = self.recv()
        assert ok.type == PKT["LoggedInOK"], ok
        if expect_motd:
            return self.recv()
        return None

    def search(self, ttl=60, exclude=(), **settings):
        self.send_raw(frame(PKT["Set"], settings_body(my_id=self.id, **settings)) +
                      frame(PKT["Search"], search_body(ttl, exclude)))
        got = self.recv()
        assert got.type == PKT["Searching"], got

    def _fill(self, need, timeout):
        deadline = time.monotonic() + timeout
        while len(self.buf) < need:
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("no packet from the server in %.0f s" % timeout)
            if not self._readable(left):
                continue
            try:
                data = self.sock.recv(1 << 16)
            except ConnectionResetError:
                self.reset = True
                data = b""
            if not data:
                raise Closed()
            self.buf += data

    def recv(self, timeout=WAIT):
        self._fill(4, timeout)
        (length,) = struct.unpack("<I", self.buf[:4])
        self._fill(4 + length, timeout)
        payload, self.buf = self.buf[4:4 + length], self.buf[4 + length:]
        hlen, ptype, flags = struct.unpack("<BBH", payload[:4])
        pid = struct.unpack("<I", payload[4:8])[0] if flags & 1 else 0
        return Packet(ptype, pid, payload[hlen:])

    def expect(self, name, timeout=WAIT):
        got = self.recv(timeout)
        if got.type != PKT[name]:
            raise AssertionError("expected pkt%s, got %r" % (name, got))
        return got

    def wait_closed(self, timeout=WAIT):
        """Reads until the server closes; returns the packets seen on the way."""
        seen = []
        try:
            while True:
                seen.append(self.recv(timeout))
        except Closed:
            return seen

    def pending(self):
        """True when bytes are waiting to be read right now."""
        if self.buf:
            return True
        return self._readable(0)

    def _readable(self, timeout):
        # poll, not select: tests hold more than 1024 descriptors.
        poller = select.poll()
        poller.register(self.sock, select.POLLIN)
        return bool(poller.poll(timeout * 1000))


class Server:
    """gridmoor-server on a free loopback port; its log lines are collected as they come."""

    def __init__(self, program, *args, descriptors=None):
        def limit():
            # Soft and hard: the server cannot raise it back.
            import resource
            resource.setrlimit(resource.RLIMIT_NOFILE, (descriptors, descriptors))
        self.proc = subprocess.Popen([program, "--listen", "127.0.0.1", "--port", "0", *args],
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                     preexec_fn=limit if descriptors else None)
        self.lines = queue.Queue()
        self.log = []
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        line = self.wait_log(r"listening on \S+ port (\d+)")
        self.port = int(re.search(r"port (\d+)", line).group(1))

    def _read(self):
        for raw in self.proc.stderr:
            self.lines.put(raw.decode("utf-8", "replace").rstrip("\n"))
        self.lines.put(None)

    def wait_log(self, pattern, timeout=WAIT):
        """The first line not yet waited for that matches pattern."""
        deadline = time.monotonic() + timeout
        while True:
            for i, line in enumerate(self.log):
                if re.search(pattern, line):
                    del self.log[: i + 1]
                    return line
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("no log line like %r; saw %r" % (pattern, self.log[-10:]))
            try:
                line = self.lines.get(timeout=left)
            except queue.Empty:
                continue
            if line is None:
                raise AssertionError("server ended; log %r" % self.log[-10:])
            self.log.append(line)

    def client(self, **kw):
        return Client(self.port, **kw)

    def logged_in(self, **kw):
        c = self.client(**kw)
        c.login()
        return c

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
        status = self.proc.wait(timeout=WAIT)
        self.reader.join(timeout=WAIT)
        self.proc.stderr.close()
        return status
