#!/usr/bin/env bash
# Times pic2pnm against the converters a new user would reach for (netpbm, ImageMagick,
# GraphicsMagick), on one photograph saved as JPEG, PNG, grey PNG, BMP and TIFF and written as
# plain PPM, PGM and PBM, then runs the micro-benchmarks. See bench/README.md for the columns.
#
# Usage: bench/run-bench.sh [--runs N] [--quick] [--no-micro] [--only PATTERN] [--discard]
#   --runs N    runs of every command; the median counts (default 5)
#   --only P    only the cells whose name matches the extended regular expression P
#   --quick     one run each on 2000 x 1500 pictures: a smoke test, not a measurement
#   --no-micro  leave out the micro-benchmarks
#   --discard   every converter writes to /dev/null: the conversion's own work, without the
#               disk (output sizes and magic numbers are then not checked)
#
# Builds into build/bench-release, keeps the pictures in build/bench-pictures/WIDTHxHEIGHT and
# the results in build/bench-results. Installs GNU time, netpbm, ImageMagick and
# GraphicsMagick with apt-get when they are missing and it runs as root; a converter that is
# still missing is left out of the comparison.
set -euo pipefail

runs=5
quick=0
discard=0
micro=1
only=""
while [[ $# -gt 0 ]]; do
    case "$1" in
        --runs) runs="$2"; shift 2 ;;
        --runs=*) runs="${1#--runs=}"; shift ;;
        --quick) quick=1; shift ;;
        --no-micro) micro=0; shift ;;
        --discard) discard=1; shift ;;
        --only) only="$2"; shift 2 ;;
        -h|--help) sed -n '2,18p' "$0"; exit 0 ;;
        *) echo "run-bench.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done
if [[ $quick -eq 1 ]]; then
    runs=1
    size=2000x1500
else
    size=6000x4000
fi
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || { echo "run-bench.sh: --runs needs a positive number" >&2; exit 2; }

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/bench-release"
pictures="$root/build/bench-pictures/$size"
results="$root/build/bench-results"
mkdir -p "$root/build" "$results"

note() { echo "run-bench.sh: $*" >&2; }

# --- Tools -------------------------------------------------------------------------------

install_packages() {
    if [[ $(id -u) -eq 0 ]] && command -v apt-get >/dev/null; then
        note "installing $*"
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@" \
            >/dev/null || note "could not install $*"
    fi
}

# Debian's own ImageMagick binary, so that nothing placed in front of `convert` on the PATH
# takes part in the timing.
magick_convert() {
    command -v convert-im6.q16 || command -v convert-im6 || command -v convert || true
}

gnu_time=/usr/bin/time
[[ -x $gnu_time ]] || install_packages time
[[ -x $gnu_time ]] || { note "GNU time ($gnu_time) is needed"; exit 1; }
command -v jpegtopnm >/dev/null || install_packages netpbm
[[ -n "$(magick_convert)" ]] || install_packages imagemagick
command -v gm >/dev/null || install_packages graphicsmagick
im=$(magick_convert)

# --- Build and pictures ------------------------------------------------------------------

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
        -DPIC2PNM_TESTS=OFF -DPIC2PNM_BENCH=ON >/dev/null
else
    cmake "$build" -DCMAKE_BUILD_TYPE=Release -DPIC2PNM_TESTS=OFF -DPIC2PNM_BENCH=ON >/dev/null
fi
cmake --build "$build" --target pic2pnm pic2pnm_bench pic2pnm_decode_only >/dev/null
ours="$build/pic2pnm"
decode_only="$build/bench/pic2pnm_decode_only"
micro_bench="$build/bench/pic2pnm_bench"

picture_script="$root/bench/make-bench-pictures.sh"
if [[ ! -f "$pictures/size.txt" || "$picture_script" -nt "$pictures/size.txt" ]]; then
    "$picture_script" --size "$size" "$pictures"
fi

# --- Measuring ---------------------------------------------------------------------------

# Outputs go beside the build, on the same disk, and are deleted after every run.
work=$(mktemp -d "$root/build/bench-out.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Runs a command once under GNU time. Sets seconds (wall time from just before to just after,
# microsecond clock), cpu (user and system seconds of the command and all its children),
# kb (peak resident set of the largest process: GNU time reports the largest of the command
# and the children it waited for) and bytes (size of the output file).
# Fails when the command fails or its output does not start with the expected magic number.
# With sync_after 1 the output file's data is synced to the disk inside the timed span.
# Removes an output file of ours, never anything outside the work folder (such as /dev/null).
remove_output() {
    if [[ $1 == "$work"/* ]]; then rm -f "$1"; fi
}

run_once() {
    local output="$1" magic="$2" sync_after="$3"
    shift 3
    local start end status=0
    remove_output "$output"
    start=$EPOCHREALTIME
    "$gnu_time" -f '%M %U %S' -o "$work/time.txt" "$@" >"$work/stdout.txt" 2>"$work/stderr.txt" ||
        status=$?
    # pic2pnm syncs its output before it reports success; a peer's output is synced right after
    # it ends, and that time counts as its own, so that every converter leaves the same
    # durable file and the table compares the same work.
    if [[ $status -eq 0 && $sync_after -eq 1 && -f "$output" ]]; then
        sync "$output" || status=$?
    fi
    end=$EPOCHREALTIME
    seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }')
    local user system
    read -r kb user system < <(tail -n 1 "$work/time.txt")
    cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.2f", u + s }')
    bytes=0
    [[ -f "$output" ]] && bytes=$(stat -c %s "$output")
    local head=""
    [[ -n "$magic" && -f "$output" ]] && head=$(head -c 2 "$output")
    remove_output "$output"
    if [[ $status -ne 0 || (-n "$magic" && "$head" != "$magic") ]]; then
        note "failed ($status, output '${head}'): $*"
        sed -n '1,3p' "$work/stderr.txt" >&2
        return 1
    fi
}

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2];
                                              else printf "%.6f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# The lowest of the numbers on standard input.
least() { sort -g | head -n 1; }

netpbm_decoder() {
    case "$1" in
        *.jpg) echo jpegtopnm ;;
        *.png) echo pngtopnm ;;
        *.bmp) echo bmptopnm ;;
        *.tif) echo tifftopnm ;;
        *.ppm) echo cat ;;  # the stage below reads it as it is
        *.pam) echo pamtopnm ;;
        *.qoi) echo qoitopam ;;
    esac
}

# Sets `command` to a converter's command line for an input, an output and the output type
# (PPM, PGM or PBM).
command_for() {
    local tool="$1" input="$2" output="$3" type="$4" decoder stage named="$3"
    # ImageMagick and GraphicsMagick take the format from the name; /dev/null has none.
    [[ $output == /dev/null ]] && named="${type,,}:/dev/null"
    case "$tool" in
        ours) command=("$ours" "$type" "$input" "$output") ;;
        decode) command=("$decode_only" "$input") ;;
        netpbm)
            # The pipeline a netpbm user writes: decode to PNM, reduce, write plain (-plain).
            decoder=$(netpbm_decoder "$input")
            case "$type" in
                PPM) stage='ppmtoppm -plain' ;;
                PGM) stage='ppmtopgm -plain' ;;
                PBM) stage='ppmtopgm | pgmtopbm -threshold -plain' ;;
            esac
            command=(bash -c "set -o pipefail; $decoder \"\$1\" | $stage >\"\$2\"" netpbm
                     "$input" "$output") ;;
        imagemagick) command=("$im" "$input" -compress none "$named") ;;
        # GraphicsMagick writes plain Netpbm when the quality is 0.
        graphicsmagick) command=("$gm" convert "$input" -compress none -quality 0 "$named") ;;
    esac
}

gm=$(command -v gm || true)
peers=()
command -v jpegtopnm >/dev/null && command -v pgmtopbm >/dev/null && peers+=(netpbm)
[[ -n "$im" ]] && peers+=(imagemagick)
[[ -n "$gm" ]] && peers+=(graphicsmagick)
# "decode" is pic2pnm_decode_only: our loading and pixel extraction without the text.
tools=(ours decode "${peers[@]}")
tool_label() {
    case "$1" in
        ours) echo pic2pnm ;;
        decode) echo "decode alone" ;;
        netpbm) echo netpbm ;;
        imagemagick) echo ImageMagick ;;
        graphicsmagick) echo GraphicsMagick ;;
    esac
}

# The cells: name, input file, output type.
cells=()
for input in "JPEG:photo.jpg" "PNG:photo.png" "grey PNG:grey.png" "BMP:photo.bmp" \
    "TIFF:photo.tif"; do
    for type in PPM PGM PBM; do cells+=("${input%%:*} -> $type|${input#*:}|$type"); done
done
cells+=("PNG 640x480 -> PPM|small.png|PPM")
# Formats our own decoders read straight from the file's bytes (ImageMagick reads no QOI).
cells+=("PPM (P6) -> PPM|photo.ppm|PPM" "PAM -> PPM|photo.pam|PPM" "QOI -> PPM|photo.qoi|PPM")
# Read through libheif and libjxl, when the pictures could be made.
for input in "HEIC:photo.heic" "AVIF:photo.avif" "lossy JPEG XL:photo.jxl"; do
    [[ -f "$pictures/${input#*:}" ]] && cells+=("${input%%:*} -> PPM|${input#*:}|PPM")
done
if [[ -n "$only" ]]; then
    chosen=()
    for cell in "${cells[@]}"; do [[ "${cell%%|*}" =~ $only ]] && chosen+=("$cell"); done
    cells=("${chosen[@]}")
fi

pixels_of() {
    local width height
    # GraphicsMagick for the formats ImageMagick may lack (HEIF, AVIF, JPEG XL).
    read -r width height < <("$im" -ping "$pictures/$1" -format '%w %h\n' info: 2>/dev/null ||
        "$gm" identify -format '%w %h\n' "$pictures/$1" | head -n 1)
    echo $((width * height))
}

stamp=$(date +%Y%m%d-%H%M%S)
raw="$results/e2e-$size-$stamp.tsv"
[[ $discard -eq 1 ]] && raw="$results/e2e-$size-$stamp-discard.tsv"
printf 'cell\ttool\trun\tseconds\tcpu_seconds\tpeak_kb\toutput_bytes\n' >"$raw"

note "load before: $(cut -d ' ' -f 1-3 /proc/loadavg), $(nproc) CPUs; $runs run(s) a command"
note "peers: ${peers[*]:-none}"
[[ $discard -eq 1 ]] && note "every converter writes to /dev/null"

declare -A pixels
for cell in "${cells[@]}"; do
    IFS='|' read -r _ file _ <<<"$cell"
    # QOI is the same picture as photo.ppm, which every tool here can count.
    source=$file
    [[ $file == photo.qoi ]] && source=photo.ppm
    [[ -n "${pixels[$file]:-}" ]] || pixels[$file]=$(pixels_of "$source")
done

# Every cell, the tools taking turns within a run so that a busy moment hits them alike;
# decoding alone takes its turn too, so that it is measured under the same conditions.
declare -A time_of best_of cpu_of kb_of bytes_of
for cell in "${cells[@]}"; do
    IFS='|' read -r name file type <<<"$cell"
    extension=$(tr '[:upper:]' '[:lower:]' <<<"$type")
    output="$work/out.$extension"
    case $type in PBM) magic=P1 ;; PGM) magic=P2 ;; *) magic=P3 ;; esac
    if [[ $discard -eq 1 ]]; then
        output=/dev/null
        magic=""
    fi
    note "$name"
    declare -A samples_t=() samples_c=() samples_k=()
    for ((run = 1; run <= runs; run++)); do
        # A new order for every run (shuffled with a fixed seed, so that runs repeat), so
        # that no tool always follows the same one: on a virtual machine, a converter that
        # has just given back a few hundred megabytes leaves the next one paying for fresh
        # memory.
        order=("${tools[@]}")
        seed=$((run * 7919 + ${#name} * 104729))
        for ((i = ${#order[@]} - 1; i > 0; i--)); do
            seed=$(((seed * 1103515245 + 12345) % 2147483648))
            j=$((seed % (i + 1)))
            swap=${order[$i]}
            order[$i]=${order[$j]}
            order[$j]=$swap
        done
        for tool in "${order[@]}"; do
            command_for "$tool" "$pictures/$file" "$output" "$type"
            expected=$magic
            [[ $tool == decode ]] && expected=""
            sync_after=1
            [[ $tool == ours || $tool == decode ]] && sync_after=0
            if run_once "$output" "$expected" "$sync_after" "${command[@]}" 2>>"$work/notes.txt"; then
                samples_t[$tool]+="$seconds "
                samples_c[$tool]+="$cpu "
                samples_k[$tool]+="$kb "
                bytes_of["$name|$tool"]=$bytes
                printf '%s\t%s\t%d\t%s\t%s\t%s\t%s\n' "$name" "$tool" "$run" "$seconds" "$cpu" \
                    "$kb" "$bytes" >>"$raw"
            fi
        done
    done
    for tool in "${tools[@]}"; do
        [[ -n "${samples_t[$tool]:-}" ]] || continue
        time_of["$name|$tool"]=$(tr ' ' '\n' <<<"${samples_t[$tool]}" | grep . | median)
        best_of["$name|$tool"]=$(tr ' ' '\n' <<<"${samples_t[$tool]}" | grep . | least)
        cpu_of["$name|$tool"]=$(tr ' ' '\n' <<<"${samples_c[$tool]}" | grep . | median)
        kb_of["$name|$tool"]=$(tr ' ' '\n' <<<"${samples_k[$tool]}" | grep . | median)
    done
    unset samples_t samples_c samples_k
done
[[ -s "$work/notes.txt" ]] && cat "$work/notes.txt" >&2

# --- Report ------------------------------------------------------------------------------

bytes_per_pixel() { awk -v k="$1" -v p="$2" 'BEGIN { printf "%.1f", k * 1024 / p }'; }

echo
echo "Every converter, median of $runs run(s): wall seconds, CPU seconds (user + system, all"
echo "processes), peak memory in bytes a pixel, output MB"
printf '%-22s' cell
for tool in "${tools[@]}"; do printf ' | %-34s' "$(tool_label "$tool")"; done
echo
for cell in "${cells[@]}"; do
    IFS='|' read -r name file type <<<"$cell"
    printf '%-22s' "$name"
    for tool in "${tools[@]}"; do
        key="$name|$tool"
        if [[ -n "${time_of[$key]:-}" ]]; then
            megabytes="   -"
            [[ $tool != decode ]] && megabytes=$(awk -v b="${bytes_of[$key]}" 'BEGIN { printf "%4.0f", b / 1e6 }')
            printf ' | %6.2f s %5.2f cpu %5s B/px %4s MB' "${time_of[$key]}" "${cpu_of[$key]}" \
                "$(bytes_per_pixel "${kb_of[$key]}" "${pixels[$file]}")" "$megabytes"
        else
            printf ' | %-34s' failed
        fi
    done
    echo
done

echo
echo "pic2pnm against the fastest peer (ratio below 1: pic2pnm is faster)"
printf '%-22s | %9s | %-15s | %9s | %6s | %9s | %9s | %-15s | %9s | %10s | %10s | %9s | %s\n' \
    cell ours "fastest peer" "peer" ratio "cpu ratio" "best ours" "best peer" "its best" "best ratio" \
    "ns/px text" "ours B/px" "peers B/px"
for cell in "${cells[@]}"; do
    IFS='|' read -r name file type <<<"$cell"
    ours_time="${time_of[$name|ours]:-}"
    best_tool=""
    best_time=""
    best_cpu=""
    least_tool=""
    least_time=""
    peers_memory=""
    for tool in "${peers[@]}"; do
        key="$name|$tool"
        [[ -n "${time_of[$key]:-}" ]] || continue
        peers_memory+="${peers_memory:+, }$(tool_label "$tool") $(bytes_per_pixel "${kb_of[$key]}" "${pixels[$file]}")"
        if [[ -z "$best_time" ]] || awk -v a="${time_of[$key]}" -v b="$best_time" \
            'BEGIN { exit !(a < b) }'; then
            best_time="${time_of[$key]}"
            best_tool=$(tool_label "$tool")
        fi
        if [[ -z "$least_time" ]] || awk -v a="${best_of[$key]}" -v b="$least_time" \
            'BEGIN { exit !(a < b) }'; then
            least_time="${best_of[$key]}"
            least_tool=$(tool_label "$tool")
        fi
        if [[ -z "$best_cpu" ]] || awk -v a="${cpu_of[$key]}" -v b="$best_cpu" \
            'BEGIN { exit !(a < b) }'; then
            best_cpu="${cpu_of[$key]}"
        fi
    done
    decode_time="${time_of[$name|decode]:-}"
    if [[ -z "$ours_time" || -z "$decode_time" ]]; then
        printf '%-22s | %9s |\n' "$name" failed
        continue
    fi
    ratio="-"
    cpu_ratio="-"
    [[ -n "$best_time" ]] && ratio=$(awk -v a="$ours_time" -v b="$best_time" 'BEGIN { printf "%.2f", a / b }')
    [[ -n "$best_cpu" ]] && cpu_ratio=$(awk -v a="${cpu_of[$name|ours]}" -v b="$best_cpu" \
        'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
    beyond=$(awk -v a="$ours_time" -v d="$decode_time" -v p="${pixels[$file]}" \
        'BEGIN { printf "%.1f", (a - d) * 1e9 / p }')
    peer_time="-"
    [[ -n "$best_time" ]] && peer_time=$(printf '%7.3f s' "$best_time")
    ours_best="${best_of[$name|ours]}"
    least_ratio="-"
    least_peer_time="-"
    if [[ -n "$least_time" ]]; then
        least_ratio=$(awk -v a="$ours_best" -v b="$least_time" 'BEGIN { printf "%.2f", a / b }')
        least_peer_time=$(printf '%7.3f s' "$least_time")
    fi
    printf '%-22s | %7.3f s | %-15s | %9s | %6s | %9s | %7.3f s | %-15s | %9s | %10s | %10s | %9s | %s\n' \
        "$name" "$ours_time" "${best_tool:--}" "$peer_time" "$ratio" "$cpu_ratio" "$ours_best" \
        "${least_tool:--}" "$least_peer_time" "$least_ratio" "$beyond" \
        "$(bytes_per_pixel "${kb_of[$name|ours]}" "${pixels[$file]}")" "$peers_memory"
done
note "load after: $(cut -d ' ' -f 1-3 /proc/loadavg)"
note "raw results: $raw"

# --- Micro-benchmarks --------------------------------------------------------------------

if [[ $micro -eq 1 ]]; then
    echo
    min_time=()
    [[ $quick -eq 1 ]] && min_time=(--benchmark_min_time=0.05)
    "$micro_bench" --pictures="$pictures" "${min_time[@]}" \
        --benchmark_out="$results/micro-$size-$stamp.json" --benchmark_out_format=json
fi
