#!/usr/bin/env bash
# How much of a realistic log GEOIP=Y places: a generated combined log whose
# clients are spread over the public IPv4 space and over IPv6 blocks that
# the regional registries hand out, run with the default database (no
# lookups). Prints the hits of "(unknown)" as a share of the hits of public
# addresses.
#   bench/geoip_coverage.sh [LINES]
set -euo pipefail
lines="${1:-1000000}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
work="$build/geoip-coverage"
cmake --build "$build" -j2 --target logvane gen_log >/dev/null
mkdir -p "$work" && cd "$work"
"$build/gen_log" "$lines" 7 generated.log
# Address clients only: host names never go by address. The generator's
# documentation prefix 2001:db8 is moved into allocated IPv6 blocks of five
# registries, chosen by the second group.
awk '$1 ~ /^[0-9.]+$|^2001:db8:/ {
  if ($1 ~ /^2001:db8:/) {
    split($1, g, ":"); n = index("0123456789abcdef", substr(g[3], length(g[3]), 1)) % 5
    split("2a02 2001:4860 2400:cb00 2600:1f18 2c0f:fb50", p, " ")
    prefix = p[n + 1]
    $1 = (prefix == "2a02" ? "2a02:" g[3] ":" g[4] "::" g[6] : prefix ":" g[3] "::" g[6])
  }
  print }' generated.log > public.log
printf 'INFILE=public.log\nOUTFILE=report.html\nLOOKUP=N\nMAXNATIONS=500\nGEOIP=Y\n' > params.dat
start=$(date +%s.%N)
"$build/logvane" params.dat > console.txt
echo "run over $(wc -l < public.log) lines: $(echo "$(date +%s.%N) - $start" | bc) s"
awk -F'</td><td>' '/^<tr><td>[0-9]+<\/td><td>/ && !/<a href/ {
    name = $2; hits = $3 + 0
    if (name == "(local network)") local += hits; else if (name == "(unknown)") unknown += hits
    else placed += hits; nations++ }
  END { public = placed + unknown
    printf "nations: %d, public hits: %d, unknown: %d (%.2f %%), local network: %d\n",
           nations, public, unknown, 100 * unknown / public, local }' \
  <(sed -n '/<a name=TN>/,/<\/table>/p' report.html | sed 's/<tr><td>/\n<tr><td>/g')
