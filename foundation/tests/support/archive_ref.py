#!/usr/bin/env python3
"""A second, independent reader and writer of the archive format, in plain
Python (struct + zlib), used by the archive tests to check the C++ code both
ways.

  archive_ref.py build RECIPE OUT [--append]   write an archive described by RECIPE
  archive_ref.py list ARCHIVE [--name N]     print its header and tree
  archive_ref.py extract ARCHIVE DIR [--name N]
  archive_ref.py seeds DIR                   write small valid archives

RECIPE is a text file of lines:
  name NAME            the archive's name (default "ref")
  chunk N              chunk size (default 8192)
  dir a/b              make folders
  file a/b/x PATH z|s  add the bytes of PATH, compressed (z) or stored (s)
"""
import os
import struct
import sys
import zlib

SIGNATURE = b"\x00ZRLARCH"
FLAG_FILE, FLAG_FOLDER, FLAG_COMPRESSED = 1, 2, 4


class Folder:
    def __init__(self):
        self.entries = []  # (name, Folder | FileEntry) in creation order

    def find(self, name):
        for key, value in self.entries:
            if key.lower() == name.lower():
                return value
        return None


class FileEntry:
    def __init__(self, size, offset, compressed, chunks):
        self.size, self.offset, self.compressed, self.chunks = size, offset, compressed, chunks


# ---------------------------------------------------------------- writing

class Writer:
    def __init__(self, name, chunk=8192):
        self.chunk = chunk
        self.out = bytearray(name.encode("latin-1") + b"\x00")
        self.root = Folder()

    def folder(self, path, create=True):
        node = self.root
        for part in [p for p in path.replace("\\", "/").split("/") if p]:
            child = node.find(part)
            if child is None:
                if not create:
                    raise KeyError(path)
                child = Folder()
                node.entries.append((part, child))
            if not isinstance(child, Folder):
                raise ValueError("%s: a file is in the way" % path)
            node = child
        return node

    def add(self, path, data, compress):
        folder_path, _, name = path.replace("\\", "/").rpartition("/")
        folder = self.folder(folder_path)
        if folder.find(name) is not None:
            raise ValueError("%s: name taken" % path)
        offset = len(self.out)
        chunks = []
        for at in range(0, len(data), self.chunk):
            piece = data[at:at + self.chunk]
            if compress:
                chunks.append(len(self.out) - offset)
                packed = zlib.compress(piece)
                self.out += struct.pack("<I", len(packed)) + packed
            else:
                self.out += piece
        folder.entries.append((name, FileEntry(len(data), offset, compress, chunks)))

    def _node(self, folder):
        text = bytearray(struct.pack("<I", len(folder.entries)))
        for name, value in folder.entries:
            encoded = name.encode("latin-1") + b"\x00"
            if isinstance(value, Folder):
                text += struct.pack("<I", FLAG_FOLDER) + encoded + self._node(value)
                continue
            flags = FLAG_FILE | (FLAG_COMPRESSED if value.compressed else 0)
            text += struct.pack("<I", flags) + encoded + struct.pack("<II", value.size, value.offset)
            if value.compressed:
                text += struct.pack("<I", len(value.chunks))
                text += b"".join(struct.pack("<I", c) for c in value.chunks)
        return bytes(text)

    def finish(self):
        text = self._node(self.root)
        block = struct.pack("<I", len(text)) + zlib.compress(text)
        directory_at = len(self.out)
        self.out += struct.pack("<I", len(block)) + block
        header_at = len(self.out)
        self.out += struct.pack("<IHHIII", 8, 1, 0, self.chunk, header_at, header_at - directory_at)
        self.out += struct.pack("<I", 20) + SIGNATURE
        return bytes(self.out)


# ---------------------------------------------------------------- reading

class Archive:
    """The archive called name (None: the last) in host, a bytes object."""

    def __init__(self, host, name=None):
        end = len(host)
        while True:
            if end < 33 or host[end - 8:end] != SIGNATURE:
                raise ValueError("no archive")
            (n,) = struct.unpack_from("<I", host, end - 12)
            if n < 20 or n > end - 13:
                raise ValueError("bad header length")
            h = end - 12 - n
            rec, _, _, chunk, to_header, to_dir = struct.unpack_from("<IHHIII", host, h)
            if to_header == 0 or to_header > h:
                raise ValueError("bad start")
            s = h - to_header
            zero = host.index(b"\x00", s, h)
            archive_name = host[s:zero].decode("latin-1")
            if name is None or archive_name.lower() == name.lower():
                break
            end = s
        if chunk == 0 or rec < 8:
            raise ValueError("bad header")
        d = h - to_dir
        (b,) = struct.unpack_from("<I", host, d)
        block = host[d + 4:d + 4 + b]
        (u,) = struct.unpack_from("<I", block, 0)
        text = zlib.decompress(block[4:])
        if len(text) != u:
            raise ValueError("directory length")
        self.host, self.start, self.chunk, self.name = host, s, chunk, archive_name
        self.record_size = rec
        self.root, pos = self._node(text, 0)

    def _node(self, text, pos):
        folder = Folder()
        (count,) = struct.unpack_from("<I", text, pos)
        pos += 4
        for _ in range(count):
            (flags,) = struct.unpack_from("<I", text, pos)
            zero = text.index(b"\x00", pos + 4)
            name = text[pos + 4:zero].decode("latin-1")
            pos = zero + 1
            if folder.find(name) is not None:
                raise ValueError("duplicate name " + name)
            if flags & FLAG_FILE:
                size, offset = struct.unpack_from("<II", text, pos)
                pos += self.record_size
                chunks = []
                if flags & FLAG_COMPRESSED:
                    (n,) = struct.unpack_from("<I", text, pos)
                    chunks = list(struct.unpack_from("<%dI" % n, text, pos + 4))
                    pos += 4 + 4 * n
                folder.entries.append((name, FileEntry(size, offset, bool(flags & FLAG_COMPRESSED), chunks)))
            else:
                child, pos = self._node(text, pos)
                folder.entries.append((name, child))
        return folder, pos

    def data(self, entry):
        at = self.start + entry.offset
        if not entry.compressed:
            return self.host[at:at + entry.size]
        out = bytearray()
        for k, c in enumerate(entry.chunks):
            (n,) = struct.unpack_from("<I", self.host, at + c)
            piece = zlib.decompress(self.host[at + c + 4:at + c + 4 + n])
            want = min(self.chunk, entry.size - k * self.chunk)
            if len(piece) != want:
                raise ValueError("chunk %d inflates to %d, not %d" % (k, len(piece), want))
            out += piece
        return bytes(out)

    def walk(self, folder=None, prefix=""):
        """(path, entry) in directory order; folder paths end in '/'."""
        for name, value in (folder or self.root).entries:
            if isinstance(value, Folder):
                yield prefix + name + "/", value
                yield from self.walk(value, prefix + name + "/")
            else:
                yield prefix + name, value


# ---------------------------------------------------------------- commands

def build(recipe_path, out_path, append):
    name, chunk, steps = "ref", 8192, []
    with open(recipe_path, encoding="latin-1") as recipe:
        for line in recipe:
            words = line.rstrip("\n").split(" ")
            if words[0] == "name":
                name = " ".join(words[1:])
            elif words[0] == "chunk":
                chunk = int(words[1])
            elif words[0] in ("dir", "file"):
                steps.append(words)
    writer = Writer(name, chunk)
    for words in steps:
        if words[0] == "dir":
            writer.folder(words[1])
        else:
            with open(words[2], "rb") as source:
                writer.add(words[1], source.read(), words[3] == "z")
    with open(out_path, "ab" if append else "wb") as out:
        out.write(writer.finish())


def load(path, name):
    with open(path, "rb") as f:
        return Archive(f.read(), name)


def option(args, flag):
    if flag in args:
        i = args.index(flag)
        value = args[i + 1]
        del args[i:i + 2]
        return value
    return None


def main(argv):
    args = argv[1:]
    name = option(args, "--name")
    append = "--append" in args
    args = [a for a in args if a != "--append"]
    if args[0] == "build":
        build(args[1], args[2], append)
    elif args[0] == "list":
        archive = load(args[1], name)
        print("A %s %d" % (archive.name, archive.chunk))
        for path, entry in archive.walk():
            if isinstance(entry, Folder):
                print("D " + path)
            else:
                print("F %s %d %s" % (path, entry.size, "z" if entry.compressed else "s"))
    elif args[0] == "extract":
        archive = load(args[1], name)
        for path, entry in archive.walk():
            target = os.path.join(args[2], path)
            if isinstance(entry, Folder):
                os.makedirs(target, exist_ok=True)
            else:
                with open(target, "wb") as out:
                    out.write(archive.data(entry))
    elif args[0] == "seeds":
        write_seeds(args[1])
    else:
        raise SystemExit(__doc__)


def write_seeds(folder):
    os.makedirs(folder, exist_ok=True)
    text = b"contents.major=Rookwell\r\ncontents.minor=profile\r\n"
    w = Writer("profile")
    w.folder("contents")
    w.add("contents/contents.cfg", text, True)
    w.add("contents/raw.bin", bytes(range(256)) * 3, False)
    w.add("empty", b"", True)
    with open(os.path.join(folder, "profile.arc"), "wb") as out:
        out.write(w.finish())
    w = Writer("small", 64)
    w.folder("a/b/c")
    w.add("a/b/c/x", bytes((i * 7) & 255 for i in range(300)), True)
    w.add("a/y", b"y" * 130, False)
    with open(os.path.join(folder, "small-chunks.arc"), "wb") as out:
        out.write(w.finish())
    host = b"\xff\xd8not a picture\xff\xd9"
    for n in ("first", "second"):
        w = Writer(n, 16)
        w.add(n + ".txt", n.encode() * 5, n == "second")
        host += w.finish()
    with open(os.path.join(folder, "stacked.arc"), "wb") as out:
        out.write(host)


if __name__ == "__main__":
    main(sys.argv)
