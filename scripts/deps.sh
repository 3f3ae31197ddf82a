#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Installs what building and testing luSL needs on Debian 12, when it is missing.
# Usage: scripts/deps.sh [base|tools|cross|fuzz|bench|leak|tidy|capture|package|all]...
set -euo pipefail

want=(cmake ninja-build g++ clang pkg-config libgtest-dev libgmock-dev
      libpcap-dev libcli11-dev nlohmann-json3-dev)
for extra in "$@"; do
  case "$extra" in
    base|tools) ;;
    cross) want+=(g++-arm-linux-gnueabihf qemu-user binutils-arm-linux-gnueabihf googletest) ;;
    fuzz) want+=(libclang-rt-14-dev) ;;
    bench) want+=(libbenchmark-dev valgrind) ;;
    leak) want+=(valgrind) ;;
    capture) want+=(wireshark-common tshark tcpdump iproute2) ;; # editcap, tshark and tcpdump for the capture tests, ip for the live tests
    tidy) want+=(clang-tidy) ;;
    # Debian packages, lintian, the ABI check, the manual's lint and man(1)
    package) want+=(build-essential dpkg-dev debhelper lintian abigail-tools mandoc man-db) ;;
    all) want+=(g++-arm-linux-gnueabihf qemu-user binutils-arm-linux-gnueabihf libclang-rt-14-dev
               libbenchmark-dev valgrind clang-tidy tshark tcpdump iproute2
               build-essential dpkg-dev debhelper lintian abigail-tools mandoc man-db) ;;
    *) echo "deps.sh: unknown set '$extra'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
