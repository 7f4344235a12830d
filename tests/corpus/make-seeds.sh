#!/usr/bin/env bash
# Fills the seed corpora, one folder per fuzz target, with small files: picture fixtures and
# a few more written by ImageMagick. Run by hand; the corpora are committed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
fixtures=$here/../picture/fixtures
im=/usr/bin/convert
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for t in gif bmp icon pcx jpeg detect; do rm -rf "${here:?}/$t"; mkdir -p "$here/$t"; done

cp "$fixtures"/{im-transparent,im-colors1,im-small-frame,giflib-local,giflib-local-interlaced,giflib-extensions}.gif "$here/gif/"
cp "$fixtures"/{bmp1,bmp4,bmp8,bmp24,bmp24-v5,bmp8-rle,bmp16}.bmp "$here/bmp/"
cp "$fixtures"/{grey,cmyk}.jpg "$here/jpeg/"
"$im" -seed 1 -size 16x12 plasma: "$tmp/s.png"
"$im" "$tmp/s.png" -quality 70 "$here/jpeg/baseline.jpg"
"$im" "$tmp/s.png" -quality 70 -interlace JPEG "$here/jpeg/progressive.jpg"
"$im" "$tmp/s.png" -quality 70 -sampling-factor 1x1 "$here/jpeg/444.jpg"

# Icons: ImageMagick writes 32-bit entries with an AND mask; a cursor differs in its type word.
"$im" "$tmp/s.png" -define icon:auto-resize=16,32 "$here/icon/two-sizes.ico"
"$im" "$tmp/s.png" -colors 16 -type palette -resize 8x8 "$here/icon/palette.ico"
cp "$here/icon/palette.ico" "$here/icon/palette.cur"
printf '\x02' | dd of="$here/icon/palette.cur" bs=1 seek=2 conv=notrunc status=none

"$im" "$tmp/s.png" -colors 64 -type palette "$here/pcx/eight.pcx"
# ImageMagick writes no 1-bit PCX and only 32-bit icon entries: those are built here.
python3 - "$here" <<'PY'
import struct, sys
here = sys.argv[1]

def pcx(version, bits, width, height, bytes_per_line, raw, palette):
    head = bytearray(128)
    head[0:4] = bytes([10, version, 1, bits])
    head[4:12] = struct.pack('<4h', 0, 0, width - 1, height - 1)
    head[65] = 1
    head[66:68] = struct.pack('<H', bytes_per_line)
    out = bytearray(head)
    i = 0
    while i < len(raw):
        n = 1
        while i + n < len(raw) and raw[i + n] == raw[i] and n < 63:
            n += 1
        if n > 1 or raw[i] >= 192:
            out.append(192 + n)
        out.append(raw[i])
        i += n
    if palette:
        out.append(12)
        out += bytes(range(256)) * 3
    return bytes(out)

open(f'{here}/pcx/one.pcx', 'wb').write(
    pcx(3, 1, 13, 4, 2, bytes([0xF0, 0x0F, 0xAA, 0x55, 0xFF, 0xF8, 0, 0]), False))
open(f'{here}/pcx/grey.pcx', 'wb').write(
    pcx(5, 8, 7, 3, 8, bytes(x * 30 + y for y in range(3) for x in range(8)), False))

def dib(width, height, bits):
    stride = (width * bits + 31) // 32 * 4
    colours = 1 << bits if bits <= 8 else 0
    head = struct.pack('<IiiHHIIiiII', 40, width, height * 2, 1, bits, 0, 0, 0, 0, 0, 0)
    table = b''.join(struct.pack('<4B', i * 7 % 256, i * 13 % 256, i * 29 % 256, 0)
                     for i in range(colours))
    pixels = bytes((x * 37 + y) % 256 for y in range(height) for x in range(stride))
    mask_stride = (width + 31) // 32 * 4
    mask = bytes(0x0F if y % 2 else 0xF0 for y in range(height) for _ in range(mask_stride))
    return head + table + pixels + mask

def icon(kind, entries):
    out = struct.pack('<3H', 0, kind, len(entries))
    offset = 6 + 16 * len(entries)
    images = b''
    for width_byte, colours, image in entries:
        out += struct.pack('<4B2H2I', width_byte, width_byte, colours, 0, 1, 0, len(image), offset)
        offset += len(image)
        images += image
    return out + images

open(f'{here}/icon/depths.ico', 'wb').write(icon(1, [
    (16, 2, dib(16, 16, 1)), (32, 16, dib(32, 32, 4)), (48, 0, dib(12, 8, 8)),
    (24, 0, dib(5, 3, 24))]))
open(f'{here}/icon/small.cur', 'wb').write(icon(2, [(8, 0, dib(8, 8, 16))]))
PY
for f in gif/im-transparent.gif bmp/bmp1.bmp jpeg/grey.jpg icon/palette.ico pcx/one.pcx; do
  cp "$here/$f" "$here/detect/"
done
du -sh "$here"
