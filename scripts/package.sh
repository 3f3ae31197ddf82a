#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Builds the Debian packages from this tree (tests left to the other CI stages), checks them
# with lintian, installs them into this machine and uses them as an integrator would: the C
# examples built with pkg-config and with find_package(luSL), the installed tool replaying
# the shipped sample, its manual and completion, the installed library against the ABI
# baseline.
#
# Usage: scripts/package.sh [--build-only|--check-only] [OUT_DIR]   (default: build/packages)
# Installing needs root (or sudo). --build-only stops after lintian; --check-only checks the
# packages installed already.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
build=1 install=1
case "${1:-}" in
--build-only) install=0; shift ;;
--check-only) build=0 install=0; shift ;;
esac
out=${1:-build/packages}
mkdir -p "$out" && out=$(cd "$out" && pwd)
version=$(sed -n 's/^project(luSL VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
step() { echo "== package: $*"; }

if [ "$build" = 1 ]; then
# The packages are built from a copy: dpkg-buildpackage writes beside the source tree.
step "building lusl $version ($arch)"
tree="$work/lusl-$version"
mkdir "$tree"
git ls-files -z --cached --others --exclude-standard |
    tar -cf - --null --ignore-failed-read -T - 2>/dev/null | tar -xf - -C "$tree"
if ! (cd "$tree" && DEB_BUILD_OPTIONS="nocheck parallel=$(nproc)" \
        dpkg-buildpackage -b -us -uc -Pnocheck) >"$work/build.log" 2>&1; then
    tail -n 60 "$work/build.log" >&2
    echo "package: dpkg-buildpackage failed (log above)" >&2
    exit 1
fi
rm -f "$out"/*.deb "$out"/*.changes "$out"/*.buildinfo
cp "$work"/*.deb "$work"/*.changes "$work"/*.buildinfo "$out"/
ls -1 "$out"

step "lintian"
lintian --fail-on error --tag-display-limit 0 "$out"/lusl_"${version}"_"$arch".changes

[ "$install" = 1 ] || exit 0

step "installing"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    --allow-downgrades --reinstall "$out"/*_"${version}"_"$arch".deb >/dev/null
fi
dpkg-query -W -f='${Package} ${Version}\n' liblusl1 liblusl-dev lusl-tools lusl-platform-stubs

fail() { echo "package: $*" >&2; exit 1; }
examples=/usr/share/doc/liblusl-dev/examples
t="$work/check"
mkdir -p "$t"

step "the C examples with pkg-config"
for p in daemon_parser steering_receiver; do
    cc -std=c11 -Wall -Wextra -Wpedantic -Werror $(pkg-config --cflags luSL) \
        "$examples/$p.c" -o "$t/$p" $(pkg-config --libs luSL)
done
sh "$examples/run.sh" "$t" "$examples"

step "the C examples with find_package(luSL)"
cmake -S "$examples" -B "$t/cmake" -G Ninja >/dev/null
cmake --build "$t/cmake" >/dev/null
sh "$examples/run.sh" "$t/cmake" "$examples"

step "the installed tool"
lusl=/usr/bin/lusl
[ "$($lusl --version)" = "lusl $version (libluSL $version)" ] || fail "lusl --version: $($lusl --version)"
sample=/usr/share/luSL/samples/mesh-session.pcap
$lusl -q replay "$sample" --dump --json >"$t/records.json" 2>"$t/replay.err" ||
    { cat "$t/replay.err" >&2; fail "lusl replay of the sample failed"; }
# Every record forwarded came back over the tool's private port and was printed.
total() { tail -n 1 "$t/records.json" | grep -o "\"$1\":[0-9]*" | tail -n 1 | cut -d: -f2; }
records=$(grep -c '^{"type"' "$t/records.json" || true)
echo "lusl replay $sample: $records records printed, $(total forwarded) forwarded, $(total delivered) delivered"
[ "$records" -gt 0 ] && [ "$records" = "$(total forwarded)" ] && [ "$records" = "$(total delivered)" ] ||
    fail "lusl replay of the sample lost records"
for f in "$lusl" /usr/lib/"$multiarch"/libluSL.so.1; do
    ! readelf -d "$f" | grep -Eq 'RPATH|RUNPATH' || fail "$f carries a RUNPATH"
done

step "man lusl"
man_args=(lusl)
if [ -e /usr/share/man/man1/lusl.1.gz ]; then
    man -w lusl
else
    # Slim images keep dpkg from unpacking manuals (path-exclude): read the packaged one.
    echo "package: /usr/share/man not unpacked on this machine; reading the page from the package"
    dpkg-deb -x "$out"/lusl-tools_"${version}"_"$arch".deb "$t/tools"
    man_args=(-l "$t/tools/usr/share/man/man1/lusl.1.gz")
fi
warnings=$(MANWIDTH=80 man --warnings "${man_args[@]}" 2>&1 >"$t/man.txt") || fail "man lusl: $warnings"
[ -z "$warnings" ] || fail "man lusl warns: $warnings"
grep -q 'lusl replay' "$t/man.txt" || fail "man lusl shows no 'lusl replay'"

step "bash completion"
bash -c 'source /usr/share/bash-completion/completions/lusl
         COMP_WORDS=(lusl rep); COMP_CWORD=1; _lusl; [ "${COMPREPLY[*]}" = replay ] || exit 1
         COMP_WORDS=(lusl dump --js); COMP_CWORD=2; _lusl; [ "${COMPREPLY[*]}" = --json ]' ||
    fail "the completion does not complete 'lusl rep' and 'lusl dump --js'"

step "the installed library against the ABI baseline"
"$src/scripts/abi.sh" check /usr/lib/"$multiarch"/libluSL.so.1 /usr/lib/debug

step "ok"
