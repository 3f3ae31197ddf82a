#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Builds luSL and runs every test. Usage: scripts/test.sh [preset]   (default, asan)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
scripts/deps.sh base
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" -j"$(nproc)"
