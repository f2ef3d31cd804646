#!/usr/bin/env python3
"""Writes a movie that calls into its page for a function no page defines.

    python3 make_calls_movie.py OUT.swf

A game's movie calls functions its own web page would have defined, both
through ExternalInterface.call and through a javascript: address given to
getURL. The player's page defines none of them. This movie makes each kind
of call on its first frame, hands what ExternalInterface.call returned to
the page's tarnholdMovieStarted, and reports every second after that, as the
demo movie does, so a test sees that it runs on. Built with the demo's own
SWF writer.
"""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "tools"))
import make_demo_content as swf  # noqa: E402

ABSENT = "tarnholdNoPageDefinesThis"
A_GET_URL = 0x83


def external_call(name, arg_code):
    """ExternalInterface.call(name, ...), its result left on the stack."""
    return (b"".join(arg_code) + swf.push(name, len(arg_code) + 1, "flash") + swf.act(swf.A_GET_VARIABLE) +
            swf.push("external") + swf.act(swf.A_GET_MEMBER) + swf.push("ExternalInterface") +
            swf.act(swf.A_GET_MEMBER) + swf.push("call") + swf.act(swf.A_CALL_METHOD))


def frame_one_actions():
    code = swf.act(A_GET_URL, swf.cstr("javascript:%s('getURL')" % ABSENT) + swf.cstr(""))
    code += swf.call_external(swf.STARTED_CALLBACK, [external_call(ABSENT, [swf.push("ExternalInterface")])])
    root = swf.push("_root") + swf.act(swf.A_GET_VARIABLE)
    code += root + swf.push("tick", 0) + swf.act(swf.A_SET_MEMBER)
    body = root + swf.push("tick") + swf.root_get("tick") + swf.push(1) + swf.act(swf.A_ADD2) + swf.act(swf.A_SET_MEMBER)
    report = swf.call_external(swf.FRAME_CALLBACK, [swf.root_get("tick")])
    body += swf.root_get("tick") + swf.push(swf.FPS) + swf.act(swf.A_MODULO) + swf.push(0) + swf.act(swf.A_EQUALS2)
    body += swf.act(swf.A_NOT) + swf.act(swf.A_IF, struct.pack("<h", len(report))) + report
    code += root + swf.push("onEnterFrame")
    code += swf.act(swf.A_DEFINE_FUNCTION, swf.cstr("") + struct.pack("<HH", 0, len(body))) + body
    return code + swf.act(swf.A_SET_MEMBER) + swf.act(swf.A_STOP) + swf.act(swf.A_END)


def make_swf():
    bw = swf.BitWriter()
    swf.rect(bw, 0, 320 * swf.TWIPS, 0, 240 * swf.TWIPS)
    header = bw.align() + struct.pack("<HH", swf.FPS << 8, 1)
    tags = swf.tag(swf.TAG_FILE_ATTRIBUTES, struct.pack("<I", 0)) + swf.tag(swf.TAG_SET_BACKGROUND, swf.rgb((0, 0, 0)))
    tags += swf.tag(swf.TAG_DO_ACTION, frame_one_actions()) + swf.tag(swf.TAG_SHOW_FRAME, b"") + swf.tag(swf.TAG_END, b"")
    body = header + tags
    return b"FWS" + bytes([swf.SWF_VERSION]) + struct.pack("<I", 8 + len(body)) + body


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(make_swf())
