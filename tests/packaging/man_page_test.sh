#!/usr/bin/env bash
# Checks the manual page: it must format without a single warning, and what it shows must be
# what the program does. The usage block, the worked output example, the synopsis, the comment
# line, the raster line lengths and every transcript under EXAMPLES are compared with the
# program's real output, so the page cannot drift away from the program unnoticed.
#
# Usage: man_page_test.sh MAN_PAGE PROGRAM EXAMPLE_PNG VERSION
# Exits 77 (skipped) when mandoc or groff is not installed.
set -uo pipefail

if [ $# -ne 4 ]; then
    echo "usage: $0 MAN_PAGE PROGRAM EXAMPLE_PNG VERSION" >&2
    exit 2
fi
page=$(realpath "$1")
program=$(realpath "$2")
example_png=$(realpath "$3")
version=$4

for tool in mandoc groff; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIPPED: $tool is not installed"
        exit 77
    fi
done

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# --- Formatting -----------------------------------------------------------------------------

if ! lint=$(mandoc -Tlint "$page" 2>&1) || [ -n "$lint" ]; then
    fail "mandoc -Tlint reports:"$'\n'"$lint"
fi
if ! messages=$(groff -ww -man -Tutf8 "$page" 2>&1 >/dev/null) || [ -n "$messages" ]; then
    fail "groff -ww reports:"$'\n'"$messages"
fi

# Plain text on very long lines without hyphenation, so that a sentence is one line.
rendered="$work/rendered.txt"
groff -man -Tascii -P-cbou -rLL=1000n -rHY=0 "$page" 2>/dev/null |
    sed -e 's/^ *//' -e 's/  */ /g' >"$rendered"

page_shows_line() {  # text: the rendered page has a line that is exactly this text
    grep -qxF -- "$1" "$rendered"
}

if ! grep -q "^\.TH PIC2PNM 1 .*\"pic2pnm $version\"" "$page"; then
    fail "the .TH line does not name pic2pnm $version"
fi

# --- The blocks of program text (.EX to .EE), one file per block, named after the section ----

blocks="$work/blocks"
mkdir "$blocks"
awk -v dir="$blocks" '
    /^\.SH / { section = substr($0, 5); gsub(/"/, "", section); gsub(/ /, "_", section); next }
    /^\.EX/ { count[section]++; file = dir "/" section "." count[section]; inside = 1; next }
    /^\.EE/ { inside = 0; close(file); next }
    inside { gsub(/\\-/, "-"); gsub(/\\e/, "\\"); print > file }
' "$page"

# --- Fixtures ---------------------------------------------------------------------------------

cases="$work/cases"
mkdir -p "$cases" "$work/bin"
ln -s "$program" "$work/bin/pic2pnm"
cp "$example_png" "$cases/photo.png"
# A 2x1 BMP picture, red then white: the picture of the worked example under OUTPUT FORMAT.
{
    printf 'BM\x3e\x00\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00'
    printf '\x28\x00\x00\x00\x02\x00\x00\x00\x01\x00\x00\x00\x01\x00\x18\x00'
    printf '\x00\x00\x00\x00\x08\x00\x00\x00\x13\x0b\x00\x00\x13\x0b\x00\x00'
    printf '\x00\x00\x00\x00\x00\x00\x00\x00'
    printf '\x00\x00\xff\xff\xff\xff\x00\x00'
} >"$cases/scan.bmp"

run_program() {  # args...: runs pic2pnm in the cases folder; sets out and status
    out=$(cd "$cases" && PATH="$work/bin:$PATH" pic2pnm "$@" 2>&1)
    status=$?
}

# --- Usage: the block under DESCRIPTION and the synopsis --------------------------------------

run_program
if [ "$status" -ne 2 ]; then
    fail "without arguments the program exits with $status, the page says 2"
fi
if [ "$out" != "$(cat "$blocks/DESCRIPTION.1" 2>/dev/null)" ]; then
    fail "the usage block under DESCRIPTION differs from the program's output:"$'\n'"$out"
fi
synopsis=$(sed -n '/^SYNOPSIS$/{n;p;q}' "$rendered")
usage=$(printf '%s\n' "$out" | sed -n 's/^Usage: //p' | sed 's/\[\.EXE\]//')
if [ -z "$usage" ] || [ "$synopsis" != "$usage" ]; then
    fail "SYNOPSIS shows '$synopsis', the program's usage line is '$usage'"
fi

# --- Output format: the worked example, the comment line, the raster line lengths -------------

run_program PPM /NoComment scan.bmp worked.ppm
# The page cannot show the final space; it says the last line ends with a space and no LF.
expected=$(cat "$blocks/OUTPUT_FORMAT.1" 2>/dev/null)
if [ "$status" -ne 0 ] || [ "$(cat "$cases/worked.ppm"; echo .)" != "$expected ." ]; then
    fail "the worked example under OUTPUT FORMAT differs from the program's output ($out)"
fi

run_program PPM scan.bmp commented.ppm
comment=$(sed -n 2p "$cases/commented.ppm")
if [ "$status" -ne 0 ] || ! page_shows_line "$comment"; then
    fail "the page does not show the comment line the program writes: '$comment'"
fi

# type, header lines before the raster, values per pixel
while read -r type header_lines values_per_pixel; do
    documented=$(grep -o "[0-9]* pixels ($type)" "$rendered" | head -n 1 | cut -d ' ' -f 1)
    run_program "$type" photo.png "raster.$type"
    values=$(sed -n "$((header_lines + 1))p" "$cases/raster.$type" | wc -w)
    if [ "$status" -ne 0 ] || [ -z "$documented" ] ||
        [ "$values" -ne $((documented * values_per_pixel)) ]; then
        fail "$type: the page says ${documented:-no number of} pixels per raster line," \
            "the program writes $values values"
    fi
done <<'EOF'
PBM 3 1
PGM 4 1
PPM 4 3
EOF

# --- Every transcript under EXAMPLES, replayed in one shell ----------------------------------

shopt -s nullglob
transcripts=("$blocks"/EXAMPLES.*)
if [ ${#transcripts[@]} -eq 0 ]; then
    fail "no example transcripts under EXAMPLES"
fi
for transcript in "${transcripts[@]}"; do
    # Each "$ command" line becomes: print the prompt line, restore the previous status (so
    # that "echo $?" reports the program's), run the command.
    script="$work/replay.sh"
    : >"$script"
    # shellcheck disable=SC2016 # $? and $status belong in the generated script
    while IFS= read -r line; do
        if [[ "$line" == '$ '* ]]; then
            printf 'status=$?; printf "%%s\\n" %q; (exit $status); %s\n' "$line" "${line#\$ }" \
                >>"$script"
        fi
    done <"$transcript"
    replayed=$(cd "$cases" && PATH="$work/bin:$PATH" bash "$script" 2>&1)
    if [ "$replayed" != "$(cat "$transcript")" ]; then
        fail "the transcript $(basename "$transcript") differs; the program shows:"$'\n'"$replayed"
    fi
done

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "The manual page formats cleanly and agrees with the program."
