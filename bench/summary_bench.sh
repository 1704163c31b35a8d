#!/usr/bin/env bash
# What TABLES=SUMMARY and the distinct counts cost, in instructions
# (callgrind, THREADS=1: wall times on a shared machine are noise) and wall
# times (best of ROUNDS, two threads), and the peak memory with two threads
# when every client is new (10 M distinct clients).
#   bench/summary_bench.sh [ROUNDS]
# Logs (build-bench/summary/): the 5 M-line benchmark log (gen_log 5000000
# 1) and its first 1 M lines; gen_distinct logs of 500 k lines (every line
# a new client, 500 k pages) and of 12 M lines with 10 M distinct clients.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-bench"
work="$build/summary"
rounds="${1:-3}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLOGVANE_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target logvane gen_log gen_distinct run_measured >/dev/null
mkdir -p "$work"
cd "$work"
[ -f access-5M.log ] || "$build/gen_log" 5000000 1 access-5M.log
[ -f access-1M.log ] || head -n 1000000 access-5M.log >access-1M.log
[ -f distinct-500k.log ] || "$build/gen_distinct" 500000 1000000 500000 5 distinct-500k.log
[ -f distinct-10M.log ] || "$build/gen_distinct" 12000000 10000000 1000000 9 distinct-10M.log

params() {  # dir log extra-lines
  mkdir -p "$1"
  printf 'INFILE=%s\nOUTFILE=%s/report.html\nLOOKUP=N\nROBOTS=RPT\n%b' "$2" "$1" "$3" >"$1/p.dat"
}

echo "== instructions (callgrind, THREADS=1)"
for run in "access-1M.log|" "access-1M.log|TABLES=SUMMARY\n" "distinct-500k.log|" \
    "distinct-500k.log|TABLES=SUMMARY\n" "distinct-500k.log|STYLE=MODERN\n" \
    "distinct-500k.log|STYLE=MODERN\nTABLES=SUMMARY\n"; do
  log="${run%%|*}" extra="${run#*|}"
  dir="$work/cg"
  params "$dir" "$work/$log" "THREADS=1\n$extra"
  (cd "$dir" && valgrind --tool=callgrind --callgrind-out-file="$dir/cg.out" "$build/logvane" p.dat \
    >/dev/null 2>&1)
  printf '%-20s %-32s %s\n' "$log" "$(printf '%b' "$extra" | tr '\n' ' ')" \
    "$(grep -m1 '^summary:' "$dir/cg.out" | cut -d' ' -f2) instructions"
done

echo "== wall time (best of $rounds) and peak RSS, THREADS=2"
for run in "access-5M.log|" "access-5M.log|TABLES=SUMMARY\n" "distinct-10M.log|" \
    "distinct-10M.log|TABLES=SUMMARY\n" "distinct-10M.log|TABLES=SUMMARY\nSTYLE=MODERN\n"; do
  log="${run%%|*}" extra="${run#*|}"
  dir="$work/wall"
  params "$dir" "$work/$log" "THREADS=2\n$extra"
  best="" rss=""
  for ((r = 0; r < rounds; ++r)); do
    read -r seconds kib _ < <(cd "$dir" && "$build/run_measured" -- "$build/logvane" p.dat)
    if [ -z "$best" ] || awk "BEGIN{exit !($seconds < $best)}"; then best="$seconds"; fi
    rss="$kib"
  done
  printf '%-18s %-36s %8s s %8s KiB\n' "$log" "$(printf '%b' "$extra" | tr '\n' ' ')" "$best" "$rss"
done
