#!/usr/bin/env bash
# What AGENTS=Y costs a whole run: the benchmark log (5 M lines by default)
# and one where every tenth line has an agent no line had before, each
# without and with AGENTS=Y, as instructions counted by callgrind (the
# figure to compare on a shared machine) and as the best of three wall
# times.
#
#   bench/agents_costs.sh BUILD-DIR WORK-DIR [LINES]
set -euo pipefail
build=$1
work=$2
lines=${3:-5000000}
mkdir -p "$work"
cd "$work"
[ -f base.log ] || "$build/gen_log" "$lines" 1 base.log
[ -f new10.log ] || "$build/gen_log" "$lines" 1 new10.log 10

for log in base new10; do
  for agents in N Y; do
    run=("$build/logvane" -q -o "$log$agents.html" --set LOOKUP=N --set "AGENTS=$agents" "$log.log")
    best=""
    for _ in 1 2 3; do
      start=$(date +%s.%N)
      "${run[@]}" >/dev/null 2>&1
      took=$(echo "$(date +%s.%N) - $start" | bc)
      if [ -z "$best" ] || [ "$(echo "$took < $best" | bc)" = 1 ]; then best=$took; fi
    done
    instructions=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "${run[@]}" 2>&1 >/dev/null |
                   sed -n 's/.*Collected : //p')
    printf '%-6s AGENTS=%s  %14s instructions  best wall %6.2f s\n' "$log" "$agents" \
           "$instructions" "$best"
  done
done
