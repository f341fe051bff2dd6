#!/usr/bin/env python3
"""Checks the program's PPM output for every convertible end-to-end fixture against
ImageMagick's decoding of the same file (composited over black, 8 bits a sample), value by
value. Run once whenever the fixtures or the expected outputs are made anew:

    tools/check-e2e-against-reference.py build/release/pic2pnm
"""
import subprocess
import sys
import tempfile
from pathlib import Path

FIXTURES = Path(__file__).resolve().parent.parent / "tests" / "data" / "e2e"
# Lossy formats may differ by a level where two decoders round differently.
TOLERANCE = {".jpg": 2}
# Read by GraphicsMagick, which has libheif and libjxl where ImageMagick may lack them.
GRAPHICSMAGICK_SUFFIXES = {".heic", ".avif", ".jxl"}


def plain_values(text):
    tokens = [t for line in text.splitlines() if not line.startswith("#") for t in line.split()]
    assert tokens[0] == "P3", tokens[0]
    width, height, maxval = int(tokens[1]), int(tokens[2]), int(tokens[3])
    assert maxval == 255
    values = [int(t) for t in tokens[4:]]
    assert len(values) == width * height * 3, (len(values), width, height)
    return width, height, values


# Formats netpbm decodes for the comparison: ImageMagick reads no QOI here, misreads some TGA
# files and rounds 16-bit Netpbm samples its own way.
NETPBM_READERS = {".pbm": "pamtopam", ".pgm": "pamtopam", ".ppm": "pamtopam",
                  ".pam": "pamtopam", ".qoi": "qoitopam", ".tga": "tgatoppm"}


def netpbm_decoding(picture):
    """The picture as netpbm decodes it, in an 8-bit PAM file (with alpha when it has any)."""
    work = Path(tempfile.mkdtemp())
    reader = NETPBM_READERS[picture.suffix]
    run = lambda command: subprocess.run(command, shell=True, check=True, cwd=work)
    if reader == "tgatoppm":
        run(f"tgatoppm --alphaout=alpha.pgm '{picture}' | pamdepth 255 > colour.ppm")
        run("pamdepth 255 alpha.pgm > alpha8.pgm")
        # tgatoppm gives an all-zero alpha plane for a picture without alpha.
        if subprocess.run(["pamsumm", "-max", "-brief", "alpha8.pgm"], cwd=work,
                          capture_output=True, text=True, check=True).stdout.split()[0] == "0":
            run("pamtopam < colour.ppm > out.pam")
        else:
            run("pamstack -tupletype RGB_ALPHA colour.ppm alpha8.pgm > out.pam 2>/dev/null")
    else:
        run(f"{reader} < '{picture}' | pamdepth 255 > out.pam")
    return work / "out.pam"


def reference_values(picture):
    """ImageMagick's samples, composited over black here with exact rounding:
    colour * alpha / 255 to nearest."""
    if picture.suffix in NETPBM_READERS:
        picture = netpbm_decoding(picture)
    tool = ["gm"] if picture.suffix in GRAPHICSMAGICK_SUFFIXES else []
    rgba = subprocess.run(tool + ["convert", str(picture) + "[0]", "-depth", "8", "RGBA:-"],
                          capture_output=True, check=True).stdout
    size = subprocess.run(tool + ["identify", "-format", "%w %h\\n", str(picture) + "[0]"],
                          capture_output=True, text=True, check=True).stdout.split()
    width, height = int(size[0]), int(size[1])
    values = []
    for i in range(0, len(rgba), 4):
        alpha = rgba[i + 3]
        values += [(c * alpha + 127) // 255 for c in rgba[i:i + 3]]
    return width, height, values


def main(binary):
    failures = 0
    for picture in sorted(FIXTURES.glob("*")):
        if picture.is_dir():
            continue
        with tempfile.TemporaryDirectory() as work:
            ours = Path(work) / "ours.ppm"
            run = subprocess.run([binary, "PPM", "/NoComment", str(picture), str(ours)],
                                 capture_output=True, text=True)
            if run.returncode != 0:
                print(f"skip {picture.name}: {run.stdout.strip()}")
                continue
            w1, h1, a = plain_values(ours.read_text())
            w2, h2, b = reference_values(picture)
            tolerance = TOLERANCE.get(picture.suffix, 0)
            worst = max((abs(x - y) for x, y in zip(a, b)), default=0)
            ok = (w1, h1) == (w2, h2) and worst <= tolerance
            print(f"{'ok  ' if ok else 'FAIL'} {picture.name}: {w1}x{h1}, largest difference {worst}")
            failures += not ok
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "build/release/pic2pnm"))
