#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause
# Installs the build into a scratch prefix and builds a strict C11 program against it, the
# way a consumer of a staged (not yet system-wide) prefix links.
set -eu
src=$1 build=$2 cc=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(ls -d "$prefix"/lib*/ | head -n1)
libdir=${libdir%/}
test -f "$libdir/cmake/luSL/luSLConfig.cmake"
# A process with its own log sink needs the sink's declaration without the stand-in.
test -f "$prefix/include/luMAPLog.h"
test -e "$libdir/libluMAPLog.so.1" && test -e "$libdir/libluOS.so.1"
# The installed library finds its platform libraries where the system looks, not by RUNPATH.
if readelf -d "$libdir/libluSL.so.1" | grep -Eq 'RUNPATH|RPATH'; then
    echo "installed libluSL.so.1 carries a RUNPATH" >&2
    exit 1
fi
export PKG_CONFIG_PATH="$libdir/pkgconfig"
# Without RUNPATH the linker is told where libluSL's own dependencies are (-rpath-link),
# as for any library whose prefix is not in the system's search path.
"$cc" -std=c11 -Wall -Wextra -Wpedantic -Werror $(pkg-config --cflags luSL) \
    "$src/tests/c_consumer/consumer.c" -o "$prefix/consumer" $(pkg-config --libs luSL) \
    -Wl,-rpath-link,"$libdir"
LD_LIBRARY_PATH="$libdir" "$prefix/consumer"
