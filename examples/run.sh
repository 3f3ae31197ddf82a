#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause
# Runs the two examples against each other: the receiver takes the records that the
# parser sends for examples/cmdus.txt, and both say what they saw.
# Usage: examples/run.sh BIN_DIR [SOURCE_DIR]
set -eu
bin=$1 src=${2:-$(dirname "$0")}
port=$((20000 + $$ % 20000))
out=$(mktemp)
trap 'rm -f "$out"; kill "$rx" 2>/dev/null || true' EXIT
"$bin/steering_receiver" "$port" 2 >"$out" &
rx=$!
sleep 0.3
# Not tee /dev/stderr: where stderr is a file, reopening it truncates it.
said=$(LUMAP_LOG_LEVEL=0 "$bin/daemon_parser" "$port" <"$src/cmdus.txt")
echo "$said"
echo "$said" | grep -qx "daemon_parser: 2 sent, 1 refused"
wait "$rx"
cat "$out"
grep -q "^0x0001 15 bytes: client 02:00:00:00:0a:01 bssid 02:a1:00:00:24:01 joined$" "$out"
grep -q "^0x0001 15 bytes: client 02:00:00:00:0a:02 bssid 02:a1:00:00:24:01 left$" "$out"
