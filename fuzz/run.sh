#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for SECONDS (default 30)
# on a scratch copy of its seed corpus in the repository. Fails when any
# target finds a crash, a leak or undefined behaviour. A target's
# dictionary fuzz/<name>.dict guides its mutations, and fuzz/<name>.flags
# (one line) adds libFuzzer flags, where they exist.
#   fuzz/run.sh            # 30 s per target (CI gives each 6 s)
#   fuzz/run.sh 3600       # a long run
#   fuzz/run.sh 600 log_line   # one target
set -euo pipefail
seconds="${1:-30}"
only="${2:-}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DLOGVANE_FUZZ=ON -DLOGVANE_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 >/dev/null
status=0
for source in "$root"/fuzz/*_fuzz.cpp; do
  target="$(basename "$source" .cpp)"
  name="${target%_fuzz}"
  [ -n "$only" ] && [ "$only" != "$name" ] && continue
  work="$build/corpus/$name"
  mkdir -p "$work" "$build/artifacts/$name"
  seeds="$root/fuzz/corpus/$name"
  flags=()
  [ -f "$root/fuzz/$name.dict" ] && flags+=(-dict="$root/fuzz/$name.dict")
  [ -f "$root/fuzz/$name.flags" ] && read -r -a more <"$root/fuzz/$name.flags" && flags+=("${more[@]}")
  echo "== $target for ${seconds}s"
  if ! "$build/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$name/" "${flags[@]}" \
      "$work" ${seeds:+$( [ -d "$seeds" ] && echo "$seeds")} >"$build/$name.log" 2>&1; then
    status=1
    tail -n 40 "$build/$name.log"
  fi
  grep -E '^stat::number_of_executed_units|^Done' "$build/$name.log" || true
done
exit "$status"
