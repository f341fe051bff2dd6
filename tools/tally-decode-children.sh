#!/usr/bin/env bash
# Runs every file of a corpus through the sandbox and counts how its decode children ended
# (reported, crashed, refused a system call, over their CPU or wall-clock time, no record), with
# the signal or exit status of each end that is not a report, and the files it happened on.
#
# Usage: tools/tally-decode-children.sh [BUILD_DIR] [FILE_OR_FOLDER...]
#   BUILD_DIR  a build with tests on (default build/release), for its pic2pnm_child_faults
#   FILES      default: tests/hostile
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath -m "${1:-$root/build/release}")"
shift || true
program="$build/tests/pic2pnm_child_faults"
if [ ! -x "$program" ]; then
    echo "tally-decode-children: no $program (cmake --build $build --target pic2pnm_child_faults)" >&2
    exit 1
fi
[ $# -gt 0 ] || set -- "$root/tests/hostile"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
files=0
while IFS= read -r file; do
    files=$((files + 1))
    PIC2PNM_CHILD_ENDS=1 "$program" PGM "$file" /dev/null 2>&1 >/dev/null |
        sed -n "s|^decode child: \(.*\)|\1\t$(basename "$file")|p" >>"$work/ends"
done < <(find "$@" -type f ! -name MANIFEST.tsv | sort)

echo "$files files, $(wc -l <"$work/ends") decode children"
cut -f1 "$work/ends" | sed 's/ [-0-9]*$//' | sort | uniq -c | sort -rn
if grep -qv '^reported 0' "$work/ends"; then
    echo "children that did not report:"
    grep -v '^reported 0' "$work/ends" | sort
fi
