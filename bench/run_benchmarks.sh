#!/usr/bin/env bash
# Three figures for a full emulated run of the utility (not a test; nothing here passes or fails):
#   1. device-control calls in a successful run (the protocol needs 25);
#   2. heap allocations during a run beyond those of an empty C++ program (goal 0), by valgrind;
#   3. wall time of a run relative to the empty program, measured side by side (goal <= 1.2).
# Builds the default preset first. RUNS sets how many timed runs of each (default 400).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset default >/dev/null
cmake --build --preset default --target qx17_701 qx17_emu empty_program >/dev/null
build=build/default
runs=${RUNS:-400}

calls=$("$build/qx17_emu" </dev/null 2>&1 >/dev/null | sed -n 's/^\([0-9]*\) device-control calls.*/\1/p')

allocations() {
  valgrind --tool=memcheck "$1" </dev/null 2>&1 >/dev/null |
    sed -n 's/.*total heap usage: \([0-9,]*\) allocs.*/\1/p' | tr -d ,
}
run_allocs=$(allocations "$build/qx17_701")
empty_allocs=$(allocations "$build/empty_program")

ratio=$(python3 - "$build/qx17_701" "$build/empty_program" "$runs" <<'PY'
import statistics, subprocess, sys, time
utility, empty, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
times = {utility: [], empty: []}
with open("/dev/null", "rb") as none_in, open("/dev/null", "wb") as none_out:
    for _ in range(runs):
        for program in (utility, empty):  # alternate, so both see the same machine
            start = time.perf_counter()
            subprocess.run([program], stdin=none_in, stdout=none_out, check=True)
            times[program].append(time.perf_counter() - start)
u, e = statistics.median(times[utility]), statistics.median(times[empty])
print(f"{u / e:.3f} (median {u * 1e6:.0f} us against {e * 1e6:.0f} us, {runs} runs each)")
PY
)

echo "device-control calls in a successful run: $calls (protocol minimum 25)"
echo "heap allocations during a run beyond an empty program: $((run_allocs - empty_allocs)) ($run_allocs against $empty_allocs; goal 0)"
echo "wall time relative to an empty program: $ratio (goal at most 1.2)"
