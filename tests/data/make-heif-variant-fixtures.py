#!/usr/bin/env python3
"""Makes tests/data/heif-variants/: HEIC and AVIF pictures in the layouts writers differ in,
each with the picture heif-convert (libheif's own tool) writes from it beside it as a P6 .ppm.

- {heic,avif}-{size,transform}-first-rot{0..3}-{mirror-none,mirror-v,mirror-h}-{full,crop}:
  every rotation (irot), mirroring about either axis (imir) and a clean aperture (clap), with
  the transformations listed after the stated size (ispe) or before it, as some writers do.
  Made from one coded picture of each format by editing the item properties.
- avif-alpha-{straight,premultiplied}: one picture with an alpha ramp, the second written with
  avifenc --premultiply. heif-convert keeps premultiplied colour as libheif hands it back, so
  the reference of each is its colour composited over black: colour x alpha / 255 for the
  straight one, the colour as stored for the premultiplied one.

And tests/data/heif-tiles/tile-{16,64,512}.{avif,heic}: plain pictures of those sizes, without
references, whose coded pictures tools/make-resource-corpus.py builds its grids of.

Needs ImageMagick's convert, heif-enc (libheif-examples), avifenc (libavif-bin), heif-convert
and gm (graphicsmagick). Usage: tests/data/make-heif-variant-fixtures.py
"""

import subprocess
import sys
import tempfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent.parent / "tools"))

from heif_boxes import HeifFile, clap, imir, irot  # noqa: E402

EXAMPLE = HERE.parent.parent / "examples" / "example.png"
OUT = HERE / "heif-variants"
TILES = HERE / "heif-tiles"
MIRRORS = {"mirror-none": None, "mirror-v": 0, "mirror-h": 1}


def run(*command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def pixels(picture):
    """(width, height, channels, bytes) of a picture, as GraphicsMagick reads it into a PAM."""
    pam = subprocess.run(["gm", "convert", str(picture), "-depth", "8", "PAM:-"],
                         check=True, capture_output=True).stdout
    header, body = pam.split(b"ENDHDR\n", 1)
    fields = dict(line.split(b" ", 1) for line in header.splitlines()[1:])
    return int(fields[b"WIDTH"]), int(fields[b"HEIGHT"]), int(fields[b"DEPTH"]), body


def write_reference(picture, work, premultiplied=False):
    """heif-convert's picture over black, as a P6 beside `picture`."""
    decoded = work / (picture.stem + ".png")
    run("heif-convert", str(picture), str(decoded))
    width, height, channels, body = pixels(decoded)
    out = bytearray()
    for k in range(0, len(body), channels):
        colour = body[k:k + 3]
        if channels == 4 and not premultiplied:
            alpha = body[k + 3]
            colour = bytes((c * alpha * 2 + 255) // 510 for c in colour)
        out += colour
    picture.with_suffix(".ppm").write_bytes(b"P6\n%d %d\n255\n" % (width, height) + out)


def transformed(base, order, turns, mirror, crop):
    heif = HeifFile.parse(base)
    primary = heif.item(heif.primary)
    width, height = 33, 20
    transforms = []
    if crop:
        transforms.append(clap(21, 14, -2, 1))  # columns 4 to 24, rows 4 to 17
    if turns:
        transforms.append(irot(turns))
    if mirror is not None:
        transforms.append(imir(mirror))
    assert heif.property_of(primary.id, b"ispe")[12:20] == bytes(
        [0, 0, 0, width, 0, 0, 0, height])
    if order == "transform":
        for prop in reversed(transforms):
            heif.associate(primary.id, prop, essential=True, first=True)
    else:
        for prop in transforms:
            heif.associate(primary.id, prop, essential=True)
    return heif.to_bytes()


def main():
    for folder in (OUT, TILES):
        folder.mkdir(exist_ok=True)
        for old in folder.iterdir():
            old.unlink()
    with tempfile.TemporaryDirectory() as folder:
        work = Path(folder)
        run("convert", str(EXAMPLE), "-crop", "33x20+95+100", "+repage", "-depth", "8",
            str(work / "rgb.png"))
        run("convert", "-size", "20x33", "gradient:black-white", "-rotate", "90",
            str(work / "ramp.pgm"))
        run("convert", str(work / "rgb.png"), str(work / "ramp.pgm"), "-alpha", "off",
            "-compose", "CopyOpacity", "-composite", "-depth", "8", "PNG32:" + str(work / "a.png"))
        run("heif-enc", "-q", "60", str(work / "rgb.png"), "-o", str(work / "base.heic"))
        run("avifenc", "-s", "8", "-l", str(work / "rgb.png"), str(work / "base.avif"))
        for suffix in ("heic", "avif"):
            base = (work / f"base.{suffix}").read_bytes()
            for order in ("size", "transform"):
                for turns in range(4):
                    for mirror_name, mirror in MIRRORS.items():
                        for crop in (False, True):
                            name = (f"{suffix}-{order}-first-rot{turns}-{mirror_name}-"
                                    f"{'crop' if crop else 'full'}.{suffix}")
                            picture = OUT / name
                            picture.write_bytes(transformed(base, order, turns, mirror, crop))
                            write_reference(picture, work)
        for kind, extra in (("straight", []), ("premultiplied", ["--premultiply"])):
            picture = OUT / f"avif-alpha-{kind}.avif"
            run("avifenc", "-s", "8", "-l", *extra, str(work / "a.png"), str(picture))
            write_reference(picture, work, premultiplied=kind == "premultiplied")
        for side in (16, 64, 512):
            source = work / f"tile-{side}.png"
            run("convert", str(EXAMPLE), "-resize", f"{side}x{side}!", "-depth", "8", str(source))
            for suffix in ("avif", "heic"):
                picture = TILES / f"tile-{side}.{suffix}"
                if suffix == "avif":
                    run("avifenc", "-s", "8", "--min", "30", "--max", "40", str(source),
                        str(picture))
                else:
                    run("heif-enc", "-q", "50", str(source), "-o", str(picture))
    print(f"HEIF and AVIF variants written under {OUT}")


if __name__ == "__main__":
    main()
