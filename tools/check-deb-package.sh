#!/usr/bin/env bash
# Builds the Debian package with cpack, installs it with apt-get, checks the installed program
# and manual page, and removes the package again (also when a check fails).
#
# Usage: tools/check-deb-package.sh [BUILD_DIR]     (default: build/deb)
# Needs root or sudo: it installs and removes the package pic2pnm.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath -m "${1:-$here/build/deb}")"

sudo=()
if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi

# shellcheck source=tools/packages.sh
source "$here/tools/packages.sh"
# dpkg-dev runs dpkg-shlibdeps for the package's dependencies; netpbm reads the example
# picture independently for the comparison; man-db shows the installed manual page.
"$here/tools/install-deps.sh" "${BUILD_PACKAGES[@]}" dpkg-dev netpbm man-db

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

echo "=== Build and package in $build"
rm -f "$build"/pic2pnm_*.deb
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPIC2PNM_TESTS=OFF >/dev/null
cmake --build "$build"
(cd "$build" && cpack -G DEB)
debs=("$build"/pic2pnm_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "FAIL: cpack did not write exactly one pic2pnm_*.deb in $build" >&2
    exit 1
fi
deb=${debs[0]}

echo "=== Package contents and fields"
contents=$(dpkg-deb --contents "$deb")
for path in ./usr/bin/pic2pnm ./usr/share/man/man1/pic2pnm.1.gz; do
    grep -q " $path\$" <<<"$contents" || fail "$path is not in the package"
done
[ "$(dpkg-deb --field "$deb" Package)" = pic2pnm ] || fail "the package is not named pic2pnm"
[ "$(dpkg-deb --field "$deb" Section)" = graphics ] || fail "the section is not graphics"
depends=$(dpkg-deb --field "$deb" Depends)
recommends=$(dpkg-deb --field "$deb" Recommends)
# dpkg-shlibdeps must have turned the linked libraries (libspng for PNG, and libseccomp for the
# decode child's filter) into dependencies.
for library in libspng libseccomp; do
    grep -q "$library" <<<"$depends" || fail "Depends does not name $library: $depends"
done
# The libraries the decoders open at run time, in the field src/codecs/formats.txt gives them:
# the optional ones (HEIF, AVIF and JPEG XL) are recommended, never required.
names_in() {  # a control field: its package names, one a line, without versions
    tr ',|' '\n\n' <<<"$1" | sed 's/^ *//; s/[ (].*//' | grep -v '^$'
}
while read -r package field; do
    case $field in
        Depends) other=Recommends listed=$depends unwanted=$recommends ;;
        Recommends) other=Depends listed=$recommends unwanted=$depends ;;
        *) continue ;;
    esac
    names_in "$listed" | grep -qxF "$package" || fail "$field does not name $package: $listed"
    if names_in "$unwanted" | grep -qxF "$package"; then
        fail "$other names $package: $unwanted"
    fi
done < <(awk '$1 == "library" { print $5, $6 }' "$here/src/codecs/formats.txt")

work=$(mktemp -d)
cleanup() {
    rm -rf "$work"
    if dpkg-query -W -f='${Status}' pic2pnm 2>/dev/null | grep -q "install ok installed"; then
        echo "=== Remove the package"
        "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq pic2pnm >/dev/null
    fi
}
trap cleanup EXIT

echo "=== Install $(basename "$deb")"
# --reinstall: a package of the same version left installed must be replaced by this build.
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --reinstall "$deb" >/dev/null
program=/usr/bin/pic2pnm
[ -x "$program" ] || fail "$program is not installed"
if ldd "$program" | grep -q "not found"; then
    fail "$program misses shared libraries: $(ldd "$program" | grep "not found")"
fi

echo "=== Convert the example picture with the installed program"
# The expected output, built from the pixels netpbm reads: header, then one value text per
# pixel followed by a space, 34/17/5 pixels per line, LF only after full lines.
pngtopam "$here/examples/example.png" | pnmtoplainpnm >"$work/reference.ppm"
expected_output() {  # type (PBM|PGM|PPM)
    tr -s '[:space:]' '\n' <"$work/reference.ppm" | awk -v type="$1" '
        NR == 1 { next }
        NR == 2 { width = $1; next }
        NR == 3 { height = $1; next }
        NR == 4 {
            magic = type == "PBM" ? "P1" : type == "PGM" ? "P2" : "P3"
            per_line = type == "PBM" ? 34 : type == "PGM" ? 17 : 5
            printf "%s\n# Created by Pelorin - Picture to text picture 1.00.0001\n", magic
            printf "%d %d\n", width, height
            if (type != "PBM") printf "255\n"
            next
        }
        {
            sample[count++ % 3] = $1
            if (count % 3) next
            grey = int((sample[0] + sample[1] + sample[2]) / 3)
            if (type == "PPM") printf "%d %d %d ", sample[0], sample[1], sample[2]
            else if (type == "PGM") printf "%d ", grey
            else printf "%d ", grey <= 127 ? 1 : 0
            if (++pixels % per_line == 0) printf "\n"
        }'
}
for type in PBM PGM PPM; do
    output="example.${type,,}"
    status=0
    said=$(cd "$work" && "$program" "$type" "$here/examples/example.png" "$output") || status=$?
    if [ "$status" -ne 0 ] || [ "$said" != "Picture converted: $output" ]; then
        fail "$type: exit status $status, the program said: $said"
        continue
    fi
    expected_output "$type" >"$work/expected.$type"
    if ! difference=$(cmp "$work/expected.$type" "$work/$output" 2>&1); then
        fail "$type: the output differs from the expected file: $difference"
    fi
done
# The libraries in src/codecs/formats.txt are opened at run time, not linked: every test picture
# of a format that opens one must convert with the installed program as with the one just built,
# with the libraries the package depends on or recommends (apt-get installs recommended packages
# by default), and at least one picture of each such format must convert.
while read -r format; do
    converted=0
    for picture in "$here/tests/data/$format"/*; do
        case $picture in
            *.ppm | *.pgm | *.pbm | *.pam | *.txt) continue ;;  # the references beside them
        esac
        (cd "$work" && "$build/pic2pnm" PPM "$picture" built.ppm >/dev/null 2>&1) || continue
        said=$(cd "$work" && "$program" PPM "$picture" installed.ppm) ||
            fail "$format: the installed program failed on $(basename "$picture"): $said"
        cmp -s "$work/built.ppm" "$work/installed.ppm" ||
            fail "$format: the installed program converts $(basename "$picture") otherwise"
        converted=$((converted + 1))
    done
    [ "$converted" -gt 0 ] || fail "$format: no test picture converts"
    echo "$format: $converted test pictures convert"
done < <(awk '$1 == "format" && NF > 2 { print $2 }' "$here/src/codecs/formats.txt")
status=0
"$program" >/dev/null || status=$?
[ "$status" -eq 2 ] || fail "without arguments the program exits with $status instead of 2"

echo "=== The installed manual page"
check_man() {  # man arguments...
    local shown
    if ! shown=$(LC_ALL=C.UTF-8 MANWIDTH=80 MANPAGER=cat man "$@" 2>"$work/man-errors"); then
        fail "man $* failed: $(cat "$work/man-errors")"
        return
    fi
    if [ -s "$work/man-errors" ]; then
        fail "man $* warns: $(cat "$work/man-errors")"
    fi
    grep -q "pic2pnm - convert a picture file into a plain-text Netpbm image" <<<"$shown" ||
        fail "man $* does not show the NAME line"
    grep -q "pic2pnm (PBM|PGM|PPM) \[/NoComment\] InFileName OutFileName" <<<"$shown" ||
        fail "man $* does not show the synopsis"
}
check_man -l /usr/share/man/man1/pic2pnm.1.gz
check_man pic2pnm

cleanup
trap - EXIT
if [ -e "$program" ]; then
    fail "$program is still there after removing the package"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "The package $(basename "$deb") installs, converts, shows its manual page and removes cleanly."
