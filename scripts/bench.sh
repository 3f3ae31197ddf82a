#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Runs the benchmark suite and prints, per case, the floor and the library time per message,
# their ratio, the instructions per message in libluSL's own code (callgrind), the heap
# allocations per message and the cost of the library's log calls; then the receive path
# (luSL_Msg_recv against a raw recvfrom, per datagram length) and the footprint of libluSL.so
# (release presets, stripped: text, data and bss) on x86-64 and armhf. bench/README.md says
# how each figure is taken. Benchmarks report; nothing here fails on a timing.
#
# Figures come from the paired/ benchmarks: floor, luSL_Msg_parser and luSL_Msg_parser_n in
# alternating blocks of about 0.2 ms, medians over the blocks (wall clock). On a shared machine
# the speed drifts by half within seconds, so the two binaries (default and null log sink)
# also take turns for several rounds, and the table shows the medians over every repetition of
# every round. The sink cost compares the two binaries' ratios, each against its own floor.
#
# Usage: scripts/bench.sh [--quick] [--no-footprint] [--no-callgrind]
#   --quick          one short round of one repetition (a smoke run, not figures to quote)
#   --no-footprint   skip the two release builds
#   --no-callgrind   leave the instruction column out (it needs valgrind)
# Environment: LUSL_BENCH_ROUNDS (5), LUSL_BENCH_REPS (3 per round), LUSL_BENCH_JOBS (2),
#   and the build directories LUSL_BENCH_DIR (build/bench), LUSL_RELEASE_DIR (build/release),
#   LUSL_ARMHF_RELEASE_DIR (build/armhf-release).
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=${LUSL_BENCH_ROUNDS:-5}
reps=${LUSL_BENCH_REPS:-3}
jobs=${LUSL_BENCH_JOBS:-2}
bench_dir=${LUSL_BENCH_DIR:-build/bench}
release_dir=${LUSL_RELEASE_DIR:-build/release}
armhf_dir=${LUSL_ARMHF_RELEASE_DIR:-build/armhf-release}
min_time=()
footprint=1
callgrind=1
for arg in "$@"; do
  case "$arg" in
    --quick) rounds=1; reps=1; min_time=(--benchmark_min_time=0.05) ;;
    --no-footprint) footprint=0 ;;
    --no-callgrind) callgrind=0 ;;
    *) echo "bench.sh: unknown argument '$arg'" >&2; exit 2 ;;
  esac
done
command -v python3 >/dev/null || { echo "bench.sh: python3 is needed for the table" >&2; exit 2; }

echo "== building the benchmarks ($bench_dir)"
cmake --preset bench -B "$bench_dir" >/dev/null
cmake --build "$bench_dir" -j"$jobs" >/dev/null

out="$bench_dir/results"
rm -rf "$out"
mkdir -p "$out"
args=(--benchmark_repetitions="$reps" --benchmark_enable_random_interleaving=true
      --benchmark_min_time=0.2 "${min_time[@]}" --benchmark_out_format=json)
# The default sink configuration: no level from the environment, lines to stderr. The lines
# it prints (level 3 and 4) are part of the cost; they go to /dev/null, not to a terminal.
for ((round = 1; round <= rounds; round++)); do
  echo "== round $round of $rounds: default log sink, then null log sink, $reps repetition(s) each"
  env -u LUMAP_LOG_LEVEL -u LUMAP_LOG_SYSLOG "$bench_dir/bench/lusl_bench" "${args[@]}" \
    --benchmark_filter='^(paired|recv)/' --benchmark_out="$out/default.$round.json" >/dev/null 2>&1
  "$bench_dir/bench/lusl_bench_nullsink" "${args[@]}" --benchmark_filter='^paired/' \
    --benchmark_out="$out/nullsink.$round.json" >/dev/null 2>&1
done

# Instruction counts do not depend on the machine's load: one callgrind run per case is enough.
: >"$out/instructions.txt"
if [ "$callgrind" = 1 ] && command -v valgrind >/dev/null; then
  echo "== instructions per message in libluSL (callgrind)"
  mapfile -t cases < <("$bench_dir/bench/lusl_bench_profile")
  python3 bench/own_instructions.py "$bench_dir/bench/lusl_bench_profile" "${cases[@]}" >"$out/instructions.txt"
fi

python3 - "$out" "$rounds" <<'EOF'
import json, statistics, sys

def load(kind):
    """Every repetition of every round, by benchmark name; the context of the first round."""
    ctx, runs = None, {}
    for r in range(1, int(sys.argv[2]) + 1):
        with open(f"{sys.argv[1]}/{kind}.{r}.json") as f:
            doc = json.load(f)
        ctx = ctx or doc["context"]
        for b in doc["benchmarks"]:
            if b.get("run_type") != "iteration":
                continue
            name = b["run_name"].replace("/real_time", "")
            runs.setdefault(name, []).append(None if b.get("error_occurred") else b)
    # Medians of the CPU time and of each counter over the repetitions.
    med = {}
    for name, reps in runs.items():
        if any(b is None for b in reps):
            med[name] = None
            continue
        keys = [k for k, v in reps[0].items() if isinstance(v, (int, float)) and not isinstance(v, bool)]
        med[name] = {k: statistics.median(b[k] for b in reps) for k in keys}
        med[name]["samples"] = len(reps)
    return ctx, med

ctx, runs = load("default")
_, null = load("nullsink")
recv = {k: v for k, v in runs.items() if k.startswith("recv/")}
runs = {k: v for k, v in runs.items() if k.startswith("paired/")}
own = {}
with open(f"{sys.argv[1]}/instructions.txt") as f:
    for line in f:
        if line[:1] not in " \t" and len(line.split()) == 2:
            name, n = line.split()
            own[name] = int(n)
# Cases in the order the suite registers them.
order = {}
for name, b in runs.items():
    case = name.split("/", 1)[1]
    order[case] = min(order.get(case, 1e9), b["family_index"] if b else 1e9)
cases = sorted(order, key=order.get)

def fmt(v, pattern="{:.0f}"):
    return "-" if v is None else pattern.format(v)

def get(b, key):
    return None if b is None else b.get(key)

print()
print(f"{ctx.get('date', '')}  {ctx.get('num_cpus')} CPUs @ {ctx.get('mhz_per_cpu')} MHz, "
      f"luSL {ctx.get('luSL_build', '?')} build, wall clock per message, median of "
      f"{max((b or {}).get('samples', 0) for b in runs.values())} repetitions")
head = ["case", "floor ns", "library ns", "ratio", "own instructions/msg", "parser_n ns", "null-sink ns",
        "sink cost %", "allocs/msg", "expected", "debug lines/msg"]
rows = []
for case in cases:
    lib, nl = runs.get("paired/" + case), null.get("paired/" + case)
    cost = (lib["ratio"] - nl["ratio"]) / lib["ratio"] * 100 if lib and nl else None
    printed = get(nl, "log_printed")
    rows.append([case, fmt(get(lib, "floor_ns")), fmt(get(lib, "library_ns")), fmt(get(lib, "ratio"), "{:.2f}"),
                 fmt(own.get(case), "{:,}"), fmt(get(lib, "library_n_ns")), fmt(get(nl, "library_ns")), fmt(cost, "{:+.1f}"),
                 fmt(get(lib, "allocs"), "{:.4g}"), fmt(get(lib, "allocs_expected")),
                 fmt(get(nl, "log_dropped")) + (f" (+{printed:.0f} printed)" if printed else "")])
print("| " + " | ".join(head) + " |")
print("|" + "|".join("---" for _ in head) + "|")
for r in rows:
    print("| " + " | ".join(r) + " |")
if recv:
    print()
    print("Receive path: luSL_Msg_recv against a raw recvfrom of the same datagram into the same buffer, and")
    print("against the copy floor (a recv into a buffer of its own, then a memcpy of the record) and a")
    print("peek-then-receive straight into the destination")
    head = ["datagram", "bytes", "recvfrom ns", "luSL_Msg_recv ns", "ratio", "copy floor ns", "ratio to it", "peek ns"]
    print("| " + " | ".join(head) + " |")
    print("|" + "|".join("---" for _ in head) + "|")
    for name, b in sorted(recv.items(), key=lambda kv: (kv[1] or {}).get("bytes", 0)):
        print("| " + " | ".join([name.split("/", 1)[1].split("_")[0], fmt(get(b, "bytes")), fmt(get(b, "raw_ns")),
                                 fmt(get(b, "recv_ns")), fmt(get(b, "ratio"), "{:.2f}"), fmt(get(b, "copy_ns")),
                                 fmt(get(b, "ratio_copy"), "{:.2f}"), fmt(get(b, "peek_ns"))]) + " |")
if ctx.get("problems"):
    print("\nproblems: " + ctx["problems"])
EOF

if [ "$footprint" = 1 ]; then
  echo
  echo "== footprint of libluSL.so (release presets, stripped; size: text + data, and bss)"
  report() { # label preset dir tool-prefix
    local label=$1 preset=$2 dir=$3 prefix=$4 tmp text data bss
    if ! command -v "${prefix}size" >/dev/null; then
      echo "$label: ${prefix}size not installed (scripts/deps.sh cross)"; return
    fi
    if ! { cmake --preset "$preset" -B "$dir" && cmake --build "$dir" -j"$jobs" --target luSL; } >"$out/$preset.log" 2>&1; then
      echo "$label: build failed, see $out/$preset.log"; return
    fi
    tmp=$(mktemp)
    cp "$dir/libluSL.so" "$tmp"
    "${prefix}strip" --strip-unneeded "$tmp"
    read -r text data bss _ < <("${prefix}size" -B "$tmp" | tail -n 1)
    # bss holds the process-wide 32 KiB receive buffer: it costs address space, not file or
    # flash, and pages only once touched.
    awk -v l="$label" -v t="$text" -v d="$data" -v b="$bss" -v f="$(stat -c %s "$tmp")" 'BEGIN {
      printf "%-7s text %6d + data %5d = %6d bytes (%.1f KiB); bss %d bytes (%.1f KiB); stripped file %d bytes\n",
             l, t, d, t + d, (t + d) / 1024, b, b / 1024, f
      if (l == "armhf") printf "armhf   text + data %s the 64 KiB limit\n", (t + d <= 65536 ? "within" : "OVER") }'
    rm -f "$tmp"
  }
  report x86-64 release "$release_dir" ""
  report armhf armhf-release "$armhf_dir" arm-linux-gnueabihf-
fi
