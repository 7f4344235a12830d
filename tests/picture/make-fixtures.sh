#!/usr/bin/env bash
# Makes the picture fixtures under fixtures/ with ImageMagick and giflib's own utilities.
# Run by hand when a fixture has to change; the tests use the committed files and need
# neither tool. Needs: imagemagick, giflib-tools, python3.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$here/fixtures
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"
cd "$tmp"
im=/usr/bin/convert

# Smooth, photographic-ish content so that the code streams look like real pictures.
plasma() { # WIDTH HEIGHT SEED OUT
  "$im" -seed "$3" -size "$1x$2" plasma:red-pink -blur 0x1 "$4"
}

# --- GIFs written by ImageMagick -------------------------------------------------------
plasma 147 90 1 rose.png
"$im" rose.png -colors 256 "$out/im-256.gif"                          # code size 8
for bits in 1 2 3 4 5 6 7; do                                          # code sizes 2 to 7
  "$im" rose.png -colors $((1 << bits)) "$out/im-colors$bits.gif"
done
plasma 61 37 2 odd.png
"$im" odd.png -colors 64 -interlace GIF "$out/im-interlaced.gif"
"$im" odd.png -colors 64 "$out/im-noninterlaced.gif"
# Three frames with their own colours: the later frames carry local tables.
plasma 40 30 3 f1.png
plasma 40 30 4 f2.png
"$im" -size 40x30 xc:blue f3.png
"$im" -delay 10 f1.png -colors 32 f2.png -colors 200 f3.png -loop 0 "$out/im-animated.gif"
# A first image smaller than the logical screen and placed away from its corner.
"$im" f1.png -colors 16 -page 70x50+9+5 "$out/im-small-frame.gif"
# White behind a transparent colour: decoded as the colour itself.
"$im" -size 20x12 xc:white -fill red -draw "rectangle 4,3 15,8" -transparent white \
  "$out/im-transparent.gif"

# --- GIFs written by giflib --------------------------------------------------------------
# gif2rgb quantises raw RGB with giflib's own encoder (GIF87a, global table).
"$im" rose.png -depth 8 rgb:rose.rgb
gif2rgb -s 147 90 -c 8 < rose.rgb > "$out/giflib-87a.gif"
"$im" odd.png -depth 8 rgb:odd.rgb
gif2rgb -s 61 37 -c 5 < odd.rgb > giflib-odd.gif
# gifbuild rebuilds a dump: move the global table into the image (local only), mark it
# interlaced, or put comment, application and plain-text blocks before the image.
rebuild() { # IN OUT local|interlaced|both|extensions
  gifbuild -d "$1" | python3 -c '
import sys
mode = sys.argv[1]
lines = sys.stdin.read().split("\n")
out, table, i = [], [], 0
while i < len(lines):
    line = lines[i]
    if line == "screen map" and mode in ("local", "both"):
        while lines[i] != "end":
            table.append(lines[i]); i += 1
        table.append("end"); i += 1
        continue
    if line.startswith("image #") and mode == "extensions":
        out += ["comment", "a comment before the image", "end", "netscape loop 3",
                "plaintext", "some text", "end"]
    if line.startswith("image bits"):
        if table:
            out.append("image map"); out.extend(table[1:])
        if mode in ("interlaced", "both"):
            out.append("image interlaced")
    out.append(line); i += 1
print("\n".join(out))
' "$3" | gifbuild > "$2"
}
rebuild giflib-odd.gif "$out/giflib-local.gif" local
rebuild giflib-odd.gif "$out/giflib-interlaced.gif" interlaced
rebuild giflib-odd.gif "$out/giflib-local-interlaced.gif" both
rebuild "$out/im-colors2.gif" "$out/giflib-extensions.gif" extensions

# --- BMP, JPEG and PCX written by ImageMagick, with ImageMagick's own reading as PPM --------
plasma 13 7 5 small.png
"$im" small.png -monochrome BMP3:"$out/bmp1.bmp"
"$im" small.png -colors 16 BMP3:"$out/bmp4.bmp"
"$im" small.png -colors 200 -type palette -compress None BMP3:"$out/bmp8.bmp"
"$im" small.png -type truecolor BMP3:"$out/bmp24.bmp"
"$im" small.png -type truecolor BMP:"$out/bmp24-v5.bmp"
"$im" small.png -colors 200 -type palette -compress RLE BMP3:"$out/bmp8-rle.bmp"
"$im" small.png -define bmp:subtype=RGB555 BMP:"$out/bmp16.bmp"
plasma 33 21 6 photo.png
"$im" photo.png -quality 90 "$out/color.jpg"
"$im" photo.png -colorspace gray -quality 90 "$out/grey.jpg"
"$im" photo.png -colorspace CMYK -quality 90 "$out/cmyk.jpg"
"$im" photo.png -colors 200 -type palette "$out/pcx8.pcx"
for f in bmp1.bmp bmp4.bmp bmp8.bmp bmp24.bmp bmp24-v5.bmp color.jpg grey.jpg pcx8.pcx; do
  "$im" "$out/$f" -depth 8 "$out/${f%.*}.ppm"
done
echo "fixtures written to $out"
