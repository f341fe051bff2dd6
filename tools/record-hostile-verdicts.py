#!/usr/bin/env python3
"""Records in the manifests of hostile files what the program makes of each file, and why a
refused file was refused.

The manifests are tests/hostile/MANIFEST.tsv and tests/codecs/FORMAT/FORMAT_hostile.tsv. Runs
the program on every file whose verdict is "-" (only a run can tell) or "refused" (the
corpus script knows it must be refused, not how) and writes the verdict it sees: "converts",
"not supported", "load: Error N" or "bitmap: Error N". A verdict already recorded is kept, and
a run that disagrees with it is reported, as is a file that must be refused but converts (that
one is left as "refused": a finding to mend in the decoder, not a verdict to record).

With each verdict it records, it runs the decode reason tool on a refused file and records in
the "reason" column (added after the verdict when missing, and then filled for every file) the
reason the decoders give: a text of the table in src/codecs/common/codec_reasons.h. A file that
converts, or one the decoders read although the program refuses it, gets "-". A reason already
recorded is kept (one reviewed and set to "-" too), and with --all a tool that disagrees with
it is reported.

Review what it recorded before committing it: a file cut short or changed that still converts
is plausible (many formats allow it); one built to be refused that converts is a fault. A
reason that does not fit what was done to the file is a finding too.

Usage: tools/record-hostile-verdicts.py PROGRAM REASON_TOOL [--all]
  PROGRAM      the program built from this tree (e.g. build/release/pic2pnm)
  REASON_TOOL  the decode reason tool built with the tests
               (e.g. build/release/tests/pic2pnm_decode_reason)
  --all        run every file, also those with a recorded verdict, and report the differences
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


def reason(tool, path):
    """The reason the decoders give for refusing one file: "-" when they read it, None when the
    tool does not answer with a status and a reason."""
    try:
        run = subprocess.run([tool, str(path)], capture_output=True, text=True, timeout=30)
    except subprocess.TimeoutExpired:
        return None
    status, tab, text = run.stdout.rstrip("\n").partition("\t")
    if run.returncode != 0 or not tab or "\n" in run.stdout.rstrip("\n"):
        return None
    if status == "Ok":
        return "-" if not text else None
    return text or None


def record_verdict(program, row, column, every):
    """Records the verdict of one row; whether there is something to look at."""
    recorded = row[column]
    if recorded not in ("-", "refused") and not every:
        return False
    seen = verdict(program, HOSTILE / row[0])
    if seen is None:
        print(f"{row[0]}: console lines not among the designed ones", file=sys.stderr)
        return True
    if recorded == "refused" and seen == "converts":
        print(f"{row[0]}: must be refused, but converts", file=sys.stderr)
        return True
    if recorded in ("-", "refused"):
        row[column] = seen
    elif seen != recorded:
        print(f"{row[0]}: recorded {recorded}, the program gives {seen}", file=sys.stderr)
        return True
    return False


def record_reason(tool, row, verdict_at, reason_at, fresh, every):
    """Records the reason of one row whose verdict was just recorded (`fresh`), or checks the
    one recorded (with --all); whether there is something to look at. A reason reviewed and
    left "-" stays so until the row is made anew."""
    recorded = row[reason_at]
    if row[verdict_at] in ("-", "refused") or not (fresh or every):
        return False  # no verdict yet (reported already), or nothing to do
    seen = "-" if row[verdict_at] == "converts" else reason(tool, HOSTILE / row[0])
    if seen is None:
        print(f"{row[0]}: the reason tool gives no status and reason", file=sys.stderr)
        return True
    if fresh:
        row[reason_at] = seen
    elif seen != recorded:
        print(f"{row[0]}: recorded reason {recorded}, the tool gives {seen}", file=sys.stderr)
        return True
    return False


def record(program, tool, manifest, every):
    """Records the verdicts and reasons of one manifest; the number of its files and of those
    to look at."""
    text = manifest.read_text(encoding="utf-8").splitlines()
    notes = [line for line in text if line.startswith("#")]
    lines = [line for line in text if not line.startswith("#")]
    header = lines[0].split("\t")
    column = header.index("verdict")
    rows = [line.split("\t") for line in lines[1:]]
    added = "reason" not in header
    if added:
        header.insert(column + 1, "reason")
        for row in rows:
            row.insert(column + 1, "-")
    reason_at = header.index("reason")
    problems = 0
    for row in rows:
        fresh = added or row[column] in ("-", "refused")
        problems += record_verdict(program, row, column, every)
        problems += record_reason(tool, row, column, reason_at, fresh, every)
    with open(manifest, "w", encoding="utf-8", newline="\n") as out:
        out.write("\n".join(notes + ["\t".join(row) for row in [header] + rows]) + "\n")
    return len(rows), problems


def main(arguments):
    if len(arguments) not in (2, 3) or (len(arguments) == 3 and arguments[2] != "--all"):
        print(__doc__, file=sys.stderr)
        return 2
    program = str(Path(arguments[0]).resolve())
    tool = str(Path(arguments[1]).resolve())
    every = len(arguments) == 3
    problems = files = 0
    for manifest in [HOSTILE / "MANIFEST.tsv"] + sorted(CODEC_TESTS.glob("*/*_hostile.tsv")):
        checked, found = record(program, tool, manifest, every)
        files += checked
        problems += found
    print(f"record-hostile-verdicts: {files} files, {problems} to look at")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
