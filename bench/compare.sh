#!/usr/bin/env bash
# Side-by-side benchmark: the same generated combined log, read by Logvane
# (LOOKUP=N, every section on) and, where they are installed, by GoAccess,
# Webalizer and Analog from Debian's packages, in alternation, plus cat and
# wc -l as the floor and a one-line mawk field split. Prints lines/s, MB/s, peak RSS and each tool's time
# divided by Logvane's.
#   bench/compare.sh               # 1 M and 5 M lines, one round
#   bench/compare.sh 1000000 3     # one size, three rounds (best time kept)
# Peers: apt-get install goaccess webalizer analog
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-bench"
work="$build/compare"
sizes="${1:-1000000 5000000}"
rounds="${2:-1}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLOGVANE_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target logvane gen_log run_measured >/dev/null
mkdir -p "$work"
measure="$build/run_measured"

run_tool() {  # tool log lines -> "seconds rss_kib status"
  local tool="$1" log="$2" dir="$work/$1"
  rm -rf "$dir" && mkdir -p "$dir"
  case "$tool" in
    logvane)
      printf 'INFILE=%s\nOUTFILE=%s/report.html\nLOOKUP=N\nROBOTS=RPT\n' "$log" "$dir" > "$dir/params.dat"
      (cd "$dir" && "$measure" -- "$build/logvane" params.dat) ;;
    goaccess)
      "$measure" -- goaccess "$log" --log-format=COMBINED --no-global-config -o "$dir/out.html" ;;
    webalizer)
      "$measure" -- webalizer -c /dev/null -N 0 -Q -F clf -o "$dir" "$log" ;;
    analog)
      printf 'LOGFILE %s\nOUTFILE %s/out.html\nDNS NONE\n' "$log" "$dir" > "$dir/analog.cfg"
      "$measure" -- analog -G +g"$dir/analog.cfg" ;;
    cat) "$measure" --stdin "$log" -- cat ;;
    wc) "$measure" --stdin "$log" -- wc -l ;;
    mawk) "$measure" --stdin "$log" -- mawk '{ hits[$1]++ } END { for (c in hits) n++; print n }' ;;
  esac
}

tools="logvane cat wc"
command -v mawk >/dev/null 2>&1 && tools="$tools mawk"
for peer in goaccess webalizer analog; do
  if command -v "$peer" >/dev/null 2>&1; then tools="$tools $peer"; else echo "($peer not installed)"; fi
done

for lines in $sizes; do
  log="$work/access-$lines.log"
  [ -s "$log" ] || "$build/gen_log" "$lines" 1 "$log"
  bytes=$(stat -c %s "$log")
  cat "$log" > /dev/null  # into the page cache
  declare -A best=() rss=()
  for ((round = 1; round <= rounds; ++round)); do
    for tool in $tools; do
      read -r seconds kib status < <(run_tool "$tool" "$log")
      if [ "$status" != 0 ]; then echo "$tool exited with status $status" >&2; fi
      if [ -z "${best[$tool]:-}" ] || awk "BEGIN{exit !($seconds < ${best[$tool]})}"; then
        best[$tool]=$seconds
      fi
      rss[$tool]=$kib
    done
  done
  echo
  echo "$lines lines, $((bytes / 1000000)) MB, best of $rounds round(s)"
  printf '%-10s %10s %12s %9s %12s %14s\n' tool seconds lines/s MB/s "peak RSS" "time/Logvane"
  for tool in $tools; do
    awk -v t="$tool" -v s="${best[$tool]}" -v l="$lines" -v b="$bytes" -v k="${rss[$tool]}" \
        -v base="${best[logvane]}" 'BEGIN {
      printf "%-10s %10.2f %12.0f %9.0f %9.1f MiB %13.2fx\n", t, s, l / s, b / s / 1e6, k / 1024, s / base }'
  done
  unset best rss
done
