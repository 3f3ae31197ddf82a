#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause
# One version everywhere: project(VERSION) in CMakeLists.txt is what the header, the library
# at run time, the tool, luSL.pc, the CMake package and the Debian changelog say, and the
# Debian library package is named after the SONAME.
# Usage: version.sh SOURCE_DIR BUILD_DIR [LUSL]
set -eu
src=$1 build=$2 lusl=${3:-}
status=0
check() { # what expected actual
    if [ "$2" != "$3" ]; then
        echo "version: $1 says '$3', CMakeLists.txt '$2'" >&2
        status=1
    fi
}

v=$(sed -n 's/^project(luSL VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
[ -n "$v" ] || { echo "version: no project(luSL VERSION ...) in CMakeLists.txt" >&2; exit 1; }
major=${v%%.*} rest=${v#*.}
minor=${rest%%.*} patch=${rest#*.}

h="$build/include/luSL/version.h"
macro() { sed -n "s/^#define $1 //p" "$h"; }
check "LUSL_VERSION_MAJOR" "$major" "$(macro LUSL_VERSION_MAJOR)"
check "LUSL_VERSION_MINOR" "$minor" "$(macro LUSL_VERSION_MINOR)"
check "LUSL_VERSION_PATCH" "$patch" "$(macro LUSL_VERSION_PATCH)"
check "LUSL_VERSION_STRING" "\"$v\"" "$(macro LUSL_VERSION_STRING)"
check "luSL.pc" "$v" "$(sed -n 's/^Version: //p' "$build/luSL.pc")"
check "luSLConfigVersion.cmake" "$v" "$(sed -n 's/^set(PACKAGE_VERSION "\(.*\)")/\1/p' "$build/luSLConfigVersion.cmake")"
# Native package: the Debian version is the upstream one, with no revision.
check "debian/changelog" "$v" "$(sed -n '1s/^lusl (\([^)]*\)).*/\1/p' "$src/debian/changelog")"

# The SONAME follows the major version; the library package is named after it.
soname=$(readelf -d "$build/libluSL.so" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
sover=${soname##*.so.}
grep -qx "Package: liblusl$sover" "$src/debian/control" ||
    { echo "version: debian/control has no package liblusl$sover for $soname" >&2; status=1; }
# The library at run time, through the tool; consumer.c checks it from C.
if [ -n "$lusl" ]; then
    check "lusl --version" "lusl $v (libluSL $v)" "$("$lusl" --version)"
fi
[ "$status" -eq 0 ] && echo "version: $v everywhere"
exit "$status"
