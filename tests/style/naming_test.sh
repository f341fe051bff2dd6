#!/usr/bin/env bash
# The naming rules of doc/architecture.md that a script can check:
#  - every C++ source file name is lower snake_case;
#  - every file of the codec layer lies in the folder of its format and begins with its name:
#    a codec registry row (a format of src/codecs/formats.txt) or a format read outside the
#    registry; the files every codec shares, in common/, begin with the name of a shared part;
#  - test hooks (...ForTesting, ...ForFuzzing, the write observer) are declared in
#    src/testing/testing_hooks.h and in no other header;
#  - constants are PascalCase: no constant our code defines begins with a `k` prefix
#    (kName); the names libraries declare (benchmark::kMillisecond, ...) are only used.
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

formats=src/codecs/formats.txt
codec_layer=$(dirname "$formats")
rows=$(awk '$1 == "format" { print $2 }' "$formats")
[ -n "$rows" ] || { echo "$formats: no format found"; exit 1; }
formats_allowed=$(echo $rows $other_formats)
while IFS= read -r file; do
    prefix=$(basename "$file")
    prefix=${prefix%%.*}
    prefix=${prefix%%_*}
    folder=$(basename "$(dirname "$file")")
    if [ "$folder" = common ]; then
        case " $shared_parts " in
            *" $prefix "*) ;;
            *)
                echo "$file: a file every codec shares begins with one of: $shared_parts"
                failed=1
                ;;
        esac
    elif [ "$prefix" != "$folder" ] || [[ " $formats_allowed " != *" $prefix "* ]]; then
        echo "$file: a codec file lies in the folder of its format and begins with its name" \
            "(a format of $formats, or one of: $other_formats)"
        failed=1
    fi
done < <(find "$codec_layer" \( -name '*.cpp' -o -name '*.h' \) | sort)

while IFS= read -r hit; do
    echo "$hit: test hooks are declared in src/testing/testing_hooks.h only"
    failed=1
done < <(grep -rnE '\b[A-Za-z]+For(Testing|Fuzzing)\(|\bSetFileWriteObserver\(' src --include='*.h' |
    grep -v '^src/testing/testing_hooks.h:')

# A `k`-prefixed name right before the `=`, `[`, `{` or `;` of a const or constexpr definition.
while IFS= read -r hit; do
    echo "$hit: constants are PascalCase, without a k prefix"
    failed=1
done < <(grep -rnE '\<(constexpr|const)\>[^=;({]*\<k[A-Z][A-Za-z0-9_]*[[:space:]]*(=|\[|\{|;)' \
    src tests bench fuzz --include='*.h' --include='*.cpp')

exit $failed
