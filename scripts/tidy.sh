#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# clang-tidy on the library sources, with the build's compile commands.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
[ -f "$build/compile_commands.json" ] || { echo "tidy: configure $build first" >&2; exit 2; }
find src -name '*.cpp' -print0 | xargs -0 -n4 -P"$(nproc)" clang-tidy -p "$build" --quiet
echo "clang-tidy: clean"
