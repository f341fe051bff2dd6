#!/usr/bin/env bash
# Every project #include under src/ points at the including file's own layer or one below it,
# so that the folders show the dependency order. Layers, bottom to top, as in
# doc/architecture.md; a folder not listed here fails the test until it is given its place.
set -uo pipefail
root=${1:?usage: include_directions_test.sh REPOSITORY}
cd "$root/src" || exit 1
layers=(testing runtime codecs imaging support shared output picture netpbm frontend)
rank_of() {
    local i
    for i in "${!layers[@]}"; do
        if [ "${layers[$i]}" = "$1" ]; then
            echo "$i"
            return 0
        fi
    done
    return 1
}
failed=0
checked=0
while IFS= read -r file; do
    layer=${file%%/*}
    if ! from=$(rank_of "$layer"); then
        echo "src/$file: the folder $layer has no place among the layers"
        failed=1
        continue
    fi
    while IFS= read -r line; do
        target=${line#*\"}
        target=${target%%\"*}
        [[ $target == */* ]] || continue  # beside the file: its own folder
        checked=$((checked + 1))
        to_layer=${target%%/*}
        if ! to=$(rank_of "$to_layer"); then
            echo "src/$file: includes $target, outside every layer"
            failed=1
        elif [ "$to" -gt "$from" ]; then
            echo "src/$file: $layer must not include $target ($to_layer is above $layer)"
            failed=1
        fi
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file")
done < <(find . -mindepth 2 \( -name '*.h' -o -name '*.cpp' \) | sed 's|^\./||' | sort)
if [ "$checked" -eq 0 ]; then
    echo "no project include found under $root/src"
    exit 1
fi
exit $failed
