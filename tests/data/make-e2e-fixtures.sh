#!/usr/bin/env bash
# Makes the small pictures the end-to-end tests convert, one or more per input format, from a
# crop of the example picture. Needs ImageMagick, netpbm and cwebp (Debian: imagemagick,
# netpbm, webp). Run from anywhere; writes into tests/data/e2e/.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
out="$here/e2e"
example="$here/../../examples/example.png"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# 23x17 pixels around the sun's edge, the hills and the stripes: many colours, odd sizes.
convert "$example" -crop 23x17+95+100 +repage -depth 8 "$work/source.ppm"
# The same with a transparency ramp from left (clear) to right (opaque).
convert -size 17x23 gradient:black-white -rotate 90 "$work/ramp.pgm"
convert "$work/source.ppm" "$work/ramp.pgm" -alpha off -compose CopyOpacity -composite \
    -depth 8 "$work/alpha.png"

convert "$work/source.ppm" BMP3:"$out/photo.bmp"
convert "$work/source.ppm" -quality 92 "$out/photo.jpg"
convert "$work/source.ppm" "$out/photo.gif"
convert "$work/source.ppm" "$out/photo.png"
convert "$work/source.ppm" PNG24:"$out/photo24.png"
convert "$work/source.ppm" -depth 16 PNG48:"$out/photo16.png"
cp "$work/alpha.png" "$out/alpha.png"
convert "$work/source.ppm" -colorspace Gray "$out/grey.png"
convert "$work/source.ppm" -compress LZW "$out/photo.tif"
cwebp -quiet -lossless "$work/alpha.png" -o "$out/alpha.webp"
# An icon whose only image is PNG: the first decoder refuses it, the second converts it.
python3 - "$work/alpha.png" "$out/png-image.ico" <<'PY'
import struct, sys
png = open(sys.argv[1], "rb").read()
width, height = struct.unpack(">II", png[16:24])
entry = struct.pack("<BBBBHHII", width, height, 0, 0, 1, 32, len(png), 6 + 16)
open(sys.argv[2], "wb").write(struct.pack("<HHH", 0, 1, 1) + entry + png)
PY
# An icon with a BMP image: loads, but is not a bitmap picture.
convert "$work/source.ppm" -resize 16x16! -define icon:format=bmp "$out/bmp-image.ico" 2>/dev/null ||
    convert "$work/source.ppm" -resize 16x16! "$out/bmp-image.ico"
# A placeable metafile header with an empty record list: loads as a metafile.
python3 - "$out/empty.wmf" <<'PY'
import struct, sys
words = [0xCDD7, 0x9AC6, 0, 0, 0, 1000, 500, 1000, 0, 0]
checksum = 0
for w in words:
    checksum ^= w
header = struct.pack("<IHhhhhHI", 0x9AC6CDD7, 0, 0, 0, 1000, 500, 1000, 0) + struct.pack("<H", checksum)
meta = struct.pack("<HHHIHIH", 1, 9, 0x300, 12, 0, 3, 0) + struct.pack("<IH", 3, 0)
open(sys.argv[1], "wb").write(header + meta)
PY
# The same header, but the metafile's size (in words) counts the 22-byte placement header
# too, as some writers get it wrong: the file is 3 words shorter than it says.
python3 - "$out/empty.wmf" "$out/size-counts-placement.wmf" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
struct.pack_into("<I", data, 22 + 6, len(data) // 2)
open(sys.argv[2], "wb").write(data)
PY
# Netpbm, QOI and TGA, read by our own decoders: raw and plain PPM, 16-bit PGM, PAM with
# alpha, QOI with and without alpha, run-length TGA and a 32-bit TGA with alpha.
cp "$work/source.ppm" "$out/photo.ppm"
pnmtoplainpnm "$work/source.ppm" > "$out/photo-plain.ppm"
convert "$work/source.ppm" -colorspace Gray -depth 16 "$out/grey16.pgm"
convert "$work/alpha.png" -depth 8 -type TrueColorAlpha PAM:"$out/alpha.pam"
pamtoqoi "$work/source.ppm" > "$out/photo.qoi"
pamtoqoi "$out/alpha.pam" > "$out/alpha.qoi"
ppmtotga -rgb "$work/source.ppm" > "$out/photo.tga" 2>/dev/null
convert "$work/alpha.png" -compress None "$out/alpha.tga"
# Not a picture at all.
printf 'This is a text file, not a picture.\n' > "$out/text.txt"
# An empty file, and a picture in a format neither decoder reads (PCX).
: > "$out/empty.bin"
convert "$work/source.ppm" -colorspace Gray -crop 4x3+0+0 +repage pcx:"$out/grey-map.pcx"
# A PNG cut short inside its image data.
head -c 120 "$out/photo.png" > "$out/truncated.png"
echo "e2e fixtures written to $out"
