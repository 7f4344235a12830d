#!/usr/bin/env python3
# Writes the seed corpus of the WAVE fuzz target into tests/corpus/wave/: small clips, well
# formed and not. Run by hand; the corpus is committed.
import os
import struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "wave")
os.makedirs(here, exist_ok=True)


def chunk(cid, body, size=None, pad=True):
    out = cid + struct.pack("<I", len(body) if size is None else size) + body
    return out + (b"\0" if pad and len(body) % 2 else b"")


def riff(*chunks, size=None):
    body = b"WAVE" + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body) if size is None else size) + body


def fmt(tag=1, channels=1, rate=8000, bits=8, extra=b""):
    align = channels * bits // 8
    return struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits) + extra


samples = bytes((i * 7) & 0xFF for i in range(61))
extensible = fmt(0xFFFE, 2, 44100, 16, struct.pack("<HHI", 22, 16, 3) + struct.pack("<IHH", 1, 0, 0x10) + bytes.fromhex("800000aa00389b71"))
seeds = {
    "pcm8.wav": riff(chunk(b"fmt ", fmt()), chunk(b"data", samples)),
    "data-first.wav": riff(chunk(b"data", samples), chunk(b"fmt ", fmt())),
    "list-odd.wav": riff(chunk(b"LIST", b"INFOabc"), chunk(b"fmt ", fmt(1, 2, 22050, 16)), chunk(b"data", samples[:40])),
    "float.wav": riff(chunk(b"fmt ", fmt(3, 1, 48000, 32)), chunk(b"data", samples[:32])),
    "extensible.wav": riff(chunk(b"fmt ", extensible), chunk(b"data", samples[:32])),
    "lying-data.wav": riff(chunk(b"fmt ", fmt()), chunk(b"data", samples[:20], size=100000)),
    "lying-riff.wav": riff(chunk(b"fmt ", fmt()), chunk(b"data", samples), size=30),
    "short.wav": riff(chunk(b"fmt ", fmt()))[:35],
    "midi.mid": b"MThd" + struct.pack(">IHHH", 6, 0, 1, 96) + b"MTrk" + struct.pack(">I", 4) + b"\x00\xff\x2f\x00",
    "mpeg.mp3": b"\xff\xfb\x90\x64" + bytes(60),
}
for name, data in seeds.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
