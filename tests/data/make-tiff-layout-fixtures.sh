#!/bin/sh
# Makes the TIFF pictures under tiff/orientation/ and tiff/alpha/ beside this script, each with
# the pixels it must decode to. The files are written byte by byte below, uncompressed, so that
# every tag and sample is exactly as chosen. Needs python3; ImageMagick's convert, when present,
# is used to check the expected pixels of the layouts it reads correctly.
#
# tiff/orientation/: one 3 x 2 picture stored with every Orientation value (1 to 8), in strips,
# in a tile, in separate planes and with an alpha sample. The tag is not applied: every file
# decodes to rows-as-stored.ppm, the stored rows with the first on top.
#
# tiff/alpha/: grey, RGB and palette pictures with one alpha sample, associated (assoc),
# unassociated (unassoc) or unspecified (untyped), in contiguous or separate planes (contig,
# planar), of 8 or 16 bits a sample. NAME.pam beside NAME.tif holds each pixel's colour over
# black and its alpha, at 8 bits: associated colour is the stored sample; unassociated and
# unspecified colour is multiplied by alpha once; each rounded to the nearest level from the
# samples' full depth. (Of the 16-bit palettes, whose colour maps take 384 KiB, only one is kept.)
#
# Run from anywhere: ./make-tiff-layout-fixtures.sh
set -eu

here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$here/tiff/orientation" "$here/tiff/alpha"

python3 - "$here/tiff" <<'PYTHON'
import os
import struct
import sys
from fractions import Fraction

root = sys.argv[1]


def tiff_file(path, width, height, bits, photometric, planes, samples, extra=None,
              planar=1, colormap=None, orientation=None, tile=None, rows_per_strip=None):
    """planes: one bytes object per strip or tile (all of one plane, then the next)."""
    tags = {256: (4, [width]), 257: (4, [height]), 258: (3, [bits] * samples),
            259: (3, [1]), 262: (3, [photometric]), 277: (3, [samples]), 284: (3, [planar])}
    if orientation is not None:
        tags[274] = (3, [orientation])
    if extra is not None:
        tags[338] = (3, [extra])
    if colormap is not None:
        tags[320] = (3, colormap)
    offsets, at = [], 8
    for block in planes:
        offsets.append(at)
        at += len(block)
    data = b"".join(planes)
    if tile is None:
        tags[278] = (4, [rows_per_strip or height])
        tags[273] = (4, offsets)
        tags[279] = (4, [len(b) for b in planes])
    else:
        tags[322] = (4, [tile[0]])
        tags[323] = (4, [tile[1]])
        tags[324] = (4, offsets)
        tags[325] = (4, [len(b) for b in planes])
    if len(data) % 2:
        data += b"\0"
    directory_at = 8 + len(data)
    values_at = directory_at + 2 + 12 * len(tags) + 4
    directory, values = struct.pack("<H", len(tags)), b""
    for tag in sorted(tags):
        kind, items = tags[tag]
        packed = b"".join(struct.pack("<H" if kind == 3 else "<I", v) for v in items)
        directory += struct.pack("<HHI", tag, kind, len(items))
        if len(packed) <= 4:
            directory += packed.ljust(4, b"\0")
        else:
            directory += struct.pack("<I", values_at + len(values))
            values += packed
    directory += struct.pack("<I", 0)
    with open(path, "wb") as f:
        f.write(b"II*\0" + struct.pack("<I", directory_at) + data + directory + values)


def netpbm(path, width, height, pixels, alpha=None):
    with open(path, "wb") as f:
        if alpha is None:
            f.write(b"P6\n%d %d\n255\n" % (width, height))
            f.write(bytes(v for p in pixels for v in p))
        else:
            f.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n"
                    % (width, height))
            f.write(bytes(v for p, a in zip(pixels, alpha) for v in (*p, a)))


def rounded(fraction):
    return int(fraction + Fraction(1, 2))  # to nearest, halves up


# --- Orientation ---
stored = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0), (0, 255, 255), (255, 0, 255)]
folder = os.path.join(root, "orientation")
netpbm(os.path.join(folder, "rows-as-stored.ppm"), 3, 2, stored)
contiguous = bytes(v for p in stored for v in p)
for orientation in range(1, 9):
    tiff_file(os.path.join(folder, "strip-%d.tif" % orientation), 3, 2, 8, 2, [contiguous], 3,
              orientation=orientation)
tile = bytearray(16 * 16 * 3)
for i, p in enumerate(stored):
    at = ((i // 3) * 16 + i % 3) * 3
    tile[at:at + 3] = bytes(p)
for orientation in (3, 6):
    tiff_file(os.path.join(folder, "tile-%d.tif" % orientation), 3, 2, 8, 2, [bytes(tile)], 3,
              orientation=orientation, tile=(16, 16))
separate = [bytes(p[c] for p in stored) for c in range(3)]
for orientation in (2, 8):
    tiff_file(os.path.join(folder, "planar-%d.tif" % orientation), 3, 2, 8, 2, separate, 3,
              planar=2, orientation=orientation)
with_alpha = bytes(v for p in stored for v in (*p, 255))
for orientation in (4, 5):
    tiff_file(os.path.join(folder, "alpha-%d.tif" % orientation), 3, 2, 8, 2, [with_alpha], 4,
              extra=2, orientation=orientation)

# --- Alpha ---
# A few of them also in 2 x 2 tiles (libtiff reads tiles whose sides are not multiples of 16)
# and in strips of 2 rows, the last tiles and strip cut by the picture's edge: NAME.pam holds
# their pixels too.
block_layouts = ("rgb-unassoc-planar-16", "grey-assoc-contig-8", "palette-untyped-planar-8")


def write_in_blocks(name, samples, bits, photometric, count, extra, planar, colormap):
    form = "<B" if bits == 8 else "<H"
    plane_samples = [None] if planar == 1 else list(range(count))

    def pack(pixels, k):
        return b"".join(struct.pack(form, s) for pixel in pixels
                        for s in (pixel if k is None else [pixel[k]]))

    rows = [samples[y * 4:(y + 1) * 4] for y in range(3)]
    strips = [pack(sum(rows[top:top + 2], []), k) for k in plane_samples for top in (0, 2)]
    tiff_file(os.path.join(folder, "strips-" + name + ".tif"), 4, 3, bits, photometric, strips,
              count, extra=extra, planar=planar, colormap=colormap, rows_per_strip=2)
    padding = [[0] * count]
    tiles = []
    for k in plane_samples:
        for top in (0, 2):
            for left in (0, 2):
                tile = []
                for y in (top, top + 1):
                    for x in (left, left + 1):
                        tile += [samples[y * 4 + x]] if y < 3 else padding
                tiles.append(pack(tile, k))
    tiff_file(os.path.join(folder, "tiles-" + name + ".tif"), 4, 3, bits, photometric, tiles,
              count, extra=extra, planar=planar, colormap=colormap, tile=(2, 2))


# 4 x 3 pixels: straight colours and alphas at 8 bits; 16-bit files move most samples off the
# multiples of 257, so that rounding from the full depth shows.
colours = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255), (200, 100, 50), (10, 220, 130),
           (90, 90, 90), (255, 128, 0), (33, 66, 99), (250, 240, 230), (0, 0, 0), (128, 255, 64)]
alphas = [255, 128, 64, 0, 200, 1, 254, 100, 30, 170, 255, 77]
palette = sorted(set(colours))
folder = os.path.join(root, "alpha")
for kind, photometric, colour_samples in (("grey", 1, 1), ("rgb", 2, 3), ("palette", 3, 1)):
    for association, extra in (("assoc", 1), ("unassoc", 2), ("untyped", 0)):
        for planes, planar in (("contig", 1), ("planar", 2)):
            for bits in (8, 16):
                name = "%s-%s-%s-%d" % (kind, association, planes, bits)
                if kind == "palette" and bits == 16 and name != "palette-unassoc-planar-16":
                    continue
                top = (1 << bits) - 1
                samples, expected, expected_alpha = [], [], []
                for i, (colour, alpha8) in enumerate(zip(colours, alphas)):
                    alpha = alpha8 if bits == 8 else alpha8 * 257 - (i * 37 % 200 if 0 < alpha8 < 255 else 0)
                    if kind == "palette":
                        stored_colour = [palette.index(colour)]
                        straight = [Fraction(c, 255) for c in colour]
                    else:
                        levels = [(sum(w * c for w, c in zip((3, 5, 2), colour)) // 10)] if kind == "grey" else list(colour)
                        if bits == 16:
                            levels = [v * 257 - (i * 53 % 150 if 0 < v < 255 else 0) for v in levels]
                        straight = [Fraction(v, top) for v in levels]
                        if association == "assoc":
                            stored_colour = [rounded(Fraction(v * alpha, top)) for v in levels]
                        else:
                            stored_colour = levels
                    samples.append(stored_colour + [alpha])
                    if association == "assoc":
                        over_black = ([Fraction(v, top) for v in stored_colour] if kind != "palette"
                                      else straight)
                    else:
                        over_black = [c * Fraction(alpha, top) for c in straight]
                    if len(over_black) == 1:
                        over_black *= 3
                    expected.append(tuple(rounded(255 * c) for c in over_black))
                    expected_alpha.append(rounded(Fraction(255 * alpha, top)))
                count = colour_samples + 1
                form = "<B" if bits == 8 else "<H"
                if planar == 1:
                    blocks = [b"".join(struct.pack(form, s) for pixel in samples for s in pixel)]
                else:
                    blocks = [b"".join(struct.pack(form, pixel[k]) for pixel in samples)
                              for k in range(count)]
                colormap = None
                if kind == "palette":
                    entries = 1 << bits
                    colormap = [0] * (3 * entries)
                    for j, colour in enumerate(palette):
                        for c in range(3):
                            colormap[c * entries + j] = colour[c] * 257
                tiff_file(os.path.join(folder, name + ".tif"), 4, 3, bits, photometric, blocks,
                          count, extra=extra, planar=planar, colormap=colormap)
                netpbm(os.path.join(folder, name + ".pam"), 4, 3, expected, expected_alpha)
                if name in block_layouts:
                    write_in_blocks(name, samples, bits, photometric, count, extra, planar,
                                    colormap)
PYTHON

# ImageMagick reads grey and palette pictures in separate planes wrongly (the alpha plane
# becomes a colour), and clamps associated palette colours to their alpha; every other
# layout must agree with it to the level.
if command -v convert >/dev/null; then
    for file in "$here"/tiff/alpha/*.tif; do
        name=$(basename "$file" .tif)
        case $name in strips-* | tiles-*) name=${name#*-} ;; esac
        case $name in grey-*-planar-* | palette-*-planar-* | palette-assoc-*) continue ;; esac
        python3 - "$file" "$here/tiff/alpha/$name.pam" <<'PYTHON'
import subprocess
import sys
tif, pam = sys.argv[1], sys.argv[2]
theirs = subprocess.run(["convert", tif, "-background", "black", "-alpha", "remove",
                         "-depth", "16", "-endian", "MSB", "rgb:-"], capture_output=True, check=True).stdout
theirs = [(theirs[k] * 256 + theirs[k + 1]) for k in range(0, len(theirs), 2)]
theirs = [(v * 510 + 65535) // 131070 for v in theirs]
data = open(pam, "rb").read()
pixels = data[data.index(b"ENDHDR\n") + 7:]
ours = [pixels[k] for k in range(len(pixels)) if k % 4 != 3]
worst = max(abs(a - b) for a, b in zip(ours, theirs))
if len(ours) != len(theirs) or worst > 0:
    sys.exit("%s: expected pixels differ from ImageMagick's by %d" % (tif, worst))
PYTHON
    done
fi
echo "TIFF layout fixtures written to $here/tiff/orientation and $here/tiff/alpha"
