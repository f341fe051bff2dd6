#!/bin/sh
# Makes the BMP test pictures in bmp/ and, beside each, the reference pixels another program
# reads from it (or from the picture it was made from, when the conversion is lossless):
#   nb_*  written by netpbm's ppmtobmp, reference read back by ImageMagick;
#   im_*  written by ImageMagick, reference read back by netpbm's bmptopnm, or the netpbm
#         picture it was made from where bmptopnm cannot read it (RLE runs over the row end,
#         alpha).
# Needs ImageMagick (convert), netpbm and python3. Run it from anywhere; it rewrites bmp/.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
out="$here/bmp"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
rm -f "$out"/*.bmp "$out"/*.ppm "$out"/*.pam

# A 23x13 source with smooth and sharp changes in every channel, and one with alpha. The odd
# width makes every bit depth pad its rows.
python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
w, h = 23, 13
def rgb(x, y):
    return [(x * 11 + y * 3) % 256, (y * 19 + x * 5) % 256, (x * y * 7 + 40) % 256]
with open(f"{work}/source.ppm", "wb") as f:
    f.write(b"P6\n%d %d\n255\n" % (w, h))
    f.write(bytes(v for y in range(h) for x in range(w) for v in rgb(x, y)))
with open(f"{work}/source.pam", "wb") as f:
    f.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n" % (w, h))
    f.write(bytes(v for y in range(h) for x in range(w) for v in rgb(x, y) + [(x * 23 + y * 29) % 256]))
PY

# Fewer colours for the indexed depths.
pnmquant 2 "$work/source.ppm" > "$work/colors2.ppm" 2>/dev/null
pnmquant 16 "$work/source.ppm" > "$work/colors16.ppm" 2>/dev/null
pnmquant 200 "$work/source.ppm" > "$work/colors200.ppm" 2>/dev/null

source_for_bpp() {
    case $1 in
        1) echo "$work/colors2.ppm" ;;
        4) echo "$work/colors16.ppm" ;;
        8) echo "$work/colors200.ppm" ;;  # 190 colours remain: a short colour table
        *) echo "$work/source.ppm" ;;
    esac
}

read_with_imagemagick() {  # picture.bmp -> picture.ppm
    convert "$1" -depth 8 "ppm:${1%.bmp}.ppm"
}

read_with_netpbm() {  # picture.bmp -> picture.ppm
    bmptopnm "$1" 2>/dev/null | ppmtoppm > "${1%.bmp}.ppm"
}

for bpp in 1 4 8 24; do
    ppmtobmp -windows -bpp "$bpp" "$(source_for_bpp "$bpp")" > "$out/nb_win_${bpp}bpp.bmp" 2>/dev/null
    ppmtobmp -os2 -bpp "$bpp" "$(source_for_bpp "$bpp")" > "$out/nb_os2_${bpp}bpp.bmp" 2>/dev/null
    read_with_imagemagick "$out/nb_win_${bpp}bpp.bmp"
    read_with_imagemagick "$out/nb_os2_${bpp}bpp.bmp"
done

convert "$work/colors2.ppm" -type bilevel BMP3:"$out/im_bmp3_1bpp.bmp"
convert "$work/colors16.ppm" -type palette -compress none BMP3:"$out/im_bmp3_4bpp.bmp"
convert "$work/colors200.ppm" -type palette -compress none BMP3:"$out/im_bmp3_8bpp.bmp"
convert "$work/source.ppm" BMP3:"$out/im_bmp3_24bpp.bmp"
# 32-bit BI_RGB; its fourth byte holds alpha, which readers of this form ignore.
convert "$work/source.pam" -define bmp3:alpha=true BMP3:"$out/im_bmp3_32bpp.bmp"
# OS/2 1.x (12-byte header, 3-byte colour table entries).
convert "$work/colors200.ppm" -type palette BMP2:"$out/im_os2_8bpp.bmp"
convert "$work/source.ppm" BMP2:"$out/im_os2_24bpp.bmp"
# V5 header, 16-bit bit fields with a 4-bit alpha mask; bmptopnm gives the colours only.
convert "$work/source.pam" -define bmp:subtype=ARGB4444 BMP:"$out/im_v5_argb4444.bmp"
for name in im_bmp3_1bpp im_bmp3_4bpp im_bmp3_8bpp im_bmp3_24bpp im_bmp3_32bpp im_os2_8bpp \
    im_os2_24bpp im_v5_argb4444; do
    read_with_netpbm "$out/$name.bmp"
done

# RLE8 whose runs cover each row's padding too, one pixel past the row end.
convert "$work/colors200.ppm" -type palette -compress RLE BMP3:"$out/im_rle8.bmp"
ppmtoppm < "$work/colors200.ppm" > "$out/im_rle8.ppm"
# V5 header, 32-bit bit fields with an 8-bit alpha mask.
convert "$work/source.pam" BMP:"$out/im_v5_argb32.bmp"
pamtopam < "$work/source.pam" > "$out/im_v5_argb32.pam"
