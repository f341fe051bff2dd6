#!/usr/bin/env python3
"""Records in the manifests of hostile files what the program makes of each file.

The manifests are tests/hostile/MANIFEST.tsv and tests/codecs/FORMAT/FORMAT_hostile.tsv. Runs
the program on every file whose verdict is "-" (only a run can tell) or "refused" (the
corpus script knows it must be refused, not how) and writes the verdict it sees: "converts",
"not supported", "load: Error N" or "bitmap: Error N". A verdict already recorded is kept, and
a run that disagrees with it is reported, as is a file that must be refused but converts (that
one is left as "refused": a finding to mend in the decoder, not a verdict to record).

Review what it recorded before committing it: a file cut short or changed that still converts
is plausible (many formats allow it); one built to be refused that converts is a fault.

Usage: tools/record-hostile-verdicts.py PROGRAM [--all]
  PROGRAM  the program built from this tree (e.g. build/release/pic2pnm)
  --all    run every file, also those with a recorded verdict, and report the differences
"""

import re
import subprocess
import sys
import tempfile
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
HOSTILE = REPO / "tests" / "hostile"
CODEC_TESTS = REPO / "tests" / "codecs"
ERROR_LINE = re.compile(r"Error ([0-9]+|0x[0-9A-F]{8}): .+")
FIRST_LINES = {"Can't load picture: ": "load", "Can't get bitmap data: ": "bitmap"}


def verdict(program, path):
    """The verdict the program's console lines give for one file, or None when they are not
    among the designed ones."""
    with tempfile.TemporaryDirectory() as folder:
        out = Path(folder) / "out.ppm"
        try:
            run = subprocess.run([program, "PPM", str(path), str(out)], capture_output=True,
                                 text=True, timeout=30)
        except subprocess.TimeoutExpired:
            return None
    lines = run.stdout.splitlines()
    if run.returncode == 0 and lines == [f"Picture converted: {out}"]:
        return "converts"
    if run.returncode != 1:
        return None
    if lines == [f"Picture not supported: {path}"]:
        return "not supported"
    for first, word in FIRST_LINES.items():
        if len(lines) == 2 and lines[0] == first + str(path) and ERROR_LINE.fullmatch(lines[1]):
            return f"{word}: {lines[1].split(':')[0]}"
    return None


def record(program, manifest, every):
    """Records the verdicts of one manifest; the number of its files and of those to look at."""
    text = manifest.read_text(encoding="utf-8").splitlines()
    notes = [line for line in text if line.startswith("#")]
    lines = [line for line in text if not line.startswith("#")]
    header = lines[0].split("\t")
    column = header.index("verdict")
    rows = [line.split("\t") for line in lines[1:]]
    problems = 0
    for row in rows:
        recorded = row[column]
        if recorded not in ("-", "refused") and not every:
            continue
        seen = verdict(program, HOSTILE / row[0])
        if seen is None:
            print(f"{row[0]}: console lines not among the designed ones", file=sys.stderr)
            problems += 1
        elif recorded == "refused" and seen == "converts":
            print(f"{row[0]}: must be refused, but converts", file=sys.stderr)
            problems += 1
        elif recorded in ("-", "refused"):
            row[column] = seen
        elif seen != recorded:
            print(f"{row[0]}: recorded {recorded}, the program gives {seen}", file=sys.stderr)
            problems += 1
    with open(manifest, "w", encoding="utf-8", newline="\n") as out:
        out.write("\n".join(notes + ["\t".join(row) for row in [header] + rows]) + "\n")
    return len(rows), problems


def main(arguments):
    if len(arguments) not in (1, 2) or (len(arguments) == 2 and arguments[1] != "--all"):
        print(__doc__, file=sys.stderr)
        return 2
    program = str(Path(arguments[0]).resolve())
    every = len(arguments) == 2
    problems = files = 0
    for manifest in [HOSTILE / "MANIFEST.tsv"] + sorted(CODEC_TESTS.glob("*/*_hostile.tsv")):
        checked, found = record(program, manifest, every)
        files += checked
        problems += found
    print(f"record-hostile-verdicts: {files} files, {problems} to look at")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
