#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause
# libluSL against its ABI baseline for the library's architecture (abi/libluSL-<arch>.abi,
# abidw of a build with debug information: x86-64 for the hosts, 32-bit ARM for the routers):
# exported functions and globals and every type they reach, the record layouts behind the
# record slots among them.
#
#   scripts/abi.sh check  LIBRARY [DEBUG_DIR]   fail on any change but added symbols
#   scripts/abi.sh update LIBRARY               write the baseline from LIBRARY
#
# DEBUG_DIR is where a stripped LIBRARY's debug information lives (/usr/lib/debug for the
# installed package with its -dbgsym package). Exit status 77: not comparable here (abidiff
# missing, or no baseline for the architecture).
set -eu
cd "$(dirname "$0")/.."
mode=${1:-} lib=${2:-} debug=${3:-}
[ -n "$lib" ] && [ -e "$lib" ] || { echo "usage: scripts/abi.sh check|update LIBRARY [DEBUG_DIR]" >&2; exit 2; }
command -v abidiff >/dev/null || { echo "abi: abidiff not found (abigail-tools); skipped" >&2; exit 77; }
# Only the public headers' types count: a change to an internal type is not an ABI change.
headers=include
arch=$(abidw --no-show-locs ${debug:+--debug-info-dir "$debug"} "$lib" | sed -n "1s/.*architecture='elf-\([^']*\)'.*/\1/p")
baseline=abi/libluSL-${arch:?cannot read the architecture of $lib}.abi

case "$mode" in
update)
    mkdir -p abi
    abidw --headers-dir "$headers" --drop-private-types --no-corpus-path --no-comp-dir-path \
        --no-show-locs --out-file "$baseline" "$lib"
    echo "abi: $baseline written from $lib ($(grep -c '<elf-symbol ' "$baseline") symbols)"
    ;;
check)
    if [ ! -f "$baseline" ]; then
        echo "abi: no baseline $baseline for $lib; skipped" >&2
        exit 77
    fi
    set -- --headers-dir2 "$headers" --drop-private-types ${debug:+--debug-info-dir2 "$debug"}
    # Added symbols are compatible; anything else (removed or changed functions and
    # globals, a record that grew or moved a field) fails.
    rc=0
    abidiff --no-added-syms "$@" "$baseline" "$lib" || rc=$?
    if [ "$rc" -ne 0 ]; then
        echo "abi: $lib is not compatible with $baseline (abidiff status $rc)." >&2
        echo "abi: a deliberate break bumps the SONAME and renews the baseline (README, Packages and ABI)." >&2
        exit 1
    fi
    added=$(abidiff "$@" "$baseline" "$lib" | sed -n 's/.*Removed, [0-9]* Changed.*, \([0-9]*\) Added.*/\1/p' | awk '{ n += $1 } END { print n + 0 }')
    if [ "${added:-0}" -ne 0 ]; then
        echo "abi: compatible, $added symbols added since the baseline; renew it with scripts/abi.sh update when they are released"
    else
        echo "abi: $lib matches $baseline"
    fi
    ;;
*)
    echo "usage: scripts/abi.sh check|update LIBRARY [DEBUG_DIR]" >&2
    exit 2
    ;;
esac
