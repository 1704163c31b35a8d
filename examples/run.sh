#!/usr/bin/env bash
# Builds Logvane and runs it on the bundled example log twice: the classic
# report lands in build/example/report.html, the modern one (STYLE=MODERN)
# beside it in build/example/report-modern.html.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cmake -S "$root" -B "$root/build" >/dev/null
cmake --build "$root/build" -j2 --target logvane >/dev/null
mkdir -p "$root/build/example"
cp "$root/examples/lvipname.dat" "$root/build/example/lvipname.dat"
cp "$root/assets/hstb.gif" "$root/build/example/hstb.gif"
cd "$root/build/example"
# Nations by address where Debian's tor-geoipdb is installed, else by the
# top-level domains of the names.
cp ../../examples/lvparam.dat lvparam.dat
if [ -f /usr/share/tor/geoip ] && [ -f /usr/share/tor/geoip6 ]; then
  printf '%s\n' '; Nations by address from the tor-geoipdb package (IPFire Location data).' \
    'GEOIP=Y' >> lvparam.dat
fi
../logvane lvparam.dat
# The same run in the modern style: one self-contained page, no bar image.
sed -e 's/^OUTFILE=.*/OUTFILE=report-modern.html/' -e '/^hstb_loc=/d' \
  lvparam.dat > lvparam-modern.dat
echo "STYLE=MODERN" >> lvparam-modern.dat
../logvane lvparam-modern.dat > console-modern.txt
echo
echo "Report written to $root/build/example/report.html"
echo "Modern report written to $root/build/example/report-modern.html"
echo "  (its console lines: $root/build/example/console-modern.txt)"
