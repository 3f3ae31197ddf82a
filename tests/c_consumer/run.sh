#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause
# Installs the build into a scratch prefix and builds a strict C11 program against it.
set -eu
src=$1 build=$2 cc=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(ls -d "$prefix"/lib*/ | head -n1)
test -f "$libdir/cmake/luSL/luSLConfig.cmake"
export PKG_CONFIG_PATH="$libdir/pkgconfig"
"$cc" -std=c11 -Wall -Wextra -Wpedantic -Werror $(pkg-config --cflags luSL) \
    "$src/tests/c_consumer/consumer.c" -o "$prefix/consumer" $(pkg-config --libs luSL)
LD_LIBRARY_PATH="$libdir" "$prefix/consumer"
