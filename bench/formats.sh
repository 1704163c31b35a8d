#!/usr/bin/env bash
# Whole runs of Logvane over one generated combined log written in every
# layout it reads (combined, vhost_combined, an Apache and an nginx format
# string, JSON lines): wall time, lines/s and peak RSS per layout, the best
# of ROUNDS, layouts in alternation. LOOKUP=N, every section on.
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
done

for ((round = 0; round < rounds; round++)); do
  for layout in $layouts; do
    read -r seconds kib status < <(cd "$work" && "$build/run_measured" -- "$build/logvane" "$layout.dat")
    [ "$status" = 0 ] || { echo "$layout: exit status $status" >&2; exit 1; }
    if [ -z "${best[$layout]:-}" ] || awk "BEGIN { exit !($seconds < ${best[$layout]}) }"; then
      best[$layout]=$seconds
      rss[$layout]=$kib
    fi
  done
done

printf '%-16s %10s %14s %10s %9s\n' layout seconds "lines/s" MB/s "RSS MiB"
for layout in $layouts; do
  log="$work/$layout-$lines.log"
  [ "$layout" = combined ] && log="$source_log"
  bytes=$(stat -c %s "$log")
  awk -v l="$layout" -v s="${best[$layout]}" -v n="$lines" -v b="$bytes" -v r="${rss[$layout]}" \
    'BEGIN { printf "%-16s %10.2f %14.0f %10.1f %9.1f\n", l, s, n / s, b / s / 1048576, r / 1024 }'
done
