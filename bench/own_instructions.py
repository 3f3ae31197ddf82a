#!/usr/bin/env python3
# SPDX-License-Identifier: BSD-2-Clause
"""Instructions per message spent in libluSL's own code.

Runs lusl_bench_profile under callgrind twice, with N and 3N messages, and takes the self
cost of every function whose object is libluSL.so*: libc, the log sink and the benchmark are
not counted, and the difference of the two runs leaves out set-up, tear-down and the first
call's symbol binding. Instruction counts do not depend on the machine's load, so they can
be compared from one run to the next where times cannot.

Usage: bench/own_instructions.py [--functions] <lusl_bench_profile> <case>... [-n N]   (N = 10)
  prints "<case> <instructions per message>" per case; --functions adds the functions
  of libluSL that take at least 1 % of it.
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile

OWN = "libluSL.so"
NAME = re.compile(r"(?:c?ob|c?fn)=(\(\d+\))?\s*(.*)")


def own_cost(path):
    """Self instructions per function of the objects named libluSL.so* in a callgrind file."""
    names = {}            # compressed "(id)" -> name, per kind (ob, fn)
    ob = fn = ""
    skip_next = False     # the cost line after calls= is the call's inclusive cost
    costs = {}
    with open(path) as f:
        for line in f:
            head = line[:4]
            if head.startswith(("ob=", "cob=", "fn=", "cfn=")):
                kind = "ob" if "ob=" in head else "fn"
                m = NAME.match(line.rstrip("\n"))
                ident, name = m.group(1), m.group(2)
                # A name is given once, where it is first used; "(id)" alone after that.
                if ident and name:
                    names[kind, ident] = name
                name = name or names.get((kind, ident), "")
                if head.startswith("ob="):
                    ob = name
                elif head.startswith("fn="):
                    fn = name
            elif line.startswith("calls="):
                skip_next = True
            elif line[:1].isdigit() or line[:1] in "+-*":
                if skip_next:
                    skip_next = False
                    continue
                parts = line.split()
                if len(parts) >= 2 and os.path.basename(ob).startswith(OWN):
                    costs[fn] = costs.get(fn, 0) + int(parts[1])
    return costs


def run(exe, case, n, tmp):
    out = os.path.join(tmp, f"cg.{case}.{n}")
    subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}", exe, case, str(n)],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return own_cost(out)


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--functions", action="store_true", help="per-function breakdown")
    p.add_argument("-n", type=int, default=10, help="messages of the shorter run")
    p.add_argument("exe")
    p.add_argument("cases", nargs="+")
    a = p.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        for case in a.cases:
            lo = run(a.exe, case, a.n, tmp)
            hi = run(a.exe, case, 3 * a.n, tmp)
            per = {fn: (hi.get(fn, 0) - lo.get(fn, 0)) / (2 * a.n) for fn in set(lo) | set(hi)}
            total = sum(per.values())
            print(f"{case} {round(total)}")
            if a.functions:
                for fn, v in sorted(per.items(), key=lambda kv: -kv[1]):
                    if v >= total / 100:
                        print(f"    {round(v):>9}  {fn}")
            sys.stdout.flush()


if __name__ == "__main__":
    main()
