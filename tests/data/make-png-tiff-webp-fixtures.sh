#!/bin/sh
# Makes the PNG, TIFF and WebP test pictures under png/, tiff/ and webp/ beside this script,
# and next to each one the reference pixels another decoder reads from it (P6 .ppm when the
# picture is opaque, P7 .pam with alpha). Needs python3, ImageMagick's convert, cwebp, dwebp,
# img2webp and webpmux (package webp), tiffcp (package libtiff-tools), netpbm's pamdepth.
#
# The PNG files are written byte by byte below, so that every colour type, bit depth, filter,
# tRNS form and Adam7 case is present exactly as chosen; ImageMagick adds two of its own.
# The references come from ImageMagick (libpng, libtiff) and netpbm, or from dwebp.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$here/png" "$here/tiff" "$here/webp"

python3 - "$here/png" "$work" <<'PYTHON'
import os
import struct
import sys
import zlib

png_dir, work = sys.argv[1], sys.argv[2]
W, H = 23, 13
CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}
ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def pack(samples, depth):
    if depth == 16:
        return b"".join(struct.pack(">H", s) for s in samples)
    if depth == 8:
        return bytes(samples)
    out, bits, used = bytearray(), 0, 0
    for s in samples:
        bits = (bits << depth) | s
        used += depth
        if used == 8:
            out.append(bits)
            bits, used = 0, 0
    if used:
        out.append(bits << (8 - used))
    return bytes(out)


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else b if pb <= pc else c


def filtered(rows, step, first):
    """Each row behind a filter byte; the filter type cycles so that all five are used."""
    out, prior = bytearray(), bytes(len(rows[0]))
    for n, row in enumerate(rows):
        kind = (first + n) % 5
        out.append(kind)
        for i, value in enumerate(row):
            a = row[i - step] if i >= step else 0
            b = prior[i]
            c = prior[i - step] if i >= step else 0
            guess = [0, a, b, (a + b) // 2, paeth(a, b, c)][kind]
            out.append((value - guess) & 255)
        prior = row
    return bytes(out)


def write_png(name, kind, depth, pixel, width=W, height=H, interlaced=False, palette=None,
              trns=None, extra=b""):
    step = max(1, CHANNELS[kind] * depth // 8)
    raw = b""
    for n, (x0, y0, dx, dy) in enumerate(ADAM7 if interlaced else [(0, 0, 1, 1)]):
        xs, ys = range(x0, width, dx), range(y0, height, dy)
        if len(xs) and len(ys):
            rows = [pack([s for x in xs for s in pixel(x, y)], depth) for y in ys]
            raw += filtered(rows, step, n + len(name))
    packed = zlib.compress(raw, 9)
    data = b"\x89PNG\r\n\x1a\n"
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, kind, 0, 0, int(interlaced)))
    data += extra
    if palette:
        data += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    if trns is not None:
        data += chunk(b"tRNS", trns)
    for at in range(0, len(packed), 300):  # several IDAT chunks
        data += chunk(b"IDAT", packed[at:at + 300])
    data += chunk(b"IEND", b"")
    with open(os.path.join(png_dir, name), "wb") as f:
        f.write(data)


def level16(x, y, c):
    # Spread over the whole range and over all low bytes, so 16-to-8 rounding is exercised.
    return (x * 2791 + y * 4099 + c * 12345 + x * y * 97) % 65536


def level8(x, y, c):
    return (x * 37 + y * 71 + c * 97 + x * y * 13) % 256


ALPHA8 = [0, 255, 128, 37, 200, 255]
ALPHA16 = [0, 65535, 32768, 12345, 65407, 40000]


def alpha8(x, y):
    return ALPHA8[(x + 2 * y) % 6]


def alpha16(x, y):
    return ALPHA16[(x + 2 * y) % 6]


def grey_level(depth):
    if depth == 16:
        return lambda x, y: (level16(x, y, 0),)
    return lambda x, y: ((x * 5 + y * 3 + x * y) % (1 << depth),)


def palette_of(depth):
    return [((i * 53 + 20) % 256, (i * 97 + 5) % 256, (i * 31 + 7) % 256) for i in range(1 << depth)]


def index_of(depth):
    return lambda x, y: ((x * 3 + y * 5 + x * y) % (1 << depth),)


def phys(ppu_x, ppu_y, unit):
    return chunk(b"pHYs", struct.pack(">IIB", ppu_x, ppu_y, unit))


FEW = [(200, 30, 40), (10, 220, 90), (250, 250, 5), (0, 0, 0), (70, 80, 255)]
FEW16 = [(51400, 7710, 10280), (2570, 56540, 23130), (64250, 64250, 1285), (0, 0, 0), (17990, 20560, 65535)]

rgb8 = lambda x, y: tuple(level8(x, y, c) for c in range(3))
rgb16 = lambda x, y: tuple(level16(x, y, c) for c in range(3))
rgba8 = lambda x, y: rgb8(x, y) + (alpha8(x, y),)
rgba16 = lambda x, y: rgb16(x, y) + (alpha16(x, y),)
ga8 = lambda x, y: (level8(x, y, 1), alpha8(x, y))
ga16 = lambda x, y: (level16(x, y, 1), alpha16(x, y))

# Opaque, every colour type and depth.
write_png("rgb8.png", 2, 8, rgb8, extra=phys(3780, 3780, 1))
write_png("rgb16.png", 2, 16, rgb16, extra=chunk(b"gAMA", struct.pack(">I", 45455)))
for depth in (1, 2, 4, 8, 16):
    write_png("grey%d.png" % depth, 0, depth, grey_level(depth),
              extra=phys(2835, 2835, 0) if depth == 8 else b"")
for depth in (1, 2, 4, 8):
    write_png("palette%d.png" % depth, 3, depth, index_of(depth), palette=palette_of(depth))

# Alpha channels.
write_png("rgba8.png", 6, 8, rgba8, extra=phys(2835, 5669, 1))
write_png("rgba16.png", 6, 16, rgba16)
write_png("greyalpha8.png", 4, 8, ga8)
write_png("greyalpha16.png", 4, 16, ga16)

# tRNS: a palette's alpha (shorter than the palette), a grey level, an RGB colour.
write_png("palette8-trns.png", 3, 8, index_of(8), palette=palette_of(8),
          trns=bytes([0, 64, 128, 255, 10, 250, 99]))
write_png("palette2-trns.png", 3, 2, index_of(2), palette=palette_of(2), trns=bytes([90, 0]))
write_png("grey8-trns.png", 0, 8, grey_level(8), trns=struct.pack(">H", 15))
write_png("grey2-trns.png", 0, 2, grey_level(2), trns=struct.pack(">H", 2))
write_png("grey16-trns.png", 0, 16, grey_level(16), trns=struct.pack(">H", level16(1, 1, 0)))
write_png("rgb8-trns.png", 2, 8, lambda x, y: FEW[(x + y) % 5], trns=struct.pack(">HHH", *FEW[1]))
write_png("rgb16-trns.png", 2, 16, lambda x, y: FEW16[(x + y) % 5],
          trns=struct.pack(">HHH", *FEW16[2]))

# Adam7, including pictures too small for some passes.
write_png("rgb8-interlaced.png", 2, 8, rgb8, interlaced=True)
write_png("rgb16-interlaced.png", 2, 16, rgb16, interlaced=True)
write_png("rgba16-interlaced.png", 6, 16, rgba16, interlaced=True)
write_png("grey16-interlaced.png", 0, 16, grey_level(16), interlaced=True)
write_png("greyalpha8-interlaced.png", 4, 8, ga8, interlaced=True)
write_png("grey1-interlaced.png", 0, 1, grey_level(1), interlaced=True)
write_png("palette2-interlaced.png", 3, 2, index_of(2), palette=palette_of(2), interlaced=True)
write_png("rgba16-interlaced-1x1.png", 6, 16, rgba16, width=1, height=1, interlaced=True)
write_png("grey4-interlaced-3x2.png", 0, 4, grey_level(4), width=3, height=2, interlaced=True)
write_png("rgb16-interlaced-9x5.png", 2, 16, rgb16, width=9, height=5, interlaced=True)

# Sources for the other formats: a 16-bit RGBA picture and a second, different RGB one.
with open(os.path.join(work, "rgba16.pam"), "wb") as f:
    f.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 65535\nTUPLTYPE RGB_ALPHA\nENDHDR\n" % (W, H))
    f.write(b"".join(struct.pack(">HHHH", *rgba16(x, y)) for y in range(H) for x in range(W)))
with open(os.path.join(work, "other.ppm"), "wb") as f:
    f.write(b"P6\n%d %d\n255\n" % (W, H))
    f.write(bytes(v for y in range(H) for x in range(W) for v in FEW[(x * y + x) % 5]))
PYTHON

# ImageMagick's own PNG writer: 16-bit RGBA Adam7, and a quantised palette with transparency.
convert "$work/rgba16.pam" -strip -depth 16 -interlace PNG "PNG64:$here/png/im-rgba16-interlaced.png"
convert "$work/rgba16.pam" -strip -depth 8 -colors 40 "PNG8:$here/png/im-palette-trns.png"

# Writes the reference beside a picture: $1 picture, $2 ppm or pam. ImageMagick reads the
# picture at 16 bits per sample and netpbm's pamdepth takes that to 8 bits, to the nearest
# level (ImageMagick's own 8-bit output drops the low byte instead).
reference() {
    base=${1%.*}
    if [ "$2" = pam ]; then
        convert "$1" -depth 16 -type TrueColorAlpha pam:- | pamdepth 255 >"$base.pam"
    else
        convert "$1" -depth 16 -alpha off ppm:- | pamdepth 255 >"$base.ppm"
    fi
}

# PNG colour type 4 or 6, or a tRNS chunk, means alpha.
for file in "$here"/png/*.png; do
    if python3 -c 'import sys; d = open(sys.argv[1], "rb").read(); sys.exit(0 if d[25] in (4, 6) or b"tRNS" in d else 1)' "$file"; then
        reference "$file" pam
    else
        reference "$file" ppm
    fi
done

# TIFF, from an 8-bit RGB picture and the 16-bit RGBA one.
t=$here/tiff
convert "$work/rgba16.pam" -alpha off -depth 8 "$work/rgb8.ppm"
rgb=$work/rgb8.ppm
convert "$rgb" -compress None -density 300 -units PixelsPerInch "$t/rgb8-none.tif"
convert "$rgb" -compress LZW -density 40 -units PixelsPerCentimeter "$t/rgb8-lzw.tif"
convert "$rgb" -compress Zip "$t/rgb8-zip.tif"
convert "$rgb" -compress RLE "$t/rgb8-packbits.tif"
convert "$rgb" -compress JPEG -quality 92 "$t/rgb8-jpeg.tif"
convert "$rgb" -compress LZW -define tiff:endian=msb "$t/rgb8-bigendian.tif"
tiffcp -c jpeg:92 "$t/rgb8-none.tif" "$t/ycbcr-jpeg.tif"
tiffcp -t -w 16 -l 16 -c zip "$t/rgb8-none.tif" "$t/rgb8-tiled.tif"
tiffcp -r 3 -c lzw:2 "$t/rgb8-none.tif" "$t/rgb8-strips.tif"
tiffcp -p separate "$t/rgb8-none.tif" "$t/rgb8-planar.tif"
convert "$rgb" -threshold 50% -type grayscale -depth 1 -define quantum:polarity=min-is-white \
    -compress None "$t/bilevel-miniswhite.tif"
convert "$rgb" -threshold 50% -type bilevel -depth 1 -compress Group4 "$t/bilevel-g4.tif"
convert "$rgb" -colorspace Gray -depth 8 "$t/grey8.tif"
convert "$work/rgba16.pam" -alpha off -colorspace Gray -depth 16 "$t/grey16.tif"
convert "$rgb" -type palette -depth 8 "$t/palette8.tif"
convert "$rgb" -colors 12 -depth 8 -type palette "$t/palette4.tif"  # an 8-bit exact colour map
convert "$work/rgba16.pam" -alpha off -depth 16 "$t/rgb16.tif"
convert "$work/rgba16.pam" -alpha off -depth 16 -define tiff:endian=msb -compress None \
    "$t/rgb16-bigendian.tif"
for file in "$t/rgb8-bigendian.tif" "$t/rgb16-bigendian.tif"; do
    [ "$(head -c 2 "$file")" = MM ] || { echo "not big-endian: $file" >&2; exit 1; }
done
convert "$work/rgba16.pam" -depth 8 "$t/rgba8.tif"
convert "$work/rgba16.pam" -depth 8 -define tiff:alpha=associated "$t/rgba8-associated.tif"
convert "$work/rgba16.pam" -depth 16 -compress Zip "$t/rgba16.tif"
convert "$rgb" -colorspace CMYK "$t/cmyk.tif"
convert "$rgb" "$work/other.ppm" -compress LZW "$t/two-pages.tif"
# Small pictures in the 256-pixel tiles writers use whatever the picture's size: one tile
# around a 100 x 40 picture, and 2 x 1 tiles of JPEG-compressed YCbCr around a 300 x 225 one.
convert "$work/rgba16.pam" -alpha off -depth 16 -resize '100x40!' "$work/small16.tif"
tiffcp -t -w 256 -l 256 -c zip "$work/small16.tif" "$t/rgb16-one-large-tile.tif"
convert "$rgb" -resize '300x225!' -compress None "$work/medium8.tif"
tiffcp -t -w 256 -l 256 -c jpeg:92 "$work/medium8.tif" "$t/ycbcr-jpeg-large-tiles.tif"

for file in "$t"/*.tif; do
    case $file in
        *rgba*) reference "$file" pam ;;
        *two-pages*) convert "$file[0]" -depth 16 ppm:- | pamdepth 255 >"${file%.tif}.ppm" ;;
        *) reference "$file" ppm ;;
    esac
done

# WebP, from the PNG pictures above.
w=$here/webp
cwebp -quiet -q 80 "$here/png/rgb8.png" -o "$w/lossy.webp"
cwebp -quiet -lossless "$here/png/rgb8.png" -o "$w/lossless.webp"
cwebp -quiet -q 80 -alpha_q 100 "$here/png/rgba8.png" -o "$w/lossy-alpha.webp"
cwebp -quiet -lossless -exact "$here/png/rgba8.png" -o "$w/lossless-alpha.webp"
convert "$rgb" -quality 85 "$w/im-lossy.webp"
dwebp -quiet "$w/lossy.webp" -ppm -o "$w/lossy.ppm"
dwebp -quiet "$w/im-lossy.webp" -ppm -o "$w/im-lossy.ppm"
dwebp -quiet "$w/lossy-alpha.webp" -pam -o "$w/lossy-alpha.pam"
reference "$w/lossless.webp" ppm
reference "$w/lossless-alpha.webp" pam

# Animations: two full frames; and a small first frame placed at (4, 2) on a larger canvas.
convert "$work/other.ppm" "$work/other.png"
img2webp -lossless "$here/png/rgb8.png" -d 100 "$work/other.png" -o "$w/animated.webp" >/dev/null 2>&1
convert "$here/png/rgb8.ppm" "$w/animated.ppm"
convert "$work/other.png" -crop 12x7+0+0 +repage "$work/small.png"
cwebp -quiet -lossless "$work/small.png" -o "$work/small.webp"
cwebp -quiet -lossless "$here/png/rgb8.png" -o "$work/full.webp"
webpmux -frame "$work/small.webp" +100+4+2 -frame "$work/full.webp" +100 -o "$w/animated-offset.webp" >/dev/null 2>&1
convert -size 23x13 xc:none "$work/small.png" -geometry +4+2 -composite -depth 8 \
    -type TrueColorAlpha "pam:$w/animated-offset.pam"
