#!/usr/bin/env bash
# What decoding in the sandbox costs: every cell of the benchmark (JPEG, PNG, grey PNG, BMP and
# TIFF to PPM, PGM and PBM at 6000 x 4000, and a 640 x 480 PNG to PPM) converted by the same
# program with the sandbox on and off (PIC2PNM_SANDBOX=0), the two taking turns, and the best
# of the runs of each compared: wall time, user + system CPU time and peak memory.
#
# Usage: bench/sandbox-overhead.sh [--runs N] [--discard] [--program PATH] [--pictures DIR]
#   --runs N        runs of each side of each cell (default 10)
#   --discard       the output goes to /dev/null: the conversion without the disk, whose
#                   syncing and page cache make the times of files swing by several per cent
#   --program PATH  the program to time (default: built in Release into build/bench-release)
#   --pictures DIR  the pictures (default build/bench-pictures/6000x4000, made by
#                   bench/make-bench-pictures.sh when missing)
#
# Wall times are only worth comparing on a quiet machine: the load average is printed before
# and after. Outputs go to a folder under build/ (the program's own disk) and are deleted after
# every run.
set -euo pipefail

runs=10
discard=0
program=""
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
pictures="$root/build/bench-pictures/6000x4000"
while [[ $# -gt 0 ]]; do
    case "$1" in
        --runs) runs="$2"; shift 2 ;;
        --discard) discard=1; shift ;;
        --program) program="$2"; shift 2 ;;
        --pictures) pictures="$2"; shift 2 ;;
        -h|--help) sed -n '2,18p' "$0"; exit 0 ;;
        *) echo "sandbox-overhead.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || { echo "sandbox-overhead.sh: --runs needs a number" >&2; exit 2; }

if [[ -z "$program" ]]; then
    build="$root/build/bench-release"
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPIC2PNM_TESTS=OFF \
        >/dev/null
    cmake --build "$build" --target pic2pnm >/dev/null
    program="$build/pic2pnm"
fi
[[ -f "$pictures/small.png" ]] || "$root/bench/make-bench-pictures.sh" "$pictures" >&2
[[ -x /usr/bin/time ]] || { echo "sandbox-overhead.sh: needs GNU time (/usr/bin/time)" >&2; exit 1; }

work=$(mktemp -d "$root/build/sandbox-overhead.XXXXXX")
trap 'rm -rf "$work"' EXIT
output="$work/out"
[[ $discard -eq 1 ]] && output=/dev/null

# One run: wall seconds, CPU seconds (GNU time's hundredths), peak kilobytes.
run_once() {  # sandbox-setting type input
    local start end
    start=$EPOCHREALTIME
    PIC2PNM_SANDBOX=$1 /usr/bin/time -f "%U %S %M" -o "$work/time" \
        "$program" "$2" "$3" "$output" >/dev/null 2>&1
    end=$EPOCHREALTIME
    rm -f "$work/out"
    read -r user system peak <"$work/time"
    awk -v s="$start" -v e="$end" -v u="$user" -v y="$system" -v p="$peak" \
        'BEGIN { printf "%.6f %.2f %d\n", e - s, u + y, p }'
}

less() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }

cells=()
for input in photo.jpg photo.png grey.png photo.bmp photo.tif; do
    for type in PPM PGM PBM; do cells+=("$input $type"); done
done
cells+=("small.png PPM")

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-16s %-4s %10s %10s %9s %9s %9s %9s %8s %8s\n' cell type "best off" "best on" \
    "wall +" "wall +%" "cpu off" "cpu on" "MB off" "MB on"
for cell in "${cells[@]}"; do
    read -r input type <<<"$cell"
    best=(1e9 1e9) cpu=(1e9 1e9) peak=(0 0)
    for ((i = 0; i < runs; i++)); do
        # Taking turns, the side that goes first changing every run.
        for side in $((i % 2)) $(((i + 1) % 2)); do
            read -r wall seconds kilobytes <<<"$(run_once "$side" "$type" "$pictures/$input")"
            if less "$wall" "${best[$side]}"; then best[$side]=$wall; fi
            if less "$seconds" "${cpu[$side]}"; then cpu[$side]=$seconds; fi
            if ((kilobytes > peak[side])); then peak[$side]=$kilobytes; fi
        done
    done
    # Side 0 is PIC2PNM_SANDBOX=0 (off), side 1 the sandbox on.
    awk -v i="$input" -v t="$type" -v b0="${best[0]}" -v b1="${best[1]}" -v c0="${cpu[0]}" \
        -v c1="${cpu[1]}" -v p0="${peak[0]}" -v p1="${peak[1]}" 'BEGIN {
            printf "%-16s %-4s %9.4fs %9.4fs %7.2fms %8.2f%% %8.2fs %8.2fs %8.1f %8.1f\n",
                i, t, b0, b1, (b1 - b0) * 1000, (b1 - b0) * 100 / b0, c0, c1, p0 / 1024, p1 / 1024
        }'
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
