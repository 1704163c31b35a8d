#!/usr/bin/env bash
# Side-by-side benchmark: the same generated combined log, read by Logvane
# (LOOKUP=N, every section on; on every core, with THREADS=1, and the same
# log gzip-compressed) and, where they are installed, by GoAccess,
# Webalizer, Analog and AWStats from Debian's packages, in alternation, plus
# cat and wc -l as the floor and a one-line mawk field split. Prints lines/s,
# MB/s, peak RSS and each tool's time divided by Logvane's.
#   bench/compare.sh               # 1 M and 5 M lines, one round
#   bench/compare.sh 1000000 3     # one size, three rounds (best time kept)
# The log of N lines is build-bench/compare/access-N.log; it may be a
# symbolic link to a log made elsewhere.
# Peers: apt-get install goaccess webalizer analog awstats
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

awstats="/usr/lib/cgi-bin/awstats.pl"

run_logvane() {  # dir log [parameter line]
  printf 'INFILE=%s\nOUTFILE=%s/report.html\nLOOKUP=N\nROBOTS=RPT\n%s' "$2" "$1" "${3:-}" \
    > "$1/params.dat"
  (cd "$1" && "$measure" -- "$build/logvane" params.dat)
}

run_tool() {  # tool log lines -> "seconds rss_kib status"
  local tool="$1" log="$2" dir="$work/$1"
  rm -rf "$dir" && mkdir -p "$dir"
  case "$tool" in
    logvane) run_logvane "$dir" "$log" ;;
    logvane-t1) run_logvane "$dir" "$log" $'THREADS=1\n' ;;
    logvane-gz) run_logvane "$dir" "$log.gz" ;;
    goaccess)
      "$measure" -- goaccess "$log" --log-format=COMBINED --no-global-config -o "$dir/out.html" ;;
    webalizer)
      # Webalizer refuses a symbolic link: it gets a hard link, or a copy.
      ln -f "$(readlink -f "$log")" "$dir/access.log" 2>/dev/null || cp "$log" "$dir/access.log"
      "$measure" -- webalizer -c /dev/null -N 0 -Q -F clf -o "$dir" "$dir/access.log" ;;
    awstats)
      printf 'LogFile="%s"\nLogFormat=1\nSiteDomain="bench"\nDirData="%s"\nDNSLookup=0\n' \
        "$(readlink -f "$log")" "$dir" > "$dir/awstats.bench.conf"
      "$measure" -- perl "$awstats" -config=bench -configdir="$dir" -update ;;
    analog)
      printf 'LOGFILE %s\nOUTFILE %s/out.html\nDNS NONE\n' "$log" "$dir" > "$dir/analog.cfg"
      "$measure" -- analog -G +g"$dir/analog.cfg" ;;
    cat) "$measure" --stdin "$log" -- cat ;;
    wc) "$measure" --stdin "$log" -- wc -l ;;
    mawk) "$measure" --stdin "$log" -- mawk '{ hits[$1]++ } END { for (c in hits) n++; print n }' ;;
  esac
}

tools="logvane logvane-t1 logvane-gz cat wc"
command -v mawk >/dev/null 2>&1 && tools="$tools mawk"
for peer in goaccess webalizer analog; do
  if command -v "$peer" >/dev/null 2>&1; then tools="$tools $peer"; else echo "($peer not installed)"; fi
done
if [ -f "$awstats" ]; then tools="$tools awstats"; else echo "(awstats not installed)"; fi

for lines in $sizes; do
  log="$work/access-$lines.log"
  [ -s "$log" ] || "$build/gen_log" "$lines" 1 "$log"
  [ -s "$log.gz" ] && [ "$log.gz" -nt "$log" ] || gzip -c "$log" > "$log.gz"
  bytes=$(stat -L -c %s "$log")  # a symbolic link counts as the log it names
  cat "$log" "$log.gz" > /dev/null  # into the page cache
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

# A short log: start-up and the report dominate. Best of 20 runs, over the
# report of the run before, as a daily job would find it.
small="$work/access-10.log"
head -n 10 "$log" > "$small"
dir="$work/logvane-10"
rm -rf "$dir" && mkdir -p "$dir"
fastest=""
for ((i = 0; i < 20; ++i)); do
  read -r seconds kib status < <(run_logvane "$dir" "$small")
  if [ -z "$fastest" ] || awk "BEGIN{exit !($seconds < $fastest)}"; then fastest=$seconds; fi
done
echo
awk -v s="$fastest" 'BEGIN { printf "10-line log: %.1f ms wall (best of 20)\n", s * 1000 }'

