#!/bin/sh
# Makes the Netpbm, QOI and TGA test pictures under pnm/, qoi/ and tga/ beside this script,
# and next to each one the reference pixels another decoder reads from it (P6 .ppm when the
# picture is opaque, P7 .pam RGB_ALPHA with alpha). Needs python3, netpbm (pamtopnm,
# pamdepth, pamstack, pamchannel, pamflip, pnmtoplainpnm, pamtoqoi, qoitopam, ppmtotga,
# tgatoppm), ImageMagick's convert and GraphicsMagick's gm.
#
# TGA references come from tgatoppm (ImageMagick ignores a colour map's first-entry index),
# and from gm for 1-bit alpha, which tgatoppm does not read.
#
# Netpbm and ImageMagick write the common layouts; a few lines of Python write what they do
# not: comments in odd places, 16-bit and 15-bit TGA pixels, colour maps of every entry size
# with a first-entry index, all four origins, an image ID and version-2 footers.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -rf "$here/pnm" "$here/qoi" "$here/tga"
mkdir -p "$here/pnm" "$here/qoi" "$here/tga"
example="$here/../../examples/example.png"

# 23x17 pixels of the example, and the same with a transparency ramp from left to right.
convert "$example" -crop 23x17+95+100 +repage -depth 8 "$work/source.ppm"
convert -size 17x23 gradient:black-white -rotate 90 -depth 8 "$work/ramp.pgm"
convert "$work/source.ppm" "$work/ramp.pgm" -alpha off -compose CopyOpacity -composite \
    -depth 8 -type TrueColorAlpha PAM:"$work/alpha.pam"
ppmtopgm "$work/source.ppm" > "$work/grey.pgm"
pamditherbw "$work/grey.pgm" | pamtopnm > "$work/bw.pbm"

# References: netpbm reads the file, the result goes to 8 bits and RGB.
opaque_ref() {  # reader command, output
    eval "$1" | pamdepth 255 | pamtopnm | ppmtoppm > "$2"
}
alpha_ref() {  # picture ImageMagick reads, output
    convert "$1" -depth 8 -type TrueColorAlpha PAM:"$2"
}

# ---- Netpbm -------------------------------------------------------------------------------
p=$here/pnm
cp "$work/bw.pbm" "$p/raw.pbm"
pnmtoplainpnm "$work/bw.pbm" > "$p/plain.pbm"
cp "$work/grey.pgm" "$p/raw.pgm"
pnmtoplainpnm "$work/grey.pgm" > "$p/plain.pgm"
cp "$work/source.ppm" "$p/raw.ppm"
pnmtoplainpnm "$work/source.ppm" > "$p/plain.ppm"
pamdepth 1000 "$work/source.ppm" > "$p/raw-maxval-1000.ppm"
pamdepth 65535 "$work/source.ppm" | pnmtoplainpnm > "$p/plain-maxval-65535.ppm"
pamdepth 100 "$work/grey.pgm" > "$p/raw-maxval-100.pgm"
pamdepth 7 "$work/grey.pgm" | pnmtoplainpnm > "$p/plain-maxval-7.pgm"
pamdepth 300 "$work/grey.pgm" > "$p/raw-maxval-300.pgm"
# Two pictures in one file: only the first is read.
cat "$work/source.ppm" "$work/grey.pgm" > "$p/two-images.ppm"
for f in raw.pbm plain.pbm raw.pgm plain.pgm raw.ppm plain.ppm raw-maxval-1000.ppm \
        plain-maxval-65535.ppm raw-maxval-100.pgm plain-maxval-7.pgm raw-maxval-300.pgm \
        two-images.ppm; do
    opaque_ref "pamtopnm -assume < '$p/$f'" "$p/$f.ref.ppm"
done
# PAM of every tuple type, and one without a tuple type (read by its depth).
cp "$work/alpha.pam" "$p/rgb-alpha.pam"
pamtopam < "$work/source.ppm" > "$p/rgb.pam"
pamtopam < "$work/grey.pgm" > "$p/grayscale.pam"
pamtopam < "$work/bw.pbm" > "$p/blackandwhite.pam"
convert "$work/alpha.pam" -colorspace Gray -depth 16 -type GrayscaleAlpha PAM:"$p/grayscale-alpha-16.pam"
# A PAM whose header has comments, blank lines and no tuple type; depth 3 means RGB.
python3 - "$work/source.ppm" "$p/no-tupltype.pam" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
raster = data[-23 * 17 * 3:]
header = b"P7\n# made for the tests\nWIDTH 23\n\nHEIGHT 17\n  DEPTH 3\nMAXVAL 255\n# last\nENDHDR\n"
open(sys.argv[2], "wb").write(header + raster)
PY
# A plain PPM with comments between every header field and inside the raster.
python3 - "$p/plain.ppm" "$p/commented.ppm" <<'PY'
import sys
words = open(sys.argv[1], "rb").read().split()
out = b"P3#magic\n# width next\n" + words[1] + b" #w\n" + words[2] + b"\n#maxval\n" + words[3] + b"\n"
for n, w in enumerate(words[4:]):
    out += w + (b" # sample %d\n" % n if n % 50 == 0 else b"\t")
open(sys.argv[2], "wb").write(out)
PY
for f in rgb.pam grayscale.pam blackandwhite.pam no-tupltype.pam commented.ppm; do
    opaque_ref "pamtopnm -assume < '$p/$f'" "$p/$f.ref.ppm"
done
pamdepth 255 "$p/rgb-alpha.pam" > "$p/rgb-alpha.pam.ref.pam"
pamdepth 255 "$p/grayscale-alpha-16.pam" | pamchannel -tupletype RGB_ALPHA 0 0 0 1 \
    > "$p/grayscale-alpha-16.pam.ref.pam"

# ---- QOI ----------------------------------------------------------------------------------
q=$here/qoi
pamtoqoi "$work/source.ppm" > "$q/rgb.qoi"
pamtoqoi "$work/alpha.pam" > "$q/rgba.qoi"
convert "$example" -depth 8 "$work/example.ppm"
pamtoqoi "$work/example.ppm" > "$q/example.qoi"
opaque_ref "qoitopam '$q/rgb.qoi'" "$q/rgb.qoi.ref.ppm"
opaque_ref "qoitopam '$q/example.qoi'" "$q/example.qoi.ref.ppm"
qoitopam "$q/rgba.qoi" | pamtopam > "$q/rgba.qoi.ref.pam"

# ---- TGA ----------------------------------------------------------------------------------
t=$here/tga
ppmtotga -cmap "$work/source.ppm" > "$t/mapped-rle.tga" 2>/dev/null
ppmtotga -cmap -norle "$work/source.ppm" > "$t/mapped.tga" 2>/dev/null
ppmtotga -rgb "$work/source.ppm" > "$t/rgb24-rle.tga" 2>/dev/null
ppmtotga -rgb -norle "$work/source.ppm" > "$t/rgb24.tga" 2>/dev/null
ppmtotga -mono "$work/grey.pgm" > "$t/grey-rle.tga" 2>/dev/null
ppmtotga -mono -norle "$work/grey.pgm" > "$t/grey.tga" 2>/dev/null
for f in mapped-rle mapped rgb24-rle rgb24 grey-rle grey; do
    opaque_ref "tgatoppm '$t/$f.tga'" "$t/$f.tga.ref.ppm"
done
# The layouts the writers above do not make, from the same pixels.
python3 - "$work/alpha.pam" "$t" <<'PY'
import os
import struct
import sys

pam = open(sys.argv[1], "rb").read()
raster = pam[pam.index(b"ENDHDR\n") + 7:]
W, H = 23, 17
rgba = [tuple(raster[4 * i:4 * i + 4]) for i in range(W * H)]  # top-down
out_dir = sys.argv[2]


def header(image_type, map_type, first, count, entry_bits, bits, descriptor, id_length=0):
    return struct.pack("<BBBHHBHHHHBB", id_length, map_type, image_type, first, count,
                       entry_bits, 0, 0, W, H, bits, descriptor)


def rows_in_file_order(origin):
    """Pixels as the file stores them for origin bits 0x10 (right to left), 0x20 (top down)."""
    rows = [rgba[y * W:(y + 1) * W] for y in range(H)]
    if not origin & 0x20:
        rows = rows[::-1]
    if origin & 0x10:
        rows = [r[::-1] for r in rows]
    return [p for r in rows for p in r]


def bgr16(p, alpha_bit):
    r, g, b, a = p
    v = (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3)
    if alpha_bit and a >= 128:
        v |= 0x8000
    return struct.pack("<H", v)


def rle(pixels, size):
    """Run-length packets: runs of equal pixels, raw packets between, both up to 128."""
    out, i = bytearray(), 0
    while i < len(pixels):
        n = 1
        while i + n < len(pixels) and n < 128 and pixels[i + n] == pixels[i]:
            n += 1
        if n > 1:
            out += bytes([0x80 | (n - 1)]) + pixels[i]
            i += n
            continue
        n = 1
        while i + n < len(pixels) and n < 128 and (i + n + 1 >= len(pixels) or pixels[i + n + 1] != pixels[i + n]):
            n += 1
        out += bytes([n - 1]) + b"".join(pixels[i:i + n])
        i += n
    return bytes(out)


def footer(extension_offset):
    return struct.pack("<II", extension_offset, 0) + b"TRUEVISION-XFILE.\0"


def extension(attribute_type):
    area = bytearray(495)
    struct.pack_into("<H", area, 0, 495)
    area[494] = attribute_type
    return bytes(area)


def write(name, data):
    open(os.path.join(out_dir, name), "wb").write(data)


# 32 bits with 8 attribute bits, in each of the four origins; one run-length encoded.
for origin, name in ((0x00, "bottom-left"), (0x10, "bottom-right"), (0x20, "top-left"), (0x30, "top-right")):
    px = [bytes((b, g, r, a)) for r, g, b, a in rows_in_file_order(origin)]
    write("rgba32-%s.tga" % name, header(2, 0, 0, 0, 0, 32, 0x08 | origin) + b"".join(px))
px = [bytes((b, g, r, a)) for r, g, b, a in rows_in_file_order(0x20)]
write("rgba32-rle.tga", header(10, 0, 0, 0, 0, 32, 0x28) + rle(px, 4))
# 32 bits with an image ID and a version-2 footer whose attribute type says premultiplied (4),
# no alpha (0) or useful alpha (3).
for kind, name in ((4, "premultiplied"), (0, "attribute-none"), (3, "attribute-alpha")):
    if kind == 4:
        data = [bytes((b * a // 255, g * a // 255, r * a // 255, a)) for r, g, b, a in rows_in_file_order(0)]
    else:
        data = [bytes((b, g, r, a)) for r, g, b, a in rows_in_file_order(0)]
    image_id = b"made for the tests"
    body = header(2, 0, 0, 0, 0, 32, 0x08, len(image_id)) + image_id + b"".join(data)
    write("rgba32-%s.tga" % name, body + extension(kind) + footer(len(body)))
# 16 bits with one attribute bit (alpha where the ramp is past half), 15 bits without.
px = [bgr16(p, True) for p in rows_in_file_order(0)]
write("argb1555.tga", header(2, 0, 0, 0, 0, 16, 0x01) + b"".join(px))
write("argb1555-rle.tga", header(10, 0, 0, 0, 0, 16, 0x01) + rle(px, 2))
px = [bgr16(p, False) for p in rows_in_file_order(0)]
write("rgb15.tga", header(2, 0, 0, 0, 0, 15, 0x00) + b"".join(px))
# Colour maps of 15, 16, 24 and 32 bits, the first entry standing for index 10; one with a
# 16-bit index and run-length encoding.
colors = sorted(set(rgba))
assert len(colors) <= 245
slot = {c: 10 + n for n, c in enumerate(colors)}
pixels = rows_in_file_order(0)
for bits, name, attr in ((15, "map15", 0), (16, "map16", 1), (24, "map24", 0), (32, "map32", 8)):
    if bits <= 16:
        entries = b"".join(bgr16(c, bits == 16) for c in colors)
    elif bits == 24:
        entries = b"".join(bytes((b, g, r)) for r, g, b, a in colors)
    else:
        entries = b"".join(bytes((b, g, r, a)) for r, g, b, a in colors)
    write("%s.tga" % name, header(1, 1, 10, len(colors), bits, 8, attr) + entries + bytes(slot[c] for c in pixels))
entries = b"".join(bytes((b, g, r)) for r, g, b, a in colors)
write("map24-index16-rle.tga", header(9, 1, 10, len(colors), 24, 16, 0) + entries +
      rle([struct.pack("<H", slot[c]) for c in pixels], 2))
PY
# References from tgatoppm: colour, and for pictures with alpha its alpha plane beside.
for f in "$t"/*.tga; do
    [ -e "$f.ref.ppm" ] && continue
    case $(basename "$f" .tga) in
        # tgatoppm takes no alpha from colour-map entries: only the colours are compared.
        rgb15 | map15 | map16 | map24 | map24-index16-rle | rgba32-attribute-none)
            opaque_ref "tgatoppm '$f'" "$f.ref.ppm" ;;
        # tgatoppm reads no 1-bit alpha; GraphicsMagick does.
        argb1555 | argb1555-rle) gm convert "$f" -depth 8 PAM:"$f.ref.pam" ;;
        # No reader at hand flips right-to-left rows: tgatoppm's rows, mirrored.
        rgba32-bottom-right | rgba32-top-right)
            tgatoppm --alphaout="$work/alpha.pgm" "$f" | pamflip -lr > "$work/colour.ppm"
            pamflip -lr "$work/alpha.pgm" > "$work/alpha8.pgm"
            pamstack -tupletype RGB_ALPHA "$work/colour.ppm" "$work/alpha8.pgm" > "$f.ref.pam" \
                2>/dev/null ;;
        *)
            tgatoppm --alphaout="$work/alpha.pgm" "$f" | pamdepth 255 > "$work/colour.ppm"
            pamdepth 255 "$work/alpha.pgm" > "$work/alpha8.pgm"
            pamstack -tupletype RGB_ALPHA "$work/colour.ppm" "$work/alpha8.pgm" > "$f.ref.pam" \
                2>/dev/null ;;
    esac
done
echo "Netpbm, QOI and TGA fixtures written under $here"
