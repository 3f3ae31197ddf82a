#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Builds luSL and its tool, then replays the bundled mesh session through the library and
# prints every record that arrives on the loopback socket, decoded.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh base
cmake --preset default >/dev/null
cmake --build --preset default --target lusl
exec build/default/tools/lusl replay samples/mesh-session.pcap --dump "$@"
