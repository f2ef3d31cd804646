#!/usr/bin/env python3
"""Checks that a compiled launcher movie is a whole ActionScript 3 movie.

Whether it behaves is for the player to show (the Linux client's end-to-end
test plays it); this only catches a file that no player would start as the
launcher: a bad header, a cut or overrun tag list, or no AVM2 code in it.

    python3 check_swf.py MOVIE.swf
"""
import struct
import sys
import zlib

TAG_END, TAG_FILE_ATTRIBUTES, TAG_DO_ABC = 0, 69, 82
STAGE_TWIPS = (0, 1000 * 20, 0, 700 * 20)  # the game window's design size
FPS = 24


def check(data):
    signature, version, length = data[:3], data[3], struct.unpack("<I", data[4:8])[0]
    if signature == b"CWS":
        body = zlib.decompress(data[8:])
    elif signature == b"FWS":
        body = data[8:]
    else:
        raise ValueError("signature %r" % signature)
    if 8 + len(body) != length:
        raise ValueError("header says %d bytes, the movie has %d" % (length, 8 + len(body)))
    bits = body[0] >> 3
    rect_bytes = (5 + 4 * bits + 7) // 8
    acc = int.from_bytes(body[:rect_bytes], "big")
    shift = rect_bytes * 8 - 5
    stage = []
    for _ in range(4):
        shift -= bits
        v = (acc >> shift) & ((1 << bits) - 1)
        stage.append(v - (1 << bits) if v >> (bits - 1) else v)
    if tuple(stage) != STAGE_TWIPS:
        raise ValueError("stage %r twips" % (stage,))
    rate, frames = struct.unpack("<HH", body[rect_bytes:rect_bytes + 4])
    if rate != FPS << 8 or frames < 1:
        raise ValueError("frame rate %d/256, %d frames" % (rate, frames))
    pos, kinds, attributes = rect_bytes + 4, [], None
    while True:
        if pos + 2 > len(body):
            raise ValueError("the tags run past the end without an End tag")
        (code,) = struct.unpack("<H", body[pos:pos + 2])
        kind, size, pos = code >> 6, code & 0x3F, pos + 2
        if size == 0x3F:
            (size,) = struct.unpack("<I", body[pos:pos + 4])
            pos += 4
        if pos + size > len(body):
            raise ValueError("tag %d runs past the end" % kind)
        if kind == TAG_FILE_ATTRIBUTES:
            attributes = body[pos]
        kinds.append(kind)
        pos += size
        if kind == TAG_END:
            break
    if pos != len(body):
        raise ValueError("%d bytes after the End tag" % (len(body) - pos))
    if kinds[0] != TAG_FILE_ATTRIBUTES or attributes is None or not attributes & 0x08:
        raise ValueError("the first tag does not mark the movie as ActionScript 3")
    if TAG_DO_ABC not in kinds:
        raise ValueError("no DoABC tag: the movie has no ActionScript 3 code")
    return "%s v%d, %d bytes, 1000x700 at %d fps, %d frame(s); tags %s" % (
        signature.decode(), version, length, FPS, frames, " ".join(map(str, kinds)))


def main():
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    try:
        print("ok: " + check(data))
    except (ValueError, IndexError, struct.error, zlib.error) as e:
        print("%s: %s" % (sys.argv[1], e), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
