#!/usr/bin/env bash
# Times pic2pnm against the converters a new user would reach for (netpbm, ImageMagick,
# GraphicsMagick), on one photograph saved as JPEG, PNG, grey PNG, BMP and TIFF and written as
# plain PPM, PGM and PBM to regular files on the local disk, beside the limit of each cell:
# decoding alone plus writing the same bytes. Then runs the micro-benchmarks. See
# bench/README.md for the columns.
#
# Usage: bench/run-bench.sh [--runs N] [--only PATTERN] [--quick] [--no-micro] [--discard]
#                           [--quiet-load L] [--quiet-wait S] [--cpus LIST] [--baseline BINARY]
#   --runs N          timed runs of every command, after one untimed round (default 5)
#   --only P          only the cells whose name matches the extended regular expression P
#   --quick           one run each on 2000 x 1500 pictures: a smoke test, not a measurement
#   --no-micro        leave out the micro-benchmarks
#   --discard         every converter writes to /dev/null: the work without the disk
#   --quiet-load L    before each cell, wait until the 1-minute load average is below L
#                     (default 0.5) ...
#   --quiet-wait S    ... for at most S seconds (default 60); a cell that started on a busier
#                     machine is marked "busy" with its load
#   --cpus LIST       run every command under taskset -c LIST (0 for one processor)
#   --baseline B      time the pic2pnm binary B as one more converter, "baseline"
#
# Builds into build/bench-release, keeps the pictures in build/bench-pictures/WIDTHxHEIGHT and
# the results in build/bench-results. Installs GNU time, netpbm, ImageMagick, GraphicsMagick
# and libjpeg-turbo's djpeg with apt-get when they are missing and it runs as root; a converter
# that is still missing is left out of the comparison.
set -euo pipefail

runs=5
quick=0
discard=0
micro=1
only=""
quiet_load=0.5
quiet_wait=60
cpus=""
baseline=""
while [[ $# -gt 0 ]]; do
    case "$1" in
        --runs) runs="$2"; shift 2 ;;
        --runs=*) runs="${1#--runs=}"; shift ;;
        --quick) quick=1; shift ;;
        --no-micro) micro=0; shift ;;
        --discard) discard=1; shift ;;
        --only) only="$2"; shift 2 ;;
        --quiet-load) quiet_load="$2"; shift 2 ;;
        --quiet-wait) quiet_wait="$2"; shift 2 ;;
        --cpus) cpus="$2"; shift 2 ;;
        --baseline) baseline="$2"; shift 2 ;;
        -h|--help) sed -n '2,24p' "$0"; exit 0 ;;
        *) echo "run-bench.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done
size=6000x4000
warmup=1
if [[ $quick -eq 1 ]]; then
    runs=1
    size=2000x1500
    warmup=0
    quiet_wait=0
fi
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || { echo "run-bench.sh: --runs needs a positive number" >&2; exit 2; }
[[ "$quiet_wait" =~ ^[0-9]+$ ]] || { echo "run-bench.sh: --quiet-wait needs seconds" >&2; exit 2; }
if [[ -n "$baseline" && ! -x "$baseline" ]]; then
    echo "run-bench.sh: --baseline $baseline is not an executable" >&2
    exit 2
fi

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
    command -v convert-im6.q16 || command -v convert-im6 || true
}

gnu_time=/usr/bin/time
[[ -x $gnu_time ]] || install_packages time
[[ -x $gnu_time ]] || { note "GNU time ($gnu_time) is needed"; exit 1; }
command -v jpegtopnm >/dev/null || install_packages netpbm
[[ -n "$(magick_convert)" ]] || install_packages imagemagick
command -v gm >/dev/null || install_packages graphicsmagick
command -v djpeg >/dev/null || install_packages libjpeg-turbo-progs
[[ -z "$cpus" ]] || command -v taskset >/dev/null || install_packages util-linux
im=$(magick_convert)
gm=$(command -v gm || true)
djpeg=$(command -v djpeg || true)

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

# Outputs go beside the build, on the same disk as the pictures, as a user's would.
work=$(mktemp -d "$root/build/bench-out.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Runs a command once under GNU time. Sets seconds (wall time from just before to just after,
# microsecond clock), cpu (user and system seconds of the command and all its children), kb
# (peak resident set of the largest process: GNU time reports the largest of the command and
# the children it waited for) and bytes (size of the output file). Fails when the command
# fails or its output does not start with the expected magic number. The output stays, so
# that the next run of the same converter replaces it, as a user's run does.
run_once() {
    local output="$1" magic="$2"
    shift 2
    local start end status=0
    start=$EPOCHREALTIME
    "$gnu_time" -f '%M %U %S' -o "$work/time.txt" "$@" >"$work/stdout.txt" 2>"$work/stderr.txt" ||
        status=$?
    end=$EPOCHREALTIME
    seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }')
    local user system
    read -r kb user system < <(tail -n 1 "$work/time.txt")
    cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.2f", u + s }')
    bytes=0
    [[ -f "$output" ]] && bytes=$(stat -c %s "$output")
    local head=""
    [[ -n "$magic" && -f "$output" ]] && head=$(head -c 2 "$output")
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

# Waits until the 1-minute load average is below quiet_load, for at most quiet_wait seconds.
# Sets load (the load average when it stopped waiting) and quiet (1 when it was below).
wait_until_quiet() {
    local waited=0
    while :; do
        load=$(cut -d ' ' -f 1 /proc/loadavg)
        if awk -v l="$load" -v q="$quiet_load" 'BEGIN { exit !(l < q) }'; then
            quiet=1
            return
        fi
        if [[ $waited -ge $quiet_wait ]]; then
            quiet=0
            return
        fi
        sleep 2
        waited=$((waited + 2))
    done
}

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
# (PPM, PGM or PBM); sets `command` empty when the converter does not take part in the cell.
command_for() {
    local tool="$1" input="$2" output="$3" type="$4" bytes="$5" decoder stage named="$3"
    # ImageMagick and GraphicsMagick take the format from the name; /dev/null has none.
    [[ $output == /dev/null ]] && named="${type,,}:/dev/null"
    command=()
    case "$tool" in
        ours) command=("$ours" "$type" "$input" "$output") ;;
        baseline) command=("$baseline" "$type" "$input" "$output") ;;
        decode) command=("$decode_only" "$input") ;;
        # libjpeg-turbo's own decoder, writing its raw PPM nowhere: the fastest JPEG decoding
        # at hand.
        djpeg) [[ $input == *.jpg ]] && command=("$djpeg" -outfile /dev/null "$input") ;;
        # The same number of bytes as pic2pnm's output, in 1 MiB blocks, into a new file.
        write)
            [[ $output != /dev/null && $bytes -gt 0 ]] || return 0
            rm -f "$output"
            command=(dd if=/dev/zero of="$output" bs=1M count=$(((bytes + 1048575) / 1048576))
                     status=none) ;;
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
    if [[ -n "$cpus" && ${#command[@]} -gt 0 ]]; then command=(taskset -c "$cpus" "${command[@]}"); fi
    return 0
}

peers=()
command -v jpegtopnm >/dev/null && command -v pgmtopbm >/dev/null && peers+=(netpbm)
[[ -n "$im" ]] && peers+=(imagemagick)
[[ -n "$gm" ]] && peers+=(graphicsmagick)
converters=(ours)
[[ -n "$baseline" ]] && converters+=(baseline)
converters+=("${peers[@]}")
# The limit of a cell: the fastest decoding at hand (ours, or djpeg for JPEG) plus writing
# the same bytes.
limit_parts=(decode write)
[[ -n "$djpeg" ]] && limit_parts=(decode djpeg write)
tools=("${converters[@]}" "${limit_parts[@]}")
tool_label() {
    case "$1" in
        ours) echo pic2pnm ;;
        baseline) echo "baseline" ;;
        decode) echo "pic2pnm decoding alone" ;;
        djpeg) echo "djpeg" ;;
        write) echo "writing the bytes (dd, 1 MiB blocks)" ;;
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

# The machine the table was taken on.
cpu_model=$(awk -F ': *' '/^model name/ { print $2; exit }' /proc/cpuinfo)
filesystem=$(findmnt -n -o FSTYPE -T "$work" 2>/dev/null || stat -f -c %T "$work")
machine="${cpu_model:-unknown CPU}, $(nproc) processors, $(awk '/MemTotal/ { printf "%.0f GB", $2 / 1048576 }' /proc/meminfo), Linux $(uname -r), outputs on $filesystem"

stamp=$(date +%Y%m%d-%H%M%S)
raw="$results/e2e-$size-$stamp.tsv"
[[ $discard -eq 1 ]] && raw="$results/e2e-$size-$stamp-discard.tsv"
printf 'cell\ttool\trun\tseconds\tcpu_seconds\tpeak_kb\toutput_bytes\tload\n' >"$raw"

note "machine: $machine"
note "load before: $(cut -d ' ' -f 1-3 /proc/loadavg); $runs run(s) a command"
note "converters: ${converters[*]}; limit: ${limit_parts[*]}"
[[ -n "$cpus" ]] && note "every command runs under taskset -c $cpus"
[[ $discard -eq 1 ]] && note "every converter writes to /dev/null"

declare -A pixels
for cell in "${cells[@]}"; do
    IFS='|' read -r _ file _ <<<"$cell"
    # QOI is the same picture as photo.ppm, which every tool here can count.
    source=$file
    [[ $file == photo.qoi ]] && source=photo.ppm
    [[ -n "${pixels[$file]:-}" ]] || pixels[$file]=$(pixels_of "$source")
done

# Every cell: wait for a quiet machine, one untimed round that leaves every converter's output
# in place, then the timed runs, the tools taking turns within each run in an order shuffled
# anew for every run (with a fixed seed), so that a busy moment hits them alike and no tool
# always follows the same one.
declare -A best_of median_of cpu_of kb_of bytes_of load_of quiet_of
for cell in "${cells[@]}"; do
    IFS='|' read -r name file type <<<"$cell"
    extension=$(tr '[:upper:]' '[:lower:]' <<<"$type")
    case $type in PBM) magic=P1 ;; PGM) magic=P2 ;; *) magic=P3 ;; esac
    wait_until_quiet
    load_of[$name]=$load
    quiet_of[$name]=$quiet
    note "$name (load $load$([[ $quiet -eq 1 ]] || echo ', busy'))"
    rm -f "$work"/out-*
    # Writing the bytes needs their number: without an untimed round, pic2pnm tells it first.
    if [[ $warmup -eq 0 && -z "${bytes_of["$name|ours"]:-}" && $discard -eq 0 ]]; then
        command_for ours "$pictures/$file" "$work/out-ours.$extension" "$type" 0
        run_once "$work/out-ours.$extension" "$magic" "${command[@]}" 2>>"$work/notes.txt" &&
            bytes_of["$name|ours"]=$bytes
    fi
    declare -A samples_t=() samples_c=() samples_k=()
    for ((run = 1 - warmup; run <= runs; run++)); do
        order=("${tools[@]}")
        seed=$(((run + warmup) * 7919 + ${#name} * 104729))
        for ((i = ${#order[@]} - 1; i > 0; i--)); do
            seed=$(((seed * 1103515245 + 12345) % 2147483648))
            j=$((seed % (i + 1)))
            swap=${order[$i]}
            order[$i]=${order[$j]}
            order[$j]=$swap
        done
        for tool in "${order[@]}"; do
            output="$work/out-$tool.$extension"
            expected=$magic
            [[ $discard -eq 1 ]] && output=/dev/null
            [[ $discard -eq 1 || $tool == decode || $tool == djpeg || $tool == write ]] &&
                expected=""
            command_for "$tool" "$pictures/$file" "$output" "$type" "${bytes_of["$name|ours"]:-0}"
            [[ ${#command[@]} -gt 0 ]] || continue
            if run_once "$output" "$expected" "${command[@]}" 2>>"$work/notes.txt"; then
                [[ $tool == decode || $tool == djpeg ]] && bytes=0
                bytes_of["$name|$tool"]=$bytes
                [[ $run -ge 1 ]] || continue
                samples_t[$tool]+="$seconds "
                samples_c[$tool]+="$cpu "
                samples_k[$tool]+="$kb "
                printf '%s\t%s\t%d\t%s\t%s\t%s\t%s\t%s\n' "$name" "$tool" "$run" "$seconds" \
                    "$cpu" "$kb" "$bytes" "$load" >>"$raw"
            fi
        done
    done
    for tool in "${tools[@]}"; do
        [[ -n "${samples_t[$tool]:-}" ]] || continue
        median_of["$name|$tool"]=$(tr ' ' '\n' <<<"${samples_t[$tool]}" | grep . | median)
        best_of["$name|$tool"]=$(tr ' ' '\n' <<<"${samples_t[$tool]}" | grep . | least)
        cpu_of["$name|$tool"]=$(tr ' ' '\n' <<<"${samples_c[$tool]}" | grep . | median)
        kb_of["$name|$tool"]=$(tr ' ' '\n' <<<"${samples_k[$tool]}" | grep . | median)
    done
    unset samples_t samples_c samples_k
done
[[ -s "$work/notes.txt" ]] && cat "$work/notes.txt" >&2

# --- Report ------------------------------------------------------------------------------

bytes_per_pixel() { awk -v k="$1" -v p="$2" 'BEGIN { printf "%.1f", k * 1024 / p }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
seconds() { awk -v s="$1" 'BEGIN { printf "%.3f", s }'; }

echo
echo "Machine: $machine."
echo "$runs timed run(s) a command after $warmup untimed round(s)$([[ -n "$cpus" ]] && echo ", on processors $cpus")$([[ $discard -eq 1 ]] && echo ", every output to /dev/null")."
echo
echo "Every command: best and median wall seconds, median CPU seconds (user + system, all"
echo "processes), median peak memory in bytes a pixel, output MB"
echo
echo "| cell | command | best | median | CPU | B/px | MB |"
echo "| --- | --- | --- | --- | --- | --- | --- |"
for cell in "${cells[@]}"; do
    IFS='|' read -r name file type <<<"$cell"
    for tool in "${tools[@]}"; do
        key="$name|$tool"
        [[ -n "${best_of[$key]:-}" ]] || continue
        megabytes="-"
        [[ ${bytes_of[$key]:-0} -gt 0 ]] &&
            megabytes=$(awk -v b="${bytes_of[$key]}" 'BEGIN { printf "%.0f", b / 1e6 }')
        printf '| %s | %s | %s | %s | %s | %s | %s |\n' "$name" "$(tool_label "$tool")" \
            "$(seconds "${best_of[$key]}")" "$(seconds "${median_of[$key]}")" "${cpu_of[$key]}" \
            "$(bytes_per_pixel "${kb_of[$key]}" "${pixels[$file]}")" "$megabytes"
    done
done

echo
echo "pic2pnm against the fastest peer (by best run) and the limit; ratios below 1: pic2pnm is"
echo "faster. The limit is the fastest decoding at hand plus writing pic2pnm's bytes in 1 MiB"
echo "blocks, each at its best run. A cell marked busy started above load $quiet_load."
echo
echo "| cell | pic2pnm best / median | CPU | fastest peer | its best / median | its CPU | best-of ratio | limit | pic2pnm ÷ limit | pic2pnm B/px | load |"
echo "| --- | --- | --- | --- | --- | --- | --- | --- | --- | --- | --- |"
for cell in "${cells[@]}"; do
    IFS='|' read -r name file type <<<"$cell"
    ours_best="${best_of[$name|ours]:-}"
    if [[ -z "$ours_best" ]]; then
        echo "| $name | failed | | | | | | | | | |"
        continue
    fi
    peer=""
    for tool in "${peers[@]}"; do
        [[ -n "${best_of[$name|$tool]:-}" ]] || continue
        if [[ -z "$peer" ]] || awk -v a="${best_of[$name|$tool]}" -v b="${best_of[$name|$peer]}" \
            'BEGIN { exit !(a < b) }'; then
            peer=$tool
        fi
    done
    decoder=""
    for tool in decode djpeg; do
        [[ -n "${best_of[$name|$tool]:-}" ]] || continue
        if [[ -z "$decoder" ]] || awk -v a="${best_of[$name|$tool]}" -v b="${best_of[$name|$decoder]}" \
            'BEGIN { exit !(a < b) }'; then
            decoder=$tool
        fi
    done
    limit="-"
    limit_text="-"
    if [[ -n "$decoder" ]]; then
        write_best="${best_of[$name|write]:-0}"
        limit=$(awk -v d="${best_of[$name|$decoder]}" -v w="$write_best" 'BEGIN { printf "%.6f", d + w }')
        decoder_text=djpeg
        [[ $decoder == decode ]] && decoder_text="pic2pnm decoding"
        limit_text="$(seconds "$limit") ($decoder_text $(seconds "${best_of[$name|$decoder]}") + writing $(seconds "$write_best"))"
    fi
    peer_text="-"
    peer_times="-"
    peer_cpu="-"
    peer_ratio="-"
    if [[ -n "$peer" ]]; then
        peer_text=$(tool_label "$peer")
        peer_times="$(seconds "${best_of[$name|$peer]}") / $(seconds "${median_of[$name|$peer]}")"
        peer_cpu="${cpu_of[$name|$peer]}"
        peer_ratio=$(ratio "$ours_best" "${best_of[$name|$peer]}")
    fi
    load_text="${load_of[$name]}"
    [[ ${quiet_of[$name]} -eq 1 ]] || load_text="$load_text, busy"
    printf '| %s | %s / %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "$name" \
        "$(seconds "$ours_best")" "$(seconds "${median_of[$name|ours]}")" "${cpu_of[$name|ours]}" \
        "$peer_text" "$peer_times" "$peer_cpu" "$peer_ratio" "$limit_text" \
        "$([[ $limit == - ]] && echo - || ratio "$ours_best" "$limit")" \
        "$(bytes_per_pixel "${kb_of[$name|ours]}" "${pixels[$file]}")" "$load_text"
done
if [[ -n "$baseline" ]]; then
    echo
    echo "pic2pnm against the baseline ($baseline), best runs; below 1: pic2pnm is faster"
    echo
    echo "| cell | pic2pnm best | baseline best | ratio | pic2pnm CPU | baseline CPU |"
    echo "| --- | --- | --- | --- | --- | --- |"
    for cell in "${cells[@]}"; do
        IFS='|' read -r name _ _ <<<"$cell"
        [[ -n "${best_of[$name|ours]:-}" && -n "${best_of[$name|baseline]:-}" ]] || continue
        printf '| %s | %s | %s | %s | %s | %s |\n' "$name" "$(seconds "${best_of[$name|ours]}")" \
            "$(seconds "${best_of[$name|baseline]}")" \
            "$(ratio "${best_of[$name|ours]}" "${best_of[$name|baseline]}")" \
            "${cpu_of[$name|ours]}" "${cpu_of[$name|baseline]}"
    done
fi
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
