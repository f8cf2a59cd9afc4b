#!/usr/bin/env bash
# Installs the build into a folder inside the build tree, then builds and runs
# a tiny consumer project against that copy twice: with find_package(lumtrax)
# and with pkg-config.
# Arguments: build dir, consumer source dir, C compiler, C++ compiler,
# sanitizers (may be empty), cmake, configuration.
set -euo pipefail
build=$1 consumer=$2 cc=$3 cxx=$4 sanitize=$5 cmake=$6 config=${7:-Release}

work=$build/consumer-test
prefix=$work/prefix
rm -rf "$work"
mkdir -p "$work"

flags=""
[ -n "$sanitize" ] && flags="-fsanitize=$sanitize"

echo "== cmake --install into $prefix"
"$cmake" --install "$build" --prefix "$prefix" --config "$config" >"$work/install.log"
for file in include/lumtrax.h include/lumtrax.hpp bin/lumtrax share/man/man1/lumtrax.1; do
    [ -e "$prefix/$file" ] || { echo "not installed: $file" >&2; exit 1; }
done
"$prefix/bin/lumtrax" --version

echo "== find_package(lumtrax)"
"$cmake" -S "$consumer" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_BUILD_TYPE="$config" -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >"$work/configure.log"
"$cmake" --build "$work/cmake-build" --config "$config" >"$work/build.log"
"$work/cmake-build/c_consumer"
"$work/cmake-build/cxx_consumer"

echo "== pkg-config"
pc=$(dirname "$(find "$prefix" -name lumtrax.pc)")
export PKG_CONFIG_PATH=$pc
libdir=$(pkg-config --variable=libdir lumtrax)
[ "$(pkg-config --modversion lumtrax)" = "$(pkg-config --modversion lumtrax-cxx)" ]
# shellcheck disable=SC2046 # the flags are words
"$cc" $flags "$consumer/consumer.c" -o "$work/c_consumer_pc" \
    $(pkg-config --cflags --libs lumtrax) -Wl,-rpath,"$libdir"
# shellcheck disable=SC2046
"$cxx" $flags -std=c++17 "$consumer/consumer.cpp" -o "$work/cxx_consumer_pc" \
    $(pkg-config --cflags --libs lumtrax-cxx) -Wl,-rpath,"$libdir"
"$work/c_consumer_pc"
"$work/cxx_consumer_pc"
echo "consumer project: built and ran against the installed copy both ways"
