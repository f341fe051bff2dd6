#!/usr/bin/env bash
# Makes the pictures the benchmarks read, all from one photograph:
#
#   photo.jpg   JPEG, quality 90, 4:2:0 chroma (what cameras and phones write)
#   photo.png   PNG, RGB, 8 bits a channel
#   grey.png    PNG, grey, 8 bits
#   photo.bmp   BMP, 24 bits a pixel
#   photo.tif   TIFF, RGB, 8 bits a channel, LZW
#   photo.gif   GIF, 256 colours (decoder micro-benchmark only)
#   photo.webp  WebP, lossy, quality 90 (decoder micro-benchmark only)
#   photo.ppm   raw PPM (P6), 8 bits a channel
#   photo.pam   PAM, RGB, 8 bits a channel
#   photo.qoi   QOI, RGB (the last two need netpbm)
#   small.png   PNG, RGB, 640 x 480
#   photo.heic  HEIF, HEVC quality 80, 4:2:0 (what phones write)    } with heif-enc, avifenc
#   photo.avif  AVIF, AV1, avifenc's default quality, 4:2:0          } and cjxl installed
#   photo.jxl   JPEG XL, lossy, distance 1 (cjxl's default)          } (left out otherwise)
#
# The photograph is LadyBird.jpg from Debian's mate-backgrounds package (installed here when
# it is missing and we may install packages). It is scaled to cover the size and cut to it,
# and light Gaussian noise with a fixed seed is added: an upscaled picture is smoother than a
# camera's, and smooth pictures compress and decode faster than real ones. Without the
# package the picture is generated: a plasma fractal with a fixed seed, a gradient over it
# and the same noise.
#
# Usage: make-bench-pictures.sh [--size WIDTHxHEIGHT] OUTDIR   (default size 6000x4000)
set -euo pipefail

size=6000x4000
while [[ $# -gt 0 ]]; do
    case "$1" in
        --size) size="$2"; shift 2 ;;
        --size=*) size="${1#--size=}"; shift ;;
        -h|--help) sed -n '2,22p' "$0"; exit 0 ;;
        -*) echo "make-bench-pictures.sh: unknown option $1" >&2; exit 2 ;;
        *) break ;;
    esac
done
if [[ $# -ne 1 || ! "$size" =~ ^[0-9]+x[0-9]+$ ]]; then
    echo "usage: make-bench-pictures.sh [--size WIDTHxHEIGHT] OUTDIR" >&2
    exit 2
fi
outdir="$1"

install_packages() {
    if [[ $(id -u) -eq 0 ]] && command -v apt-get >/dev/null; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@" \
            >/dev/null
    fi
}

# Debian's own ImageMagick binary, so that nothing placed in front of `convert` on the PATH
# takes part.
magick_convert() {
    command -v convert-im6.q16 || command -v convert-im6 || command -v convert || true
}
im=$(magick_convert)
if [[ -z "$im" ]]; then
    install_packages imagemagick
    im=$(magick_convert)
fi
[[ -n "$im" ]] || { echo "make-bench-pictures.sh: ImageMagick is not installed" >&2; exit 1; }

photograph() {
    dpkg -L mate-backgrounds 2>/dev/null | grep '/LadyBird\.jpg$' | head -n 1 || true
}
source_picture=$(photograph)
if [[ -z "$source_picture" ]]; then
    install_packages mate-backgrounds || true
    source_picture=$(photograph)
fi

mkdir -p "$outdir"
master="$outdir/master.ppm"
trap 'rm -f "$master"' EXIT
command -v pamtoqoi >/dev/null || install_packages netpbm  # pamtopam and pamtoqoi

noise=(-seed 11 -attenuate 0.35 +noise Gaussian)
if [[ -n "$source_picture" && -f "$source_picture" ]]; then
    echo "make-bench-pictures.sh: $size from the photograph $(basename "$source_picture")"
    "$im" "$source_picture" -filter Lanczos -resize "${size}^" -gravity center \
        -extent "$size" "${noise[@]}" -depth 8 "$master"
else
    echo "make-bench-pictures.sh: $size generated (no photograph installed)"
    "$im" -size "$size" -seed 7 plasma:fractal \
        \( -size "$size" gradient:'#20408000-#f0c040' \) -compose blend \
        -define compose:args=35 -composite "${noise[@]}" -depth 8 "$master"
fi

"$im" "$master" -quality 90 -sampling-factor 2x2 "$outdir/photo.jpg"
"$im" "$master" -strip -depth 8 -define png:color-type=2 "PNG24:$outdir/photo.png"
"$im" "$master" -strip -colorspace Gray -depth 8 -define png:color-type=0 "$outdir/grey.png"
"$im" "$master" -alpha off -type TrueColor "BMP3:$outdir/photo.bmp"
"$im" "$master" -alpha off -depth 8 -compress LZW "$outdir/photo.tif"
"$im" "$master" -colors 256 "$outdir/photo.gif"
"$im" "$master" -quality 90 "$outdir/photo.webp"
cp "$master" "$outdir/photo.ppm"
# netpbm writes the PAM: ImageMagick's own has comment lines its readers then refuse.
pamtopam <"$master" >"$outdir/photo.pam"
pamtoqoi "$master" >"$outdir/photo.qoi"
"$im" "$master" -resize '640x480^' -gravity center -extent 640x480 -strip -depth 8 \
    -define png:color-type=2 "PNG24:$outdir/small.png"

# Encoded from the PNG: heif-enc, avifenc and cjxl read PNG. AV1 encoding is slow; speed 8 on
# every processor keeps it to a minute.
command -v heif-enc >/dev/null && heif-enc -q 80 "$outdir/photo.png" -o "$outdir/photo.heic" >/dev/null
command -v avifenc >/dev/null && avifenc -s 8 -j all "$outdir/photo.png" "$outdir/photo.avif" >/dev/null
command -v cjxl >/dev/null && cjxl -d 1 "$outdir/photo.png" "$outdir/photo.jxl" >/dev/null 2>&1

# Every file must be what its name says, at the size asked for.
check() {
    local file="$1" expected="$2" found
    found=$("$im" -ping "$outdir/$file" -format '%m %wx%h' info:)
    if [[ "$found" != "$expected" ]]; then
        echo "make-bench-pictures.sh: $file is '$found', expected '$expected'" >&2
        exit 1
    fi
}
check photo.jpg "JPEG $size"
check photo.png "PNG $size"
check grey.png "PNG $size"
check photo.bmp "BMP3 $size"
check photo.tif "TIFF $size"
check photo.gif "GIF $size"
check photo.webp "WEBP $size"
check small.png "PNG 640x480"
# netpbm's pamfile tells these two.
for file in photo.ppm photo.pam; do
    if ! pamfile "$outdir/$file" | grep -q " ${size%x*} by ${size#*x} "; then
        echo "make-bench-pictures.sh: $file is not a $size Netpbm picture" >&2
        exit 1
    fi
done
# ImageMagick may not read these; GraphicsMagick reads them through libheif and libjxl (and
# names a HEIC file HEIF or HEIC, by its version).
for file in 'photo.heic:HEI[CF]' photo.avif:AVIF photo.jxl:JXL; do
    [[ -f "$outdir/${file%%:*}" ]] || continue
    found=$(gm identify -format '%m %wx%h' "$outdir/${file%%:*}" 2>/dev/null | head -n 1 || true)
    # shellcheck disable=SC2053  # the expected name is a pattern
    if [[ "$found" != ${file#*:}" $size" ]]; then
        echo "make-bench-pictures.sh: ${file%%:*} is '$found', expected '${file#*:} $size'" >&2
        exit 1
    fi
done
echo "$size" >"$outdir/size.txt"
