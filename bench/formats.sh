#!/usr/bin/env bash
# Whole runs of Logvane over one generated combined log written in every
# layout it reads (combined, vhost_combined, an Apache and an nginx format
# string, JSON lines): wall time, lines/s and peak RSS per layout, on every
# core and with THREADS=1, the best of ROUNDS, runs in alternation.
# LOOKUP=N, every section on.
#   bench/formats.sh                 # 5 M lines, three rounds
#   bench/formats.sh 1000000 5
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BENCH_BUILD:-$root/build-bench}"  # BENCH_BUILD: an existing build to use
work="$build/formats"
lines="${1:-5000000}"
rounds="${2:-3}"
# An existing build is used as it is configured.
[ -n "${BENCH_BUILD:-}" ] ||
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLOGVANE_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target logvane gen_log convert_log run_measured >/dev/null
mkdir -p "$work"
source_log="$work/access-$lines.log"
[ -s "$source_log" ] || "$build/gen_log" "$lines" 1 "$source_log"

layouts="combined vhost_combined apache nginx json"
declare -A best=() rss=()
for layout in $layouts; do
  log="$work/$layout-$lines.log"
  format=""
  if [ "$layout" = combined ]; then
    log="$source_log"
  else
    [ -s "$log" ] || "$build/convert_log" "$layout" "$source_log" "$log" 2>"$work/$layout.format"
    format="$(cat "$work/$layout.format")"
  fi
  printf 'INFILE=%s\nOUTFILE=%s/%s.html\nLOOKUP=N\n%s\n' "$log" "$work" "$layout" "$format" \
    > "$work/$layout.dat"
  { cat "$work/$layout.dat"; echo THREADS=1; } > "$work/$layout-1.dat"
done
runs=""
for layout in $layouts; do runs="$runs $layout $layout-1"; done

for ((round = 0; round < rounds; round++)); do
  for run in $runs; do
    read -r seconds kib status < <(cd "$work" && "$build/run_measured" -- "$build/logvane" "$run.dat")
    [ "$status" = 0 ] || { echo "$run: exit status $status" >&2; exit 1; }
    if [ -z "${best[$run]:-}" ] || awk "BEGIN { exit !($seconds < ${best[$run]}) }"; then
      best[$run]=$seconds
      rss[$run]=$kib
    fi
  done
done

printf '%-16s %-8s %10s %14s %10s %9s\n' layout threads seconds "lines/s" MB/s "RSS MiB"
for run in $runs; do
  layout="${run%-1}"
  threads=all
  [ "$run" != "$layout" ] && threads=1
  log="$work/$layout-$lines.log"
  [ "$layout" = combined ] && log="$source_log"
  bytes=$(stat -L -c %s "$log")
  awk -v l="$layout" -v t="$threads" -v s="${best[$run]}" -v n="$lines" -v b="$bytes" \
    -v r="${rss[$run]}" \
    'BEGIN { printf "%-16s %-8s %10.2f %14.0f %10.1f %9.1f\n", l, t, s, n / s, b / s / 1048576, r / 1024 }'
done
