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
../logvane ../../examples/lvparam.dat
# The same run in the modern style: one self-contained page, no bar image.
sed -e 's/^OUTFILE=.*/OUTFILE=report-modern.html/' -e '/^hstb_loc=/d' \
  ../../examples/lvparam.dat > lvparam-modern.dat
echo "STYLE=MODERN" >> lvparam-modern.dat
../logvane lvparam-modern.dat > console-modern.txt
echo
echo "Report written to $root/build/example/report.html"
echo "Modern report written to $root/build/example/report-modern.html"
echo "  (its console lines: $root/build/example/console-modern.txt)"
