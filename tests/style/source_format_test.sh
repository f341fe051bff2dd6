#!/usr/bin/env bash
# Every C++ source of the repository is laid out as the committed .clang-format says.
# Exits 77 (skipped) when clang-format is not installed.
set -uo pipefail
root=${1:?usage: source_format_test.sh REPOSITORY}
command -v clang-format >/dev/null || { echo "clang-format not installed: skipped"; exit 77; }
cd "$root" || exit 1
mapfile -t sources < <(find src tests bench fuzz -name '*.cpp' -o -name '*.h' | sort)
[ ${#sources[@]} -gt 0 ] || { echo "no sources found under $root"; exit 1; }
# One run over every file; it names each file and line that differs.
if clang-format --dry-run --Werror "${sources[@]}"; then
    exit 0
fi
echo "run clang-format -i on the files above"
exit 1
