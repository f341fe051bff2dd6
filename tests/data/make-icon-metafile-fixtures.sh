#!/bin/sh
# Makes the icon, cursor and metafile test pictures and the reference pixels beside them.
# Icons written by ImageMagick come from its own icon writer; the others are built byte by
# byte below so that each one exercises one thing (a depth, a colour table size, a missing
# mask, an entry whose directory values are wrong). Reference pixels are ImageMagick's
# reading of the same files. Metafiles are headers plus an end record: nothing plays them.
#
# Run from anywhere: ./make-icon-metafile-fixtures.sh
set -eu

here=$(cd "$(dirname "$0")" && pwd)
icons="$here/icon"
metafiles="$here/metafile"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$icons" "$metafiles"

# --- Icons written by ImageMagick ---

# A colourful disc on a transparent background; 32-bit entries of 24 and 16 pixels.
convert -size 24x24 gradient:'#ff2000-#0030ff' \
    \( -size 24x24 gradient:'#00ff40-#ffff00' -rotate 90 \) -compose multiply -composite \
    -alpha set -channel A -fx 'hypot(i-12,j-12)<10?1:(hypot(i-12,j-12)<11?0.5:0)' +channel \
    "$work/disc24.png"
convert "$work/disc24.png" -define icon:auto-resize=24,16 "$icons/im-two-sizes.ico"
convert "$icons/im-two-sizes.ico[0]" "$icons/im-two-sizes.pam"

# A 256-pixel entry, which the writer stores as PNG, beside a 16-pixel BMP entry. Its
# reference is a 32-pixel window across the disc's edge, to keep the file small.
convert -size 256x256 gradient:'#ff0000-#0000ff' \
    \( -size 256x256 gradient:'#000000-#00ff00' -rotate 90 \) -compose plus -composite \
    -alpha set -channel A -fx 'hypot(i-128,j-128)<100?1:0' +channel "$work/disc256.png"
convert "$work/disc256.png" -define icon:auto-resize=256,16 "$icons/im-png-256.ico"
convert "$icons/im-png-256.ico[0]" -crop 32x32+16+112 +repage -depth 8 \
    "$icons/im-png-256-window.pam"

# Small PNG images for the hand-built icons with PNG entries; the first states a resolution,
# which an icon's picture does not keep.
convert -size 20x20 gradient:'#ffcc00-#3300ff' -alpha set \
    -channel A -fx '(i+j)%5==0?0:1' +channel -depth 8 -units PixelsPerInch -density 150 \
    -define png:exclude-chunk=date,time "$work/png20.png"
convert -size 12x12 gradient:'#00ffcc-#ff0033' -depth 8 -define png:exclude-chunk=date,time \
    "$work/png12.png"

# --- Icons and cursors built byte by byte ---

python3 - "$icons" "$work" <<'PYTHON'
import struct
import sys

out_dir, work = sys.argv[1], sys.argv[2]


def color(x, y):
    return ((x * 37 + y * 11 + 40) % 256, (x * 13 + y * 59 + 90) % 256, (x * x + y * 7 + 10) % 256)


def mask_bit(x, y):
    """1 where the AND mask makes the pixel transparent."""
    return 1 if (x * 3 + y * 5) % 7 == 0 or (x == 0 and y == 0) else 0


def pack_row(values, bpp):
    if bpp == 24:
        data = b''.join(bytes((b, g, r)) for (r, g, b) in values)
    elif bpp == 32:
        data = b''.join(bytes((b, g, r, a)) for (r, g, b, a) in values)
    else:
        bits = 0
        count = 0
        data = bytearray()
        for v in values:
            bits = (bits << bpp) | v
            count += bpp
            if count == 8:
                data.append(bits)
                bits, count = 0, 0
        if count:
            data.append(bits << (8 - count))
        data = bytes(data)
    return data + b'\0' * ((-len(data)) % 4)


def dib(width, height, bpp, pixels, palette=(), mask=None, colors_used=0, with_mask=True,
        core=False):
    """pixels and mask: rows top-down. The header's height counts XOR image and mask."""
    if core:
        header = struct.pack('<IHHHH', 12, width, height * 2, 1, bpp)
        table = b''.join(bytes((b, g, r)) for (r, g, b) in palette)
    else:
        header = struct.pack('<IiiHHIIiiII', 40, width, height * 2, 1, bpp, 0, 0, 0, 0,
                             colors_used, 0)
        table = b''.join(bytes((b, g, r, 0)) for (r, g, b) in palette)
    xor = b''.join(pack_row(row, bpp) for row in reversed(pixels))
    if mask is None:
        mask = [[mask_bit(x, y) for x in range(width)] for y in range(height)]
    and_mask = b''.join(pack_row(row, 1) for row in reversed(mask)) if with_mask else b''
    return header + table + xor + and_mask


def icon_file(kind, entries):
    """entries: (directory width, height, colour count, planes or hot spot x,
    bit count or hot spot y, image bytes)."""
    data = struct.pack('<HHH', 0, kind, len(entries))
    offset = 6 + 16 * len(entries)
    images = b''
    for (w, h, colors, field1, field2, image) in entries:
        data += struct.pack('<BBBBHHII', w % 256, h % 256, colors, 0, field1, field2, len(image),
                            offset)
        offset += len(image)
        images += image
    return data + images


def write(name, data):
    with open(f'{out_dir}/{name}', 'wb') as f:
        f.write(data)


def grid(width, height, value):
    return [[value(x, y) for x in range(width)] for y in range(height)]


def rgb_image(width, height):
    return grid(width, height, color)


def palette16():
    return [((i * 53) % 256, (i * 97 + 30) % 256, (255 - i * 16) % 256) for i in range(16)]


def palette256():
    return [(i, (i * 7) % 256, 255 - i) for i in range(256)]


def icon_entry(width, height, bpp, image):
    colors = 1 << bpp if bpp < 8 else 0
    return (width, height, colors, 1, bpp, image)


# One image per depth, widths that need row padding in both XOR and mask rows.
mono_pixels = grid(20, 12, lambda x, y: 1 if (x * y + x) % 3 == 0 else 0)
write('mono.ico', icon_file(1, [icon_entry(20, 12, 1, dib(20, 12, 1, mono_pixels,
                                                          [(0, 0, 0), (255, 255, 255)]))]))

four_pixels = grid(13, 9, lambda x, y: (x * 5 + y * 3) % 16)
write('four-bit.ico', icon_file(1, [icon_entry(13, 9, 4, dib(13, 9, 4, four_pixels,
                                                                          palette16()))]))

# The same image with a 12-byte header and 3-byte colour table entries. ImageMagick does not
# read such icons; four-bit.ico's reference serves for both.
write('four-bit-core-header.ico',
      icon_file(1, [icon_entry(13, 9, 4, dib(13, 9, 4, four_pixels, palette16(), core=True))]))

# A colour table shorter than the depth allows moves the pixels and the mask up.
short_palette = palette256()[100:120]
eight_pixels = grid(10, 7, lambda x, y: (x * 7 + y * 3) % 20)
write('eight-bit-short-table.ico',
      icon_file(1, [icon_entry(10, 7, 8, dib(10, 7, 8, eight_pixels, short_palette,
                                             colors_used=20))]))

write('rgb24.ico', icon_file(1, [icon_entry(11, 6, 24, dib(11, 6, 24, rgb_image(11, 6)))]))

# A 24-bit image may carry a colour table when its header says how many entries are used;
# the pixels and the mask follow it. Same pixels and mask as rgb24.ico.
write('rgb24-color-table.ico',
      icon_file(1, [icon_entry(11, 6, 24, dib(11, 6, 24, rgb_image(11, 6),
                                              [(1, 2, 3), (4, 5, 6), (7, 8, 9)], colors_used=3))]))

# Partial alpha where the mask says opaque: the alpha channel must win.
def alpha(x, y):
    return 0 if mask_bit(x, y) else (255 if (x + y) % 3 else 128)
argb = grid(9, 8, lambda x, y: color(x, y) + (alpha(x, y),))
write('argb32.ico', icon_file(1, [icon_entry(9, 8, 32, dib(9, 8, 32, argb))]))

# The same pixels and mask as rgb24.ico, in 32 bits with every alpha byte zero.
zero_alpha = grid(11, 6, lambda x, y: color(x, y) + (0,))
write('argb32-zero-alpha.ico', icon_file(1, [icon_entry(11, 6, 32, dib(11, 6, 32, zero_alpha))]))

# The same pixels as rgb24.ico with the mask left off: all opaque.
write('rgb24-no-mask.ico',
      icon_file(1, [icon_entry(11, 6, 24, dib(11, 6, 24, rgb_image(11, 6), with_mask=False))]))

# A cursor with its hot spot at (5, 7).
cursor_pixels = grid(12, 10, lambda x, y: (x * 19 + y * 23) % 256)
write('hotspot.cur', icon_file(2, [(12, 10, 0, 5, 7, dib(12, 10, 8, cursor_pixels, palette256()))]))

# A monochrome cursor: hot spot (3, 2).
write('mono.cur', icon_file(2, [(20, 12, 2, 3, 2, dib(20, 12, 1, mono_pixels,
                                                        [(0, 0, 0), (255, 255, 255)]))]))

# Largest, then deepest: three 24-pixel images (4, 24 and 8 bits) between smaller ones.
select_entries = [
    icon_entry(16, 16, 32, dib(16, 16, 32, grid(16, 16, lambda x, y: color(x, y) + (255,)))),
    icon_entry(24, 24, 4, dib(24, 24, 4, grid(24, 24, lambda x, y: (x + y) % 16), palette16())),
    icon_entry(24, 24, 24, dib(24, 24, 24, rgb_image(24, 24))),
    icon_entry(24, 24, 8, dib(24, 24, 8, grid(24, 24, lambda x, y: (x * y) % 256), palette256())),
    icon_entry(8, 8, 32, dib(8, 8, 32, grid(8, 8, lambda x, y: color(y, x) + (255,)))),
]
write('select-largest-deepest.ico', icon_file(1, select_entries))

# The directory claims 64x64 at 32 bits for an 8x8 image and 8x8 at 4 bits for a 16x16
# 8-bit image: the images' own headers decide, so the second entry is the one shown. The
# same image with a truthful directory gives the reference (ImageMagick trusts directories).
shown = dib(16, 16, 8, grid(16, 16, lambda x, y: (x * 16 + y) % 256), palette256())
lying = [
    (64, 64, 0, 1, 32, dib(8, 8, 32, grid(8, 8, lambda x, y: color(x, y) + (255,)))),
    (8, 8, 16, 1, 4, shown),
]
write('directory-lies.ico', icon_file(1, lying))
write('directory-lies-shown.ico', icon_file(1, [icon_entry(16, 16, 8, shown)]))

# PNG entries: a 20-pixel PNG beside a 16-pixel BMP (the PNG is chosen), and a 12-pixel PNG
# beside a 16-pixel BMP (the BMP is chosen).
with open(f'{work}/png20.png', 'rb') as f:
    png20 = f.read()
with open(f'{work}/png12.png', 'rb') as f:
    png12 = f.read()
bmp16 = dib(16, 16, 24, rgb_image(16, 16))
write('png-chosen.ico', icon_file(1, [icon_entry(16, 16, 24, bmp16), (20, 20, 0, 1, 32, png20)]))
write('png-not-chosen.ico', icon_file(1, [(12, 12, 0, 1, 32, png12), icon_entry(16, 16, 24, bmp16)]))
# A PNG image without alpha: the picture is opaque.
write('png-opaque.ico', icon_file(1, [(12, 12, 0, 1, 24, png12)]))
PYTHON

# Reference pixels: ImageMagick's reading of the image each test expects to be chosen.
reference() {  # file, frame, reference name
    convert "$icons/$1[$2]" -depth 8 "$icons/$3.pam"
}
reference mono.ico 0 mono
reference four-bit.ico 0 four-bit
reference eight-bit-short-table.ico 0 eight-bit-short-table
reference rgb24.ico 0 rgb24
reference argb32.ico 0 argb32
reference hotspot.cur 0 hotspot
reference mono.cur 0 mono-cursor
reference select-largest-deepest.ico 2 select-largest-deepest
reference directory-lies-shown.ico 0 directory-lies
reference png-chosen.ico 1 png-chosen
reference png-not-chosen.ico 1 png-not-chosen
reference png-opaque.ico 0 png-opaque

# --- Metafiles ---

python3 - "$metafiles" <<'PYTHON'
import struct
import sys

out_dir = sys.argv[1]


def placeable_wmf(left, top, right, bottom, inch):
    words = struct.pack('<IHhhhhHI', 0x9AC6CDD7, 0, left, top, right, bottom, inch, 0)
    checksum = 0
    for (word,) in struct.iter_unpack('<H', words):
        checksum ^= word
    end_record = struct.pack('<IH', 3, 0)  # size in words, function 0: end of metafile
    size_words = 9 + len(end_record) // 2
    header = struct.pack('<HHHIHIH', 1, 9, 0x300, size_words, 0, 3, 0)
    return words + struct.pack('<H', checksum) + header + end_record


def emf(bounds, frame, header_size):
    end_record = struct.pack('<IIIII', 14, 20, 0, 16, 20)  # end of file, no palette
    total = header_size + len(end_record)
    header = struct.pack('<II4i4iIIIIHHIII2i2i', 1, header_size, *bounds, *frame, 0x464D4520,
                         0x10000, total, 2, 1, 0, 0, 0, 0, 1920, 1080, 508, 286)
    if header_size >= 100:
        header += struct.pack('<III', 0, 0, 0)
    if header_size >= 108:
        header += struct.pack('<2i', 508000, 286000)
    assert len(header) == header_size
    return header + end_record


with open(f'{out_dir}/placeable.wmf', 'wb') as f:
    f.write(placeable_wmf(-100, 50, 1340, 770, 1440))
with open(f'{out_dir}/bounds-frame.emf', 'wb') as f:
    f.write(emf((10, 20, 309, 219), (265, 529, 8202, 5820), 108))
with open(f'{out_dir}/short-header.emf', 'wb') as f:
    f.write(emf((-5, -6, 94, 43), (-132, -159, 2487, 1137), 88))
PYTHON
