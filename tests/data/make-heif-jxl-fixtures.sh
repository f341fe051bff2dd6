#!/bin/sh
# Makes the HEIF, AVIF and JPEG XL test pictures under heif/, avif/ and jxl/ beside this script,
# the end-to-end pictures e2e/photo.heic, e2e/alpha.avif and e2e/photo.jxl, and next to each
# test picture the reference pixels GraphicsMagick reads from it (P6 .ppm when the picture is
# opaque, P7 .pam with alpha), through the same libheif and libjxl. Needs ImageMagick's
# convert, heif-enc (libheif-examples), avifenc (libavif-bin), cjxl (libjxl-tools) and gm
# (graphicsmagick). The encoders are not bit-exact from one version to the next: rerun the
# tests after remaking the pictures, and widen no tolerance without looking at the pixels.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
example="$here/../../examples/example.png"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$here/heif" "$here/avif" "$here/jxl" "$here/e2e"

# Sources: an odd-sized colour crop (33 x 20: the crop runs past the bottom), the same with an
# alpha ramp, in grey and with 16-bit samples, and a 128 x 128 picture that splits into four AV1 grid tiles.
convert "$example" -crop 33x21+95+100 +repage -depth 8 "$work/rgb.png"
convert -size 21x33 gradient:black-white -rotate 90 "$work/ramp.pgm"
convert "$work/rgb.png" "$work/ramp.pgm" -alpha off -compose CopyOpacity -composite \
    -depth 8 PNG32:"$work/alpha.png"
convert "$work/rgb.png" -colorspace Gray -depth 8 "$work/grey.png"
convert "$example" -crop 33x21+95+100 +repage -depth 16 PNG48:"$work/rgb16.png"
convert "$example" -resize 128x128! -depth 8 "$work/grid.png"
convert "$work/rgb.png" -depth 32 -define quantum:format=floating-point "$work/float.pfm"
convert -delay 10 "$work/rgb.png" \( "$work/rgb.png" -negate \) "$work/animated.gif"

# HEIF (HEVC through x265)
heif-enc -q 60 "$work/rgb.png" -o "$here/heif/lossy.heic" >/dev/null
heif-enc -q 60 "$work/alpha.png" -o "$here/heif/lossy-alpha.heic" >/dev/null
heif-enc -q 60 "$work/grey.png" -o "$here/heif/grey.heic" >/dev/null
heif-enc -q 60 -b 10 "$work/rgb16.png" -o "$here/heif/deep10.heic" >/dev/null
heif-enc -L -p chroma=444 --matrix_coefficients=0 "$work/rgb.png" \
    -o "$here/heif/lossless.heic" >/dev/null

# AVIF (AV1 through libaom)
avifenc -s 8 --min 20 --max 30 "$work/rgb.png" "$here/avif/lossy.avif" >/dev/null
avifenc -s 8 -l "$work/rgb.png" "$here/avif/lossless.avif" >/dev/null
avifenc -s 8 -l "$work/alpha.png" "$here/avif/lossless-alpha.avif" >/dev/null
avifenc -s 8 -y 400 --min 0 --max 0 "$work/grey.png" "$here/avif/grey.avif" >/dev/null
avifenc -s 8 -d 12 --min 10 --max 20 "$work/rgb16.png" "$here/avif/deep12.avif" >/dev/null
avifenc -s 8 -l --grid 2x2 "$work/grid.png" "$here/avif/grid.avif" >/dev/null
avifenc -s 8 -l --irot 1 --imir 1 "$work/rgb.png" "$here/avif/rotated-mirrored.avif" >/dev/null
avifenc -s 8 -l --crop 4,2,20,14 "$work/rgb.png" "$here/avif/cropped.avif" >/dev/null

# JPEG XL
cjxl -d 0 "$work/rgb.png" "$here/jxl/lossless.jxl" >/dev/null 2>&1
cjxl -d 1 "$work/rgb.png" "$here/jxl/lossy.jxl" >/dev/null 2>&1
cjxl -d 0 "$work/alpha.png" "$here/jxl/lossless-alpha.jxl" >/dev/null 2>&1
cjxl -d 0 "$work/grey.png" "$here/jxl/grey.jxl" >/dev/null 2>&1
cjxl -d 0 "$work/rgb16.png" "$here/jxl/deep16.jxl" >/dev/null 2>&1
cjxl -d 0 "$work/float.pfm" "$here/jxl/float.jxl" >/dev/null 2>&1
cjxl -d 0 "$work/animated.gif" "$here/jxl/animated.jxl" >/dev/null 2>&1

# References through GraphicsMagick, as 8-bit samples.
for picture in "$here"/heif/*.heic "$here"/avif/*.avif "$here"/jxl/*.jxl; do
    base="${picture%.*}"
    rm -f "$base.ppm" "$base.pam"
    case "$(basename "$base")" in
        # GraphicsMagick reads no animated JPEG XL; its first frame is the lossless source,
        # opaque, with the alpha channel cjxl gives every GIF.
        animated) gm convert "$work/rgb.png" -matte -depth 8 "PAM:$base.pam" ;;
        *alpha*) gm convert "$picture" -depth 8 "PAM:$base.pam" ;;
        *) gm convert "$picture[0]" -depth 8 "PPM:$base.ppm" ;;
    esac
done

# End-to-end pictures, from the same crop as the others there (23 x 17).
convert "$example" -crop 23x17+95+100 +repage -depth 8 "$work/e2e.png"
convert -size 17x23 gradient:black-white -rotate 90 "$work/e2e-ramp.pgm"
convert "$work/e2e.png" "$work/e2e-ramp.pgm" -alpha off -compose CopyOpacity -composite \
    -depth 8 PNG32:"$work/e2e-alpha.png"
heif-enc -q 80 "$work/e2e.png" -o "$here/e2e/photo.heic" >/dev/null
avifenc -s 8 -l "$work/e2e-alpha.png" "$here/e2e/alpha.avif" >/dev/null
cjxl -d 0 "$work/e2e.png" "$here/e2e/photo.jxl" >/dev/null 2>&1
echo "HEIF, AVIF and JPEG XL fixtures written under $here"
