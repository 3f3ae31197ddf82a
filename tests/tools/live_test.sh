#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# lusl listen and lusl send, on a veth pair inside a network namespace of the test's own.
#   live_test.sh LUSL HELPER SAMPLE errors|session|flood
# Exits 77 (skipped) where it needs root or network namespaces and has neither.
set -euo pipefail
lusl=$1 helper=$2 sample=$3 mode=$4
work=$(mktemp -d /tmp/lusl-live-XXXXXX)
ns=""
cleanup() {
  if [ -n "$ns" ]; then ip netns delete "$ns" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*" >&2; exit 77; }
in_ns() { ip netns exec "$ns" "$@"; }

# A namespace with its loopback (listen forwards records to 127.0.0.1) and a veth pair
# lu0-lu1 up; nothing outside it is touched.
make_ns() {
  [ "$(id -u)" -eq 0 ] || skip "creating a network namespace needs root"
  command -v ip >/dev/null || skip "ip (iproute2) is not installed"
  ns=lusl-live-$$-$RANDOM
  if ! ip netns add "$ns" 2>"$work/ns.err"; then
    ns=""
    skip "cannot create a network namespace: $(cat "$work/ns.err")"
  fi
  in_ns true 2>"$work/ns.err" || skip "cannot run in the network namespace: $(cat "$work/ns.err")"
  # no IPv6 router solicitations on the pair, so that every frame on it is the test's
  in_ns sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1 || true
  ip -n "$ns" link add name lu0 type veth peer name lu1 2>"$work/ns.err" || skip "no veth pair: $(cat "$work/ns.err")"
  for i in lo lu0 lu1; do ip -n "$ns" link set "$i" up; done
}

# listen on lu0 in the background, its own pid in $lpid, until it is capturing.
start_listen() {
  : >"$work/listen.err"
  timeout 120 ip netns exec "$ns" sh -c 'echo $$ >"$0"; exec "$@"' "$work/listen.pid" \
    "$lusl" listen -i lu0 "$@" >"$work/listen.out" 2>"$work/listen.err" &
  lwait=$!
  for _ in $(seq 400); do
    if grep -q "capturing IEEE 1905 frames on lu0" "$work/listen.err"; then
      lpid=$(cat "$work/listen.pid")
      return
    fi
    kill -0 "$lwait" 2>/dev/null || break
    sleep 0.05
  done
  fail "listen did not start: $(cat "$work/listen.err")"
}
# Waits for listen to end (bounded by its timeout) and checks its exit status.
end_listen() {
  local rc=0
  wait "$lwait" || rc=$?
  [ "$rc" -eq "${1:-0}" ] || fail "listen exited $rc: $(grep -v '^luSL' "$work/listen.err" | tail -5)"
}
get() { "$helper" get "$@"; }
lines() { grep -c "$1" "$2" || true; }

case $mode in
errors)
  for cmd in "listen -i lusl-none0" "send -i lusl-none0 $sample"; do
    rc=0; "$lusl" $cmd >/dev/null 2>"$work/err" || rc=$?
    [ "$rc" -eq 1 ] || fail "$cmd exited $rc"
    grep -q "lusl: lusl-none0: no such interface" "$work/err" || fail "$cmd: $(cat "$work/err")"
  done

  # Without CAP_NET_RAW: dropped from root's capabilities, or absent for anyone else.
  drop=()
  if [ "$(id -u)" -eq 0 ]; then
    command -v setpriv >/dev/null || skip "setpriv (util-linux) is needed to drop CAP_NET_RAW"
    drop=(setpriv --inh-caps=-net_raw --bounding-set=-net_raw --)
  fi
  # An interface that does not exist is named as such even then.
  rc=0; "${drop[@]}" "$lusl" listen -i lusl-none0 >/dev/null 2>"$work/err" || rc=$?
  [ "$rc" -eq 1 ] && grep -q "lusl-none0: no such interface" "$work/err" || fail "without CAP_NET_RAW: $(cat "$work/err")"
  for cmd in "listen -i lo" "send -i lo $sample"; do
    rc=0; "${drop[@]}" "$lusl" $cmd >/dev/null 2>"$work/err" || rc=$?
    if [ "$(id -u)" -ne 0 ] && [ "$rc" -ne 1 ] && ! grep -q "no permission" "$work/err"; then
      skip "$lusl can capture without root (file capabilities?)"
    fi
    [ "$rc" -eq 1 ] || fail "$cmd without CAP_NET_RAW exited $rc"
    grep -q "lusl: lo: no permission to .* on it: run as root, or give the binary CAP_NET_RAW (setcap cap_net_raw+ep " \
      "$work/err" || fail "$cmd without CAP_NET_RAW: $(cat "$work/err")"
  done

  make_ns
  # A capture file that cannot be written is an output failure, told at the end.
  rc=0; in_ns timeout 60 "$lusl" listen -i lu0 -w /dev/full --duration 0.2 >/dev/null 2>"$work/err" || rc=$?
  [ "$rc" -eq 2 ] || fail "listen -w /dev/full exited $rc"
  grep -q "lusl: /dev/full: write failed" "$work/err" || fail "listen -w /dev/full: $(cat "$work/err")"

  # A link type without Ethernet headers: a tun device carries bare IP packets.
  ip -n "$ns" tuntap add dev lut0 mode tun 2>"$work/tun.err" || skip "no tun device: $(cat "$work/tun.err")"
  ip -n "$ns" link set lut0 up
  for cmd in "listen -i lut0" "send -i lut0 $sample"; do
    rc=0; in_ns "$lusl" $cmd >/dev/null 2>"$work/err" || rc=$?
    [ "$rc" -eq 1 ] || fail "$cmd exited $rc"
    grep -q "lusl: lut0: link type RAW .*not" "$work/err" || fail "$cmd: $(cat "$work/err")"
  done
  ;;

session)
  make_ns
  "$lusl" replay --dump --json --port 0 "$sample" >"$work/replay.out" 2>/dev/null
  n=$(get "$work/replay.out" /ieee1905_frames)
  tx=$(in_ns cat /sys/class/net/lu1/statistics/tx_packets)

  start_listen --dump --json --port 0 --count "$n" --write "$work/wire.pcap" --write-channel "$work/channel.pcap"
  in_ns timeout 60 "$lusl" send -i lu1 --json "$sample" >"$work/send.out" 2>"$work/send.err" ||
    fail "send exited $?: $(cat "$work/send.err")"
  end_listen
  [ "$(get "$work/send.out" /sent)" -eq "$n" ] || fail "send: $(cat "$work/send.out")"
  [ "$(get "$work/send.out" /other_frames)" -gt 0 ] || fail "the sample has frames of other protocols to leave out"
  # Only the capture's IEEE 1905 frames left lu1, as they were captured.
  [ $(($(in_ns cat /sys/class/net/lu1/statistics/tx_packets) - tx)) -eq "$n" ] || fail "lu1 sent other frames too"
  "$helper" same-frames "$sample" "$work/wire.pcap" >/dev/null || fail "the frames listen kept differ from the sample's"
  # Every record replay prints arrived, the reassembled CMDU too, and the summaries agree.
  "$helper" same-records "$work/replay.out" "$work/listen.out" >/dev/null || fail "listen's records differ from replay's"
  for k in /types /not_parsed /fragments/reassembled /ieee1905_frames; do
    [ "$(get "$work/listen.out" $k)" = "$(get "$work/replay.out" $k)" ] || fail "summary $k differs"
  done
  [ "$(get "$work/listen.out" /fragments/reassembled)" -ge 1 ] || fail "no fragmented CMDU in the sample"
  [ "$(get "$work/listen.out" /interface)" = lu0 ] || fail "the summary does not name the interface"
  # The channel capture holds what was printed.
  "$lusl" dump --read "$work/channel.pcap" --json >"$work/channel.out" 2>"$work/channel.err" ||
    fail "dump --read of listen's channel capture: $(cat "$work/channel.err")"
  "$helper" same-datagrams "$work/listen.out" "$work/channel.out" >/dev/null || fail "the channel capture differs from the records"

  # Of frames that are not whole IEEE 1905 frames, none is sent.
  "$helper" odd "$work/odd.pcap"
  tx=$(in_ns cat /sys/class/net/lu1/statistics/tx_packets)
  in_ns timeout 60 "$lusl" send -i lu1 --json "$work/odd.pcap" >"$work/send.out" 2>"$work/send.err" ||
    fail "send of odd frames exited $?: $(cat "$work/send.err")"
  for k in /sent /other_frames /malformed_frames /cut_frames; do
    [ "$(get "$work/send.out" $k)" -eq 1 ] || fail "send of odd frames: $k: $(cat "$work/send.out")"
  done
  [ $(($(in_ns cat /sys/class/net/lu1/statistics/tx_packets) - tx)) -eq 1 ] || fail "lu1 sent more than the whole CMDU"

  # Two message types at a set rate; listen runs until SIGTERM and prints its summary then.
  start_listen --dump --json --port 0
  ip -n "$ns" maddr show dev lu0 | grep -q "link  *01:80:c2:00:00:13" || fail "listen did not join the 1905 multicast group"
  in_ns timeout 60 "$lusl" send -i lu1 --type 0x8025,0x8033 --rate 200 "$sample" >"$work/send.out" 2>&1 ||
    fail "send --type --rate exited $?: $(cat "$work/send.out")"
  grep -q "^Sent 3 IEEE 1905 frames of " "$work/send.out" || fail "send --type: $(cat "$work/send.out")"
  for _ in $(seq 400); do [ "$(lines '"type":"0x80' "$work/listen.out")" -ge 2 ] && break; sleep 0.05; done
  kill -TERM "$lpid"
  end_listen
  [ "$(lines '"record"' "$work/listen.out")" -eq 2 ] || fail "records after SIGTERM: $(cat "$work/listen.out")"
  [ "$(get "$work/listen.out" /frames)" -eq 3 ] || fail "no summary after SIGTERM: $(tail -1 "$work/listen.out")"
  ip -n "$ns" maddr show dev lu0 | grep -q "01:80:c2:00:00:13" && fail "the 1905 multicast group outlived listen"
  ;;

flood)
  make_ns
  mids=3000 frags=10
  "$helper" flood "$work/flood.pcap" $mids $frags
  start_listen --dump --json --port 0 --promisc
  hwm() { awk '/^VmHWM:/ { print $2 }' "/proc/$lpid/status"; }
  before=$(hwm)
  # Again while the kernel drops much of it (a loaded machine), until well past the bounds:
  # 1500 CMDUs given up are 20 MB of fragments.
  for sends in $(seq 10); do
    in_ns timeout 60 "$lusl" send -i lu1 "$work/flood.pcap" >/dev/null 2>"$work/send.err" ||
      fail "send exited $?: $(cat "$work/send.err")"
    [ "$(lines 'incomplete CMDU' "$work/listen.err")" -ge 1500 ] && break
  done
  after=$(hwm)
  kill -INT "$lpid"
  end_listen

  frames=$(get "$work/listen.out" /frames)
  incomplete=$(get "$work/listen.out" /fragments/incomplete)
  echo "flood: $frames of $((sends * mids * frags)) frames captured, $(get "$work/listen.out" /dropped) dropped," \
       "$incomplete incomplete CMDUs; peak RSS $before kB before, $after kB after;" \
       "at most $(get "$work/listen.out" /fragments/peak_open) assemblies and" \
       "$(get "$work/listen.out" /fragments/peak_bytes) bytes held"
  # The flood must have been more than the bounds hold, or it shows nothing.
  [ $((frames * 1400)) -gt $((3 * 4 * 1024 * 1024)) ] || fail "only $frames frames of the flood were captured"
  [ "$(get "$work/listen.out" /fragments/peak_open)" -le 1024 ] || fail "more than 1024 assemblies open"
  [ "$(get "$work/listen.out" /fragments/peak_bytes)" -le $((4 * 1024 * 1024)) ] || fail "more than 4 MiB held"
  [ "$(get "$work/listen.out" /fragments/reassembled)" -eq 0 ] || fail "a CMDU of the flood was completed"
  # Every CMDU given up is reported, with what arrived of it.
  [ "$incomplete" -gt 1024 ] || fail "only $incomplete incomplete CMDUs reported"
  [ "$(lines 'incomplete CMDU: Channel Scan Report (0x801C) id .* from 02:f1:00:00:00:01 .* the last never came' \
        "$work/listen.err")" -eq "$incomplete" ] || fail "not every incomplete CMDU was reported"
  # Sanitizers keep freed memory aside and map shadow memory: RSS says nothing there.
  if ! grep -qa __asan_init "$lusl"; then
    [ $((after - before)) -lt $((12 * 1024)) ] || fail "peak RSS grew by $((after - before)) kB during the flood"
  fi
  ;;

*) echo "usage: $0 LUSL HELPER SAMPLE errors|session|flood" >&2; exit 2 ;;
esac
echo "live $mode: ok"
