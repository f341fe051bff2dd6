#!/usr/bin/env bash
# Every project #include under src/ points at the including file's own layer or one below it,
# so that the folders show the dependency order. Layers, bottom to top, as in
# doc/architecture.md; a folder not listed here fails the test until it is given its place.
set -uo pipefail
root=${1:?usage: include_directions_test.sh REPOSITORY}
cd "$root/src" || exit 1
# A layer is a folder, or several side by side (separated by spaces) that must not include one
# another; a folder's sub-folders belong to it unless they are layers of their own.
layers=(testing runtime codecs/common codecs imaging/input imaging/gdi
    "imaging/gdiplus imaging/native" support shared output picture netpbm frontend)
# Prints the rank of the layer a path lies in and the folder of that layer; fails for none.
layer_of() {
    local path=$1 i folder best="" rank=""
    for i in "${!layers[@]}"; do
        for folder in ${layers[$i]}; do
            if [[ $path == "$folder"/* ]] && [ ${#folder} -gt ${#best} ]; then
                best=$folder
                rank=$i
            fi
        done
    done
    [ -n "$best" ] && echo "$rank $best"
}
failed=0
checked=0
while IFS= read -r file; do
    if ! read -r from layer < <(layer_of "$file"); then
        echo "src/$file: the folder $(dirname "$file") has no place among the layers"
        failed=1
        continue
    fi
    while IFS= read -r line; do
        target=${line#*\"}
        target=${target%%\"*}
        [[ $target == */* ]] || continue  # beside the file: its own folder
        checked=$((checked + 1))
        if ! read -r to to_layer < <(layer_of "$target"); then
            echo "src/$file: includes $target, outside every layer"
            failed=1
        elif [ "$to_layer" != "$layer" ] && [ "$to" -ge "$from" ]; then
            echo "src/$file: $layer must not include $target ($to_layer is not below $layer)"
            failed=1
        fi
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file")
done < <(find . -mindepth 2 \( -name '*.h' -o -name '*.cpp' \) | sed 's|^\./||' | sort)
if [ "$checked" -eq 0 ]; then
    echo "no project include found under $root/src"
    exit 1
fi
exit $failed
