#!/usr/bin/env bash
# The fan-out on GNU parallel: a generated log cut into blocks at line ends
# (--pipepart), each block's state written to standard output in order
# (-k), the stream merged with MERGE=- into one report, which must be the
# single run's byte for byte ("Report Produced" aside). Skipped (77) where
# parallel is not installed.
#   state_parallel_check.sh LOGVANE GEN_LOG WORK_DIR
set -euo pipefail
logvane="$(realpath "$1")" gen="$(realpath "$2")" work="$(realpath -m "$3")"
command -v parallel >/dev/null 2>&1 || { echo "GNU parallel is not installed: skipped"; exit 77; }
rm -rf "$work" && mkdir -p "$work" && cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

"$gen" 60000 1 all.log
"$logvane" -o single.html all.log > single.txt 2>&1 || fail "single run: $(cat single.txt)"
# Each job reads its block on standard input and writes its state to
# standard output; -k keeps the blocks' order on the pipe.
parallel --will-cite --pipepart -a all.log --block 1M -k -j 2 \
    "$logvane" --quiet --state=- - > pieces.states 2> pieces.err || fail "pieces: $(cat pieces.err)"
pieces=$("$logvane" --dump-state pieces.states | wc -l)
[ "$pieces" -ge 4 ] || fail "the log was cut into $pieces pieces only"
"$logvane" -o merged.html --merge=- < pieces.states > merged.txt 2>&1 || fail "merge: $(cat merged.txt)"
mask() { grep -v 'Report Produced' "$1"; }
diff <(mask single.html) <(mask merged.html) > report.diff || fail "the merged report differs: $(head -20 report.diff)"
if grep -q 'overlaps' merged.txt; then fail "adjacent pieces were taken for overlapping: $(cat merged.txt)"; fi
echo "GNU parallel fan-out: $pieces pieces merged into the single run's report"
