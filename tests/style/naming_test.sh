#!/usr/bin/env bash
# The naming rules of doc/architecture.md that a script can check:
#  - every C++ source file name is lower snake_case;
#  - every file of the codec layer begins with the name of a codec registry row, of a format
#    read outside the registry, or of a part every codec shares;
#  - test hooks (...ForTesting, ...ForFuzzing, the write observer) are declared in
#    src/testing/testing_hooks.h and in no other header.
set -uo pipefail
root=${1:?usage: naming_test.sh REPOSITORY}
cd "$root" || exit 1
failed=0

# Formats with files of their own but no registry row, and the codec layer's shared parts.
other_formats="metafile pam"
shared_parts="codec codecs decoded byte pixel raw"

while IFS= read -r file; do
    name=$(basename "$file")
    if ! [[ $name =~ ^[a-z0-9]+(_[a-z0-9]+)*\.(h|cpp)$ ]]; then
        echo "$file: file names are lower snake_case"
        failed=1
    fi
done < <(find src tests bench fuzz \( -name '*.cpp' -o -name '*.h' \) | sort)

registry=$(find src -name codec_registry.cpp | head -n 1)
if [ -z "$registry" ]; then
    echo "no codec_registry.cpp under src"
    exit 1
fi
codec_layer=$(dirname "$registry")
# The codec layer is the registry's folder, or its parent when the registry has a folder of
# its own among the per-format folders.
if [ "$(basename "$codec_layer")" = common ]; then codec_layer=$(dirname "$codec_layer"); fi
rows=$(grep -oE '^ *\{"[a-z0-9]+",' "$registry" | tr -d ' {",')
[ -n "$rows" ] || { echo "$registry: no rows found"; exit 1; }
allowed=" $rows $other_formats $shared_parts "
allowed=$(echo $allowed)
while IFS= read -r file; do
    prefix=$(basename "$file")
    prefix=${prefix%%.*}
    prefix=${prefix%%_*}
    case " $allowed " in
        *" $prefix "*) ;;
        *)
            echo "$file: a codec file begins with a registry row's name (or one of: $other_formats $shared_parts)"
            failed=1
            ;;
    esac
done < <(find "$codec_layer" \( -name '*.cpp' -o -name '*.h' \) | sort)

while IFS= read -r hit; do
    echo "$hit: test hooks are declared in src/testing/testing_hooks.h only"
    failed=1
done < <(grep -rnE '\b[A-Za-z]+For(Testing|Fuzzing)\(|\bSetFileWriteObserver\(' src --include='*.h' |
    grep -v '^src/testing/testing_hooks.h:')

exit $failed
