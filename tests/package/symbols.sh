#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause
# The dynamic symbols of libluSL are exactly the functions and globals that the public
# headers declare, all at the version node. The list is read from the headers by the
# compiler (not by the script that writes the version script), so a parse slip there, a
# declared but missing definition or a leaked internal symbol all show here.
# Usage: [NM=nm] symbols.sh LIBRARY NODE CC -I... -I...
set -eu
lib=$1 node=$2 cc=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo '#include <luSL/luSL.h>' >"$work/all.c"
# Declarations from the public headers, wherever the -I options find them.
ours() { awk '/^# [0-9]+ "/ { f = $3; next } f ~ /^"(.*\/)?luSL\// { print }'; }

# Functions: the compiler's own list of the prototypes it saw, with their file.
"$cc" "$@" -fsyntax-only -aux-info "$work/aux" "$work/all.c"
grep -E '^/\* ([^ ]*/)?luSL/' "$work/aux" | sed -E 's/ *\(.*//; s/.*[^A-Za-z0-9_]//' >"$work/documented"
# Globals: extern declarations without a parameter list, after preprocessing.
"$cc" "$@" -E "$work/all.c" | ours | tr '\n' ' ' | tr ';' '\n' | grep -w extern |
    sed 's/__attribute__ *((visibility *( *"default" *)))//g' | grep -v '(' |
    sed -E 's/ *\[[^]]*\] *$//; s/ *$//; s/.*[^A-Za-z0-9_]//' >>"$work/documented"
sort -u -o "$work/documented" "$work/documented"

# Defined dynamic symbols but the version node's own, with their versions.
${NM:-nm} -D --defined-only "$lib" | awk -v n="$node" '$2 != "A" || $3 != n { print $3 }' >"$work/exported.v"
status=0
if grep -v "@@$node\$" "$work/exported.v" >"$work/stray"; then
    echo "symbols: exported outside the node $node:" >&2
    cat "$work/stray" >&2
    status=1
fi
sed 's/@.*//' "$work/exported.v" | sort -u >"$work/exported"
if ! diff -u "$work/documented" "$work/exported" >"$work/diff"; then
    echo "symbols: the headers (-) and $lib (+) differ:" >&2
    grep -E '^[-+][^-+]' "$work/diff" >&2
    status=1
fi
for must in luSL_Msg_parser_n luSL_Msg_recv_n luSL_version luSL_ApMetricsResp_decode luSL_ChScanRpt_decode msg_sock_fd; do
    grep -qx "$must" "$work/documented" || { echo "symbols: $must is not in the headers" >&2; status=1; }
done
[ "$status" -eq 0 ] && echo "symbols: $(wc -l <"$work/exported") exported at $node, as the headers declare"
exit "$status"
