#!/usr/bin/env python3
"""Writes BMP and TGA files of every variant the codecs read, and some they
must refuse, into OUTDIR, with the pixels each should decode to.

OUTDIR/manifest.txt has one line per file:
    NAME ok WIDTH HEIGHT STORED_FORMAT OFFSET   (NAME.bgra holds the expected
                                                 pixels as blue, green, red, alpha)
    NAME fail OFFSET
OFFSET is where the picture starts inside the file.
Expected pixels follow the decoder's rule: a channel's bits sit at the top
of the byte with zero low bits.
"""
import os
import random
import struct
import sys

rng = random.Random(1234)


def top_bits(value, width):
    return (value << (8 - width)) & 0xFF


def bits_of(mask):
    if mask == 0:
        return 0, 0
    shift = (mask & -mask).bit_length() - 1
    return shift, bin(mask).count("1")


def channel(v, mask):
    shift, width = bits_of(mask)
    if width == 0:
        return 0
    return top_bits((v & mask) >> shift, width)


def pixels_random(w, h, nbytes):
    return [[rng.randrange(256 ** nbytes) for _ in range(w)] for _ in range(h)]


def bgra_direct(rows, masks):
    r, g, b, a = masks
    out = bytearray()
    for row in rows:
        for v in row:
            out += bytes([channel(v, b), channel(v, g), channel(v, r), channel(v, a)])
    return out


def bmp(w, h, bpp, rows, palette=None, compression=0, masks=None, info_size=40,
        top_down=False, colours_used=None):
    """rows are top row first; values are little-endian pixel integers."""
    nbytes = bpp // 8
    stride = ((w * bpp + 31) // 32) * 4
    data = bytearray()
    order = rows if top_down else list(reversed(rows))
    for row in order:
        line = bytearray()
        for v in row:
            line += v.to_bytes(nbytes, "little")
        line += bytes(stride - len(line))
        data += line
    extra = bytearray()
    if masks is not None and info_size == 40:
        extra += struct.pack("<3I", *masks[:3])
    pal = bytearray()
    if palette is not None:
        for (b, g, r, a) in palette:
            pal += bytes([b, g, r, a])
    offset = 14 + info_size + len(extra) + len(pal)
    info = struct.pack("<IiiHHIIiiII", info_size, w, -h if top_down else h, 1, bpp,
                       compression, len(data), 2835, 2835,
                       len(palette) if colours_used is None and palette else (colours_used or 0), 0)
    if info_size > 40:
        tail = bytearray(info_size - 40)
        if masks is not None:
            tail[0:16] = struct.pack("<4I", *masks)
        info += tail
    header = b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset)
    return bytes(header + info + extra + pal + data)


def rle8(w, h, rows, palette, top_down=False, truncate=0):
    """Encodes rows (top first) with repeats, literal runs, a jump and end codes."""
    data = bytearray()
    for k, row in enumerate(reversed(rows)):
        x = 0
        if k == 1 and w > 3:
            data += bytes([0, 2, 2, 0])  # jump two pixels right: they stay index 0
            x = 2
        while x < w:
            run = 1
            while x + run < w and row[x + run] == row[x] and run < 255:
                run += 1
            if run >= 2:
                data += bytes([run, row[x]])
                x += run
                continue
            lit = 1
            while x + lit < w and lit < 255 and (x + lit + 1 >= w or row[x + lit] != row[x + lit + 1]):
                lit += 1
            if lit >= 3:
                data += bytes([0, lit]) + bytes(row[x:x + lit]) + (b"\0" if lit % 2 else b"")
            else:
                for v in row[x:x + lit]:
                    data += bytes([1, v])
            x += lit
        data += bytes([0, 0])
    data += bytes([0, 1])
    pal = bytearray()
    for (b, g, r, a) in palette:
        pal += bytes([b, g, r, a])
    offset = 14 + 40 + len(pal)
    info = struct.pack("<IiiHHIIiiII", 40, w, -h if top_down else h, 1, 8, 1, len(data), 2835,
                       2835, len(palette), 0)
    header = b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset)
    out = bytes(header + info + pal + data)
    return out[:len(out) - truncate] if truncate else out


def tga(w, h, image_type, depth, rows, cmap=None, cmap_bits=0, cmap_first=0,
        top_first=False, id_field=b"", map_type=None):
    nbytes = (depth + 7) // 8
    cmap_bytes = bytearray()
    if cmap is not None:
        eb = (cmap_bits + 7) // 8
        for v in cmap:
            cmap_bytes += v.to_bytes(eb, "little")
    if map_type is None:
        map_type = 1 if cmap is not None else 0
    header = struct.pack("<BBBHHBHHHHBB", len(id_field), map_type, image_type, cmap_first,
                         len(cmap) if cmap is not None else 0, cmap_bits, 0, 0, w, h, depth,
                         0x20 if top_first else 0)
    data = bytearray()
    for row in (rows if top_first else list(reversed(rows))):
        for v in row:
            data += v.to_bytes(nbytes, "little")
    return bytes(header + id_field + cmap_bytes + data)


def main(out):
    os.makedirs(out, exist_ok=True)
    manifest = []

    def ok(name, data, w, h, stored, expect, offset=0):
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
        with open(os.path.join(out, name + ".bgra"), "wb") as f:
            f.write(expect)
        manifest.append(f"{name} ok {w} {h} {stored} {offset}")

    def fail(name, data, offset=0):
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
        manifest.append(f"{name} fail {offset}")

    # BMP, 8 bits with 16 and 256 colours: entries past the table are black.
    for count, w in ((16, 5), (256, 4)):
        palette = [(rng.randrange(256), rng.randrange(256), rng.randrange(256), 0)
                   for _ in range(count)]
        rows = [[rng.randrange(256) for _ in range(w)] for _ in range(3)]
        expect = bytearray()
        for row in rows:
            for v in row:
                expect += bytes(palette[v]) if v < count else bytes(4)
        ok(f"pal{count}.bmp", bmp(w, 3, 8, rows, palette), w, 3, 0, expect)

    r555 = (0x7C00, 0x03E0, 0x001F, 0)
    rows = pixels_random(3, 4, 2)
    ok("rgb555.bmp", bmp(3, 4, 16, rows), 3, 4, 16, bgra_direct(rows, r555))
    r565 = (0xF800, 0x07E0, 0x001F, 0)
    rows = pixels_random(5, 2, 2)
    ok("rgb565.bmp", bmp(5, 2, 16, rows, compression=3, masks=r565), 5, 2, 18,
       bgra_direct(rows, r565))
    r4444 = (0x0F00, 0x00F0, 0x000F, 0xF000)
    rows = pixels_random(3, 3, 2)
    ok("argb4444.bmp", bmp(3, 3, 16, rows, compression=3, masks=r4444, info_size=124), 3, 3,
       10, bgra_direct(rows, r4444))

    bgr = (0xFF0000, 0x00FF00, 0x0000FF, 0)
    rows = pixels_random(3, 5, 3)
    ok("rgb24.bmp", bmp(3, 5, 24, rows), 3, 5, 20, bgra_direct(rows, bgr))
    data = bmp(3, 5, 24, rows)
    ok("embedded.bmp", bytes(range(100)) + data + b"tail", 3, 5, 20, bgra_direct(rows, bgr), 100)
    rows = pixels_random(6, 3, 3)
    ok("topdown.bmp", bmp(6, 3, 24, rows, top_down=True), 6, 3, 20, bgra_direct(rows, bgr))

    bgra = (0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)
    rows = pixels_random(4, 3, 4)
    ok("rgb32.bmp", bmp(4, 3, 32, rows), 4, 3, 22, bgra_direct(rows, bgra))
    ok("bgra32v5.bmp", bmp(4, 3, 32, rows, compression=3, masks=bgra, info_size=124), 4, 3, 22,
       bgra_direct(rows, bgra))
    rgba = (0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000)
    ok("rgba32v5.bmp", bmp(4, 3, 32, rows, compression=3, masks=rgba, info_size=124), 4, 3, 21,
       bgra_direct(rows, rgba))
    odd = (0x3FF00000, 0x000FFC00, 0x000003FF, 0)  # ten bits a channel
    expect = bytearray()
    for row in rows:
        for v in row:
            expect += bytes([(v & 0x3FF) >> 2, ((v >> 10) & 0x3FF) >> 2, ((v >> 20) & 0x3FF) >> 2, 0])
    ok("rgb101010.bmp", bmp(4, 3, 32, rows, compression=3, masks=odd, info_size=40), 4, 3, 25,
       expect)

    fail("mono.bmp", bmp(8, 2, 1, [[0], [0]], [(0, 0, 0, 0), (255, 255, 255, 0)]))
    palette = [(rng.randrange(256), rng.randrange(256), rng.randrange(256), 0) for _ in range(64)]
    rows = [[rng.choice([3, 3, 3, 9, 17, 40, rng.randrange(64)]) for _ in range(11)] for _ in range(5)]
    jumped = [list(row) for row in rows]
    jumped[-2][0:2] = [0, 0]  # the second stored row starts with a jump
    expect = bytearray()
    for row in jumped:
        for v in row:
            expect += bytes(palette[v])
    ok("rle8.bmp", rle8(11, 5, rows, palette), 11, 5, 0, expect)
    fail("rle8cut.bmp", rle8(11, 5, rows, palette, truncate=9))
    fail("rle8topdown.bmp", rle8(11, 5, rows, palette, top_down=True))
    fail("rle4.bmp", bmp(4, 2, 8, [[1] * 4] * 2, [(0, 0, 0, 0)] * 2, compression=2))
    fail("overlap.bmp", bmp(2, 2, 16, pixels_random(2, 2, 2), compression=3,
                            masks=(0xFF00, 0x0FF0, 0x000F, 0)))
    good = bmp(7, 7, 24, pixels_random(7, 7, 3))
    fail("truncated.bmp", good[:len(good) - 30])
    fail("header.bmp", good[:40])
    wide = bytearray(good)
    struct.pack_into("<i", wide, 18, 100000)
    fail("wide.bmp", bytes(wide))
    fail("notbmp.bmp", b"BX" + good[2:])

    # TGA colour-mapped, with 24-, 16- and 32-bit entries.
    cmap = [rng.randrange(1 << 24) for _ in range(200)]
    rows = [[rng.randrange(200) for _ in range(5)] for _ in range(4)]
    expect = bytearray()
    for row in rows:
        for v in row:
            expect += bgra_direct([[cmap[v]]], bgr)
    ok("map24.tga", tga(5, 4, 1, 8, rows, cmap, 24), 5, 4, 0, expect)

    a1555 = (0x7C00, 0x03E0, 0x001F, 0x8000)
    cmap = [rng.randrange(1 << 16) for _ in range(30)]
    rows = [[rng.randrange(30) for _ in range(3)] for _ in range(3)]
    expect = bytearray()
    for row in rows:
        for v in row:
            expect += bgra_direct([[cmap[v]]], a1555)
    ok("map16.tga", tga(3, 3, 1, 8, rows, cmap, 16), 3, 3, 0, expect)

    cmap = [rng.randrange(1 << 32) for _ in range(40)]
    rows = [[10 + rng.randrange(40) for _ in range(4)] for _ in range(2)]
    expect = bytearray()
    for row in rows:
        for v in row:
            expect += bgra_direct([[cmap[v - 10]]], bgra)
    ok("map32first10.tga", tga(4, 2, 1, 8, rows, cmap, 32, cmap_first=10, top_first=True), 4, 2,
       0, expect)

    rows = pixels_random(3, 2, 2)
    ok("a1555.tga", tga(3, 2, 2, 16, rows), 3, 2, 12, bgra_direct(rows, a1555))
    ok("rgb15.tga", tga(3, 2, 2, 15, rows), 3, 2, 16, bgra_direct(rows, (0x7C00, 0x03E0, 0x001F, 0)))
    rows = pixels_random(4, 3, 3)
    ok("rgb24top.tga", tga(4, 3, 2, 24, rows, top_first=True, id_field=b"hello",
                           cmap=[1, 2, 3], cmap_bits=24, map_type=1), 4, 3, 20, bgra_direct(rows, bgr))
    rows = pixels_random(2, 5, 4)
    ok("bgra32.tga", tga(2, 5, 2, 32, rows), 2, 5, 22, bgra_direct(rows, bgra))

    fail("rle.tga", tga(2, 2, 10, 24, pixels_random(2, 2, 3)))
    fail("bigmap.tga", tga(2, 2, 1, 8, [[0, 1], [2, 3]], [0] * 250, 24, cmap_first=10))
    fail("grey8.tga", tga(2, 2, 2, 8, [[0, 1], [2, 3]]))
    good = tga(6, 6, 2, 24, pixels_random(6, 6, 3))
    fail("truncated.tga", good[:len(good) - 5])
    fail("empty.tga", b"")

    with open(os.path.join(out, "manifest.txt"), "w") as f:
        f.write("\n".join(manifest) + "\n")


if __name__ == "__main__":
    main(sys.argv[1])
