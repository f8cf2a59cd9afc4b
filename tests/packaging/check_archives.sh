#!/bin/sh
# Makes the release archives of a build with cpack and checks what they hold:
#   check_archives.sh windows BUILD_DIR 32-bit|64-bit
#       lumtrax-VERSION-win32.zip or -win64.zip: the two DLLs, their import
#       libraries, lumtrax.h and README.txt, nothing else;
#   check_archives.sh linux BUILD_DIR
#       lumtrax-VERSION-Linux.tar.gz and lumtrax_VERSION_ARCH.deb: the
#       installed tree (checked with tar and dpkg-deb -c); the .deb is also
#       unpacked into a throw-away root with dpkg -x, and its lumtrax command
#       converts a text there.
# Prints one line per failure and exits with 1 when a check failed.
set -eu
kind=$1
build=$2
out=$build/packages
failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

# Compares a sorted list of the regular files an archive holds with the
# expected one.
expect_files() {
    archive=$1
    expected=$2
    actual=$3
    echo "$(basename "$archive"):"
    echo "$actual" | sed 's/^/    /'
    if [ "$actual" != "$expected" ]; then
        fail "$(basename "$archive") should hold exactly:"
        echo "$expected" | sed 's/^/    /'
    fi
}

rm -rf "$out"
version=$(sed -n 's/^CPACK_PACKAGE_VERSION:.*=//p; s/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' \
    "$build/CPackConfig.cmake" | head -n 1)
[ -n "$version" ] || { echo "FAILED: no CPACK_PACKAGE_VERSION in $build/CPackConfig.cmake"; exit 1; }
(cd "$build" && cpack -B "$out" >"$out.log" 2>&1) || { cat "$out.log"; echo "FAILED: cpack"; exit 1; }

case "$kind" in
windows)
    case "$3" in
        32-bit) name=lumtrax-$version-win32 ;;
        64-bit) name=lumtrax-$version-win64 ;;
        *) echo "usage: $0 windows BUILD_DIR 32-bit|64-bit" >&2; exit 2 ;;
    esac
    zip=$out/$name.zip
    [ -f "$zip" ] || { echo "FAILED: cpack made no $name.zip"; ls "$out"; exit 1; }
    listing=$(cmake -E tar tf "$zip" | grep -v '/$' | sort)
    expect_files "$zip" "$(printf '%s\n' \
        "$name/README.txt" "$name/bin/Lumtrax.dll" "$name/bin/Quobel.dll" \
        "$name/include/lumtrax.h" "$name/lib/libLumtrax.dll.a" "$name/lib/libQuobel.dll.a" | sort)" "$listing"
    ;;
linux)
    tgz=$out/lumtrax-$version-Linux.tar.gz
    deb=$(ls "$out"/lumtrax_"$version"_*.deb 2>/dev/null | head -n 1)
    [ -f "$tgz" ] || fail "cpack made no $(basename "$tgz")"
    [ -n "$deb" ] || fail "cpack made no lumtrax_${version}_ARCH.deb"
    [ "$failures" -eq 0 ] || exit 1
    tree=$(printf '%s\n' \
        bin/lumtrax include/lumtrax.h include/lumtrax.hpp include/lumtrax_dataset.hpp \
        lib/cmake/lumtrax/lumtraxConfig.cmake lib/cmake/lumtrax/lumtraxConfigVersion.cmake \
        lib/cmake/lumtrax/lumtraxTargets.cmake lib/cmake/lumtrax/lumtraxTargets-release.cmake \
        "lib/liblumtrax.so.$version" lib/liblumtrax_cxx.a lib/libquobel.so.1 \
        lib/pkgconfig/lumtrax-cxx.pc lib/pkgconfig/lumtrax.pc share/man/man1/lumtrax.1)
    # The build type names one of the target files; the rest is fixed.
    normalise() { sed 's/lumtraxTargets-[a-z]*\.cmake/lumtraxTargets-release.cmake/' | sort; }
    expect_files "$tgz" "$(echo "$tree" | sed "s|^|lumtrax-$version-Linux/|" | sort)" \
        "$(tar tzvf "$tgz" | awk '$1 ~ /^-/ { print $NF }' | normalise)"
    # Both list regular files with a leading "-"; dpkg-deb -c with "./usr/".
    expect_files "$deb" "$(echo "$tree" | sed 's|^|usr/|' | sort)" \
        "$(dpkg-deb -c "$deb" | awk '$1 ~ /^-/ { sub(/^\.\//, "", $NF); print $NF }' | normalise)"
    for link in lib/liblumtrax.so lib/liblumtrax.so.1 lib/libquobel.so; do
        tar tzvf "$tgz" | grep -q " lumtrax-$version-Linux/$link -> " || fail "$(basename "$tgz") has no link $link"
    done
    [ "$(dpkg-deb -f "$deb" Package)" = lumtrax ] || fail "the package is not named lumtrax"
    root=$out/root
    mkdir -p "$root"
    dpkg -x "$deb" "$root"
    got=$(printf 'A\210\237' | "$root/usr/bin/lumtrax" --to ebcdic --hex-out) || fail "the unpacked lumtrax failed"
    [ "$got" = "C1 2B B0 A1 2C" ] || fail "the unpacked lumtrax converted A and a kanji to '$got'"
    "$root/usr/bin/lumtrax" --version | sed 's/^/    /'
    ;;
*)
    echo "usage: $0 windows|linux BUILD_DIR [32-bit|64-bit]" >&2
    exit 2
    ;;
esac

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
