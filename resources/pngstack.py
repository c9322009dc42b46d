#!/usr/bin/env python3
"""Small PNG helpers for render.sh (python3 standard library only).

  pngstack.py stack OUT IN1 IN2 ...   stack RGBA PNGs of equal width vertically
  pngstack.py colortype FILE          print the IHDR colour type

The film strips are taller than a single rsvg render (cairo) or ImageMagick
(policy) will take, so they are rendered in slices and joined here.  Joining
keeps each slice's row filters; only the first row of every slice, which was
filtered against an all-zero row, is rewritten so that it no longer refers to
the row above it.  The output holds IHDR, IDAT and IEND only, so it is
byte-for-byte reproducible.
"""

import struct
import sys
import zlib

SIG = b"\x89PNG\r\n\x1a\n"


def read_png(path):
    with open(path, "rb") as fh:
        data = fh.read()
    if data[:8] != SIG:
        raise ValueError("%s: not a PNG" % path)
    pos = 8
    ihdr = None
    idat = []
    while pos < len(data):
        (n,) = struct.unpack(">I", data[pos:pos + 4])
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + n]
        pos += 12 + n
        if kind == b"IHDR":
            ihdr = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat.append(body)
        elif kind == b"IEND":
            break
    if ihdr is None:
        raise ValueError("%s: no IHDR" % path)
    return ihdr, b"".join(idat)


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)


def first_row_standalone(row):
    """Re-express a row that was filtered against a zero row so that it does
    not depend on the row above: Up -> None, Paeth -> Sub, Average -> None."""
    ft = row[0]
    if ft in (0, 1):
        return row
    if ft == 2:
        return b"\x00" + row[1:]
    if ft == 4:
        return b"\x01" + row[1:]
    if ft == 3:
        out = bytearray(row[1:])
        for i in range(4, len(out)):
            out[i] = (out[i] + (out[i - 4] >> 1)) & 0xFF
        return b"\x00" + bytes(out)
    raise ValueError("bad filter type %d" % ft)


def stack(out_path, inputs):
    width = None
    total_h = 0
    parts = []
    for path in inputs:
        (w, h, depth, ctype, comp, filt, inter), idat = read_png(path)
        if (depth, ctype, comp, filt, inter) != (8, 6, 0, 0, 0):
            raise ValueError("%s: expected 8-bit RGBA, not interlaced" % path)
        if width is None:
            width = w
        elif w != width:
            raise ValueError("%s: width %d, expected %d" % (path, w, width))
        raw = zlib.decompress(idat)
        stride = 1 + 4 * w
        if len(raw) != stride * h:
            raise ValueError("%s: image data has the wrong length" % path)
        parts.append(first_row_standalone(raw[:stride]))
        parts.append(raw[stride:])
        total_h += h
    raw = b"".join(parts)
    comp = zlib.compressobj(9, zlib.DEFLATED, 15, 9, zlib.Z_DEFAULT_STRATEGY)
    z = comp.compress(raw) + comp.flush()
    out = [SIG, chunk(b"IHDR", struct.pack(">IIBBBBB", width, total_h, 8, 6, 0, 0, 0))]
    step = 1 << 20
    for i in range(0, len(z), step):
        out.append(chunk(b"IDAT", z[i:i + step]))
    out.append(chunk(b"IEND", b""))
    with open(out_path, "wb") as fh:
        fh.write(b"".join(out))


def main(argv):
    if len(argv) >= 4 and argv[1] == "stack":
        stack(argv[2], argv[3:])
        return 0
    if len(argv) == 3 and argv[1] == "colortype":
        (w, h, depth, ctype, comp, filt, inter), _ = read_png(argv[2])
        print(ctype)
        return 0
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
