#!/usr/bin/env bash
# What the time-taken field costs: one generated log converted to the nginx
# layout with $request_time, read with the field (the Response Times section
# filled) and with the same bytes read as a field of no meaning (the format
# names it $request_timed), and a combined log read plainly and under FROM and
# UNTIL. Instruction counts from callgrind (THREADS=1, LINES_CG lines), which
# a shared machine cannot disturb, and beside them the best wall time of
# ROUNDS whole runs on every core (LINES lines), runs in alternation.
#   bench/times.sh                   # 5 M lines, 200,000 under callgrind, 3 rounds
#   bench/times.sh 1000000 100000 5
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BENCH_BUILD:-$root/build-bench}"  # BENCH_BUILD: an existing build to use
work="$build/times"
lines="${1:-5000000}"
lines_cg="${2:-200000}"
rounds="${3:-3}"
[ -n "${BENCH_BUILD:-}" ] ||
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLOGVANE_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target logvane gen_log convert_log run_measured >/dev/null
mkdir -p "$work"

# The runs: name, log, parameter lines.
make_runs() {
  local n="$1" suffix="$2"
  local combined="$work/combined-$n.log" nginx="$work/nginx-$n.log"
  [ -s "$combined" ] || "$build/gen_log" "$n" 1 "$combined"
  [ -s "$nginx" ] || "$build/convert_log" nginx "$combined" "$nginx" 2>"$work/nginx.format"
  local format untimed
  format="$(cat "$work/nginx.format")"
  untimed="${format/\$request_time/\$request_timed}"
  printf 'INFILE=%s\nOUTFILE=%s/out.html\nLOOKUP=N\n%s\n' "$nginx" "$work" "$format" \
    >"$work/timed$suffix.dat"
  printf 'INFILE=%s\nOUTFILE=%s/out.html\nLOOKUP=N\n%s\n' "$nginx" "$work" "$untimed" \
    >"$work/untimed$suffix.dat"
  printf 'INFILE=%s\nOUTFILE=%s/out.html\nLOOKUP=N\n' "$combined" "$work" \
    >"$work/combined$suffix.dat"
  printf 'INFILE=%s\nOUTFILE=%s/out.html\nLOOKUP=N\nFROM=2026-11-05\nUNTIL=2026-11-25\n' \
    "$combined" "$work" >"$work/ranged$suffix.dat"
}
make_runs "$lines_cg" -cg
make_runs "$lines" ""
runs="untimed timed combined ranged"

printf '%-10s %16s %12s\n' run instructions "per line"
for run in $runs; do
  { cat "$work/$run-cg.dat"; echo THREADS=1; } >"$work/$run-cg1.dat"
  (cd "$work" && valgrind --tool=callgrind --callgrind-out-file="$work/$run.callgrind" \
    "$build/logvane" "$run-cg1.dat" >/dev/null 2>&1)
  total=$(grep -m1 '^summary:' "$work/$run.callgrind" | awk '{print $2}')
  awk -v r="$run" -v t="$total" -v n="$lines_cg" 'BEGIN { printf "%-10s %16d %12.0f\n", r, t, t / n }'
done

declare -A best=()
for ((round = 0; round < rounds; round++)); do
  for run in $runs; do
    read -r seconds kib status < <(cd "$work" && "$build/run_measured" -- "$build/logvane" "$run.dat")
    [ "$status" = 0 ] || { echo "$run: exit status $status" >&2; exit 1; }
    if [ -z "${best[$run]:-}" ] || awk "BEGIN { exit !($seconds < ${best[$run]}) }"; then
      best[$run]=$seconds
    fi
  done
done
printf '%-10s %10s %14s\n' run seconds "lines/s"
for run in $runs; do
  awk -v r="$run" -v s="${best[$run]}" -v n="$lines" \
    'BEGIN { printf "%-10s %10.2f %14.0f\n", r, s, n / s }'
done
