#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Builds the libFuzzer targets and runs each for a while on a scratch copy of its seed
# corpus. Usage: scripts/fuzz.sh [seconds-per-target]   (default 60). Any crash fails.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-60}
scripts/deps.sh fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
declare -A max_len=([parse]=16384 [client]=4096 [decode]=32762)
for t in parse client decode; do
  mkdir -p "$work/$t" "$work/$t-art"
  cp fuzz/corpus/$t/* "$work/$t/" 2>/dev/null || true
  echo "== fuzz_$t for ${secs}s"
  if ! build/fuzz/fuzz/fuzz_$t -max_total_time="$secs" -max_len="${max_len[$t]}" -dict="fuzz/$t.dict" -print_final_stats=1 \
       -artifact_prefix="$work/$t-art/" "$work/$t" >"$work/$t.log" 2>&1; then
    tail -n 40 "$work/$t.log"
    for a in "$work/$t-art"/*; do [ -f "$a" ] && { echo "crashing input ($a):"; od -An -tx1 "$a" | head -20; }; done
    exit 1
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec)|cov:' "$work/$t.log" | tail -n 3
done
