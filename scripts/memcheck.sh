#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Runs every test executable of a build under valgrind memcheck: zero errors, zero leaks.
# Usage: scripts/memcheck.sh [build-dir]   (default build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
status=0
for exe in "$build"/tests/lusl_*_tests "$build"/tests/platform_tests; do
  [ -x "$exe" ] || continue
  # The tool suite spawns the CLI; it has its own checks.
  case "$exe" in *lusl_tools_tests) continue ;; esac
  echo "== memcheck $(basename "$exe")"
  if ! valgrind -q --error-exitcode=99 --leak-check=full --show-leak-kinds=definite,indirect,possible \
       --errors-for-leak-kinds=definite,indirect,possible --track-fds=no \
       "$exe" --gtest_brief=1 >"/tmp/memcheck.$$.log" 2>&1; then
    tail -n 60 "/tmp/memcheck.$$.log"
    status=1
  fi
done
rm -f "/tmp/memcheck.$$.log"
[ "$status" -eq 0 ] && echo "memcheck: 0 errors, 0 leaks"
exit "$status"
