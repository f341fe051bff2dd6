#!/usr/bin/env bash
# Builds the libFuzzer targets with clang from scratch in build/fuzz and runs every target for a
# bounded time, seeded with the committed test pictures of its format, the hostile files and
# the resource-bound files.
# Any crash, leak, timeout or sanitizer report fails the run, naming the target and the input
# that caused it. At the end it prints how many inputs each target ran.
#
#   FUZZ_SECONDS  time per target (default 40)
#   FUZZ_JOBS     targets run at once (default: the number of processors, at most 2)
#   FUZZ_BUILD    build folder, relative to the repository (default build/fuzz)
#   FUZZ_SEED     libFuzzer's random seed (default 1)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root" || exit 1

seconds=${FUZZ_SECONDS:-40}
processors=$(nproc 2>/dev/null || echo 2)
jobs=${FUZZ_JOBS:-$((processors < 2 ? processors : 2))}
build=${FUZZ_BUILD:-build/fuzz}
# One target a registry row (fuzz/fuzz_row.cpp), as src/codecs/formats.txt lists the formats,
# and the targets that do more (fuzz/CMakeLists.txt).
mapfile -t formats < <(awk '$1 == "format" { print $2 }' src/codecs/formats.txt)
targets=("${formats[@]/#/fuzz_}" fuzz_png_paths fuzz_bmp_dib fuzz_icon_metafile fuzz_codecs
    fuzz_load_path fuzz_confined_load)

# The picture folders under tests/data that seed each target; the hostile files, and those a
# fuzz target once found (found-fuzz_<format>-*), are chosen by the same format names, which
# begin their file names.
formats_of() {
    case $1 in
        fuzz_png_paths) echo png ;;
        fuzz_bmp_dib) echo bmp ;;
        fuzz_icon_metafile) echo "icon metafile" ;;
        fuzz_load_path | fuzz_confined_load | fuzz_codecs) echo "${formats[*]} metafile" ;;
        *) echo "${1#fuzz_}" ;;
    esac
}

# The decoders over libraries that end the program when an allocation fails (libjxl), or whose
# memory must stay in proportion to the picture (libheif), run within the program's own budget:
# 9 bytes a pixel of the largest picture the targets let through (FuzzPixelCap in
# fuzz/fuzz_checks.h, a million pixels) and 64 MiB. Any single allocation above it is a
# finding, and so is the process's memory above it plus 64 MiB: a resting target with its
# corpus, coverage and the libraries' tables already holds 32 to 77 MiB (fuzz_jxl reached 74
# MiB after 200,000 inputs, none of which needed more than a few alone).
# AddressSanitizer keeps only a small quarantine of freed blocks for them and gives memory
# back soon, so that its own bookkeeping stays within the budget too.
budget_mb=$(((9 * 1000000 + (64 << 20) + (1 << 20) - 1) >> 20))
memory_limits_of() {
    case $1 in
        fuzz_jxl | fuzz_heif | fuzz_avif)
            echo "-rss_limit_mb=$((budget_mb + 64)) -malloc_limit_mb=$budget_mb"
            ;;
        *) echo "-rss_limit_mb=2560 -malloc_limit_mb=2048" ;;
    esac
}
asan_options_of() {
    case $1 in
        fuzz_jxl)
            echo "quarantine_size_mb=4:thread_local_quarantine_size_kb=64:allocator_release_to_os_interval_ms=50"
            ;;
        fuzz_heif | fuzz_avif) echo "quarantine_size_mb=8" ;;
    esac
}

for tool in clang clang++ cmake ninja; do
    if ! command -v "$tool" >/dev/null; then
        echo "run-fuzzers: $tool is not installed" >&2
        exit 1
    fi
done

echo "run-fuzzers: building the fuzz targets from scratch in $build"
rm -rf "$build"
mkdir -p "$(dirname "$build")"
if ! CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DPIC2PNM_FUZZ=ON -DPIC2PNM_TESTS=OFF -DPIC2PNM_WERROR=ON >"$build.configure.log" 2>&1; then
    cat "$build.configure.log" >&2
    echo "run-fuzzers: FAILED to configure the fuzz build" >&2
    exit 1
fi
mv "$build.configure.log" "$build/configure.log"
if ! cmake --build "$build" --target fuzz_targets -j "$processors" >"$build/build.log" 2>&1; then
    tail -n 60 "$build/build.log" >&2
    echo "run-fuzzers: FAILED to build the fuzz targets (log: $build/build.log)" >&2
    exit 1
fi

# Every sanitizer report ends the run with an artifact, instead of being printed and passed.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=1"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}halt_on_error=1:print_stacktrace=1"
export TMPDIR="$root/$build/tmp"
mkdir -p "$TMPDIR" "$build/logs"

seed_corpus() {  # target, corpus folder
    local target=$1 corpus=$2 format file
    mkdir -p "$corpus"
    for format in $(formats_of "$target"); do
        for file in tests/data/"$format"/*; do
            case $file in
                *.ref.*) continue ;;
                *.ppm | *.pam | *.pgm | *.pbm) [ "$format" = pnm ] || continue ;;  # references
            esac
            [ -f "$file" ] && cp "$file" "$corpus/$format-$(basename "$file")"
        done
        for file in tests/hostile/"$format"-* tests/resource/"$format"-* \
            tests/hostile/found-fuzz_"$format"-*; do
            [ -f "$file" ] && cp "$file" "$corpus/"
        done
    done
    for file in tests/hostile/any-* tests/hostile/found-"$target"-*; do
        [ -f "$file" ] && cp "$file" "$corpus/"
    done
    if [ "$target" = fuzz_load_path ] || [ "$target" = fuzz_confined_load ]; then
        for file in tests/hostile/found-*; do
            [ -f "$file" ] && cp "$file" "$corpus/"
        done
    fi
}

run_target() {  # target
    local target=$1
    local corpus="$build/corpus/$target" artifacts="$build/artifacts/$target/"
    seed_corpus "$target" "$corpus"
    mkdir -p "$artifacts"
    # A fixed seed: the same inputs are tried in the same order on every machine, so a run
    # fails only where the code changed or a faster machine got further along the same path.
    local extra_asan_options
    extra_asan_options=$(asan_options_of "$target")
    # The sanitizers write their reports to files of their own: while libheif or libjxl decodes,
    # the program sends standard error to /dev/null, and a report printed there would be lost.
    # Not so for the decode children, which may open no file: their standard error goes to the
    # target, which prints what they report.
    local report_options=""
    [ "$target" = fuzz_confined_load ] || report_options=":log_path=$root/$build/logs/$target.sanitizer"
    # shellcheck disable=SC2046 # the limits are separate words
    ASAN_OPTIONS="$ASAN_OPTIONS${extra_asan_options:+:$extra_asan_options}$report_options" \
        UBSAN_OPTIONS="$UBSAN_OPTIONS$report_options" \
        "$build/fuzz/$target" -seed="${FUZZ_SEED:-1}" -max_total_time="$seconds" -timeout=10 \
        $(memory_limits_of "$target") -print_final_stats=1 -artifact_prefix="$artifacts" \
        "$corpus" >"$build/logs/$target.log" 2>&1
    echo $? >"$build/logs/$target.status"
}

echo "run-fuzzers: ${#targets[@]} targets, $seconds s each, $jobs at a time"
running=0
for target in "${targets[@]}"; do
    if [ "$running" -ge "$jobs" ]; then
        wait -n
        running=$((running - 1))
    fi
    run_target "$target" &
    running=$((running + 1))
done
wait

failed=()
for target in "${targets[@]}"; do
    log="$build/logs/$target.log"
    status=$(cat "$build/logs/$target.status" 2>/dev/null || echo "none")
    found=$(find "$build/artifacts/$target" -type f \
        \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | sort)
    report=$(cat "$build/logs/$target.sanitizer".* "$log" 2>/dev/null |
        grep -m1 -E '^(SUMMARY: |==[0-9]+==ERROR: |.*runtime error: )')
    if [ "$status" != 0 ] || [ -n "$found" ] || [ -n "$report" ]; then
        failed+=("$target")
        echo
        echo "run-fuzzers: FAILED: $target (exit status $status)"
        [ -n "$report" ] && echo "  report: $report"
        for reproducer in $found; do echo "  reproducer: $reproducer"; done
        echo "  log: $log; the report's first lines:"
        cat "$build/logs/$target.sanitizer".* "$log" 2>/dev/null |
            grep -m1 -A40 -E '^==[0-9]+==|runtime error:|ERROR: libFuzzer' | sed 's/^/    /'
    fi
done

echo
echo "run-fuzzers: executions per target"
for target in "${targets[@]}"; do
    runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$build/logs/$target.log" |
        awk '{print $2}')
    printf '  %-20s %12s\n' "$target" "${runs:-?}"
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "run-fuzzers: FAILED: ${failed[*]}"
    exit 1
fi
echo "run-fuzzers: every target ran $seconds s without a finding"
