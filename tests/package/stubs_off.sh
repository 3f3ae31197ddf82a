#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause
# Configures the library alone with LUSL_INSTALL_PLATFORM_STUBS=OFF and checks what it
# installs: libluSL, its headers and luMAPLog.h, and nothing of the stand-ins.
# Usage: stubs_off.sh SOURCE_DIR
set -eu
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake -S "$src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DLUSL_INSTALL_PLATFORM_STUBS=OFF -DLUSL_BUILD_TESTS=OFF -DLUSL_BUILD_TOOLS=OFF >/dev/null
cmake --build "$work/build" --target luSL >/dev/null
cmake --install "$work/build" --prefix "$work/p" >/dev/null
fail() { echo "stubs off: $*" >&2; exit 1; }
test -f "$work/p/include/luMAPLog.h" || fail "luMAPLog.h not installed"
ls "$work"/p/lib*/libluSL.so.1 >/dev/null 2>&1 || fail "libluSL.so.1 not installed"
stubs=$(find "$work/p" -name 'libluMAPLog*' -o -name 'libluOS*')
[ -z "$stubs" ] || fail "stand-ins installed: $stubs"
! grep -rq 'luMAPLog\|luOS' "$work"/p/lib*/cmake/luSL || fail "the CMake package names the stand-ins"
# Still linked against them by SONAME, for the vendor's libraries to satisfy.
needed=$(readelf -d "$work"/p/lib*/libluSL.so.1)
echo "$needed" | grep -q 'NEEDED.*\[libluMAPLog.so.1\]' || fail "libluMAPLog.so.1 not needed"
echo "$needed" | grep -q 'NEEDED.*\[libluOS.so.1\]' || fail "libluOS.so.1 not needed"
echo "stubs off: ok"
