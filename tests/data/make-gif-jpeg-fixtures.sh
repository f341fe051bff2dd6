#!/bin/sh
# Makes the GIF and JPEG test pictures in gif/ and jpeg/ beside this script, each with the
# pixels another decoder reads from it (binary PPM, or PAM where transparency matters).
# Needs ImageMagick, GraphicsMagick, netpbm and python3. The outputs are committed; run this
# again only to change them.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
gif="$here/gif"
jpeg="$here/jpeg"
mkdir -p "$gif" "$jpeg"

# Colourful, noisy sources; plasma is repeatable with a fixed seed.
convert -size 37x29 -seed 7 plasma: -depth 8 "$work/source.ppm"
convert -size 17x11 -seed 3 plasma: -depth 8 "$work/small.ppm"
convert -size 48x40 -seed 11 plasma: -depth 8 "$work/wide.ppm"

# --- GIF ---------------------------------------------------------------------------------
convert "$work/source.ppm" -colors 200 "$gif/plain.gif"
giftopnm "$gif/plain.gif" > "$gif/plain.ppm"

convert "$work/source.ppm" -colors 64 -interlace GIF "$gif/interlaced.gif"
giftopnm "$gif/interlaced.gif" > "$gif/interlaced.ppm"

# A disc of opaque pixels on a transparent field; the reference keeps transparent pixels
# black, as our decoder hands them out.
convert -size 37x29 xc:black -fill white -draw 'circle 18,14 18,3' "$work/disc.pgm"
convert "$work/source.ppm" "$work/disc.pgm" -alpha off -compose CopyOpacity -composite \
    -colors 32 "$gif/transparent.gif"
convert "$gif/transparent.gif" -background black -alpha background "$gif/transparent.pam"

# Three frames that differ everywhere; only the first is to be read.
convert "$work/source.ppm" \( "$work/source.ppm" -negate \) \( "$work/source.ppm" -flip -modulate 100,100,30 \) \
    -colors 128 -set delay 20 -loop 0 "$gif/animated.gif"
giftopnm "$gif/animated.gif" > "$gif/animated.ppm"

# A 17x11 image at (9,6) on a 40x30 screen: the whole screen as reference, and the image alone.
convert "$work/small.ppm" -colors 100 -page 40x30+9+6 "$gif/offset.gif"
convert "$gif/offset.gif" -background none -flatten -background black -alpha background \
    "$gif/offset.pam"
giftopnm "$gif/offset.gif" > "$gif/offset-image.ppm"

# The first image carries its own colour table; the global one is the same colours inverted,
# so a decoder that used it would get every pixel wrong.
convert "$work/source.ppm" -colors 16 "$work/global-table.gif"
python3 - "$work/global-table.gif" "$gif/local-table.gif" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
flags = data[10]
assert flags & 0x80, "the source needs a global colour table"
size = 3 << ((flags & 7) + 1)
table = bytes(data[13:13 + size])
inverted = bytes(255 - b for b in table)
rest = data[13 + size:]
# Skip extensions up to the image descriptor.
at = 0
while rest[at] == 0x21:
    at += 2
    while rest[at]:
        at += rest[at] + 1
    at += 1
assert rest[at] == 0x2C and not rest[at + 9] & 0x80
descriptor = bytearray(rest[at:at + 10])
descriptor[9] |= 0x80 | (flags & 7)
out = data[:13] + inverted + rest[:at] + descriptor + table + rest[at + 10:]
open(sys.argv[2], "wb").write(out)
PY
giftopnm "$gif/local-table.gif" > "$gif/local-table.ppm"

# --- JPEG --------------------------------------------------------------------------------
# Baseline 4:2:0 and 4:4:4, progressive, greyscale; references from netpbm.
convert "$work/wide.ppm" -quality 90 -sampling-factor 2x2 "$jpeg/baseline420.jpg"
convert "$work/wide.ppm" -quality 90 -sampling-factor 1x1 "$jpeg/baseline444.jpg"
# A sampling layout TurboJPEG's header call cannot name, though the decoder reads it.
convert "$work/wide.ppm" -quality 90 -sampling-factor 3x2 "$jpeg/sampling3x2.jpg"
convert "$work/wide.ppm" -quality 85 -interlace Plane "$jpeg/progressive.jpg"
convert "$work/wide.ppm" -colorspace Gray -quality 90 "$jpeg/grey.jpg"
convert "$work/wide.ppm" -colorspace Gray -quality 90 -interlace Plane "$jpeg/grey-progressive.jpg"
for name in baseline420 baseline444 sampling3x2 progressive grey grey-progressive; do
    jpegtopnm "$jpeg/$name.jpg" 2>/dev/null | ppmtoppm > "$jpeg/$name.ppm"
done

# Resolution in the JFIF header: per inch, per centimetre, none (aspect ratio only).
convert "$work/small.ppm" -units PixelsPerInch -density 96 "$jpeg/dpi-inch.jpg"
convert "$work/small.ppm" -units PixelsPerCentimeter -density 40 "$jpeg/dpi-cm.jpg"
convert "$work/small.ppm" -units Undefined -density 1 "$jpeg/dpi-none.jpg"

# Four-component JPEGs, both with an Adobe marker and inverted values: ImageMagick writes
# YCCK, GraphicsMagick plain CMYK. ImageMagick's conversion to RGB is the reference.
convert "$work/wide.ppm" -colorspace CMYK -quality 92 "$jpeg/ycck.jpg"
gm convert "$work/wide.ppm" -colorspace CMYK -quality 92 "$jpeg/cmyk.jpg"
for name in ycck cmyk; do
    convert "$jpeg/$name.jpg" -colorspace sRGB "$jpeg/$name.ppm"
done
