#!/usr/bin/env bash
# The nightly script end to end: yesterday's rotated log, plain (logrotate
# with delaycompress) or compressed, becomes a dated report beside hstb.gif;
# the shipped parameter file looks nothing up; a missing rotation fails.
#   daily_report_check.sh LOGVANE SOURCE_DIR WORK_DIR
set -euo pipefail
logvane="$(realpath "$1")" source="$2" work="$(realpath -m "$3")"
script="$source/examples/daily/logvane-daily"
rm -rf "$work" && mkdir -p "$work/logs" "$work/state"
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

line() {  # client, day, path
  printf '%s - - [%s/Dec/2026:10:00:00 +0000] "GET %s HTTP/1.1" 200 512 "-" "probe"\n' "$1" "$2" "$3"
}
{ line 127.0.0.1 08 /index.html; line 127.0.0.2 08 /a.html; line 127.0.0.2 08 /b.html; } > yesterday
line 127.0.0.9 09 /today.html > logs/access.log
day=$(date -d yesterday +%Y-%m-%d)

run() { LOGVANE="$logvane" LOGVANE_STATE="$work/state" "$script" "$@"; }
check_report() {  # what the report of `yesterday` must show
  local report="reports/report-$day.html"
  [ -f "$report" ] || fail "no $report"
  [ -f reports/hstb.gif ] || fail "no hstb.gif beside the report"
  grep -q "Yesterday's traffic" "$report" || fail "title of the daily parameter file missing"
  grep -q '127\.0\.0\.2' "$report" || fail "yesterday's client missing"
  if grep -q 'today\.html' "$report"; then fail "today's live log was read"; fi
  [ ! -e state/lvipname.dat ] || fail "a name cache was written although LOOKUP=N"
  grep -q '^completed reading... processed: 3 records\.$' state/last-run.txt ||
    fail "console lines not kept in last-run.txt"
  if ls -A reports | grep -q '\.part$'; then fail "partial report left behind"; fi
}

# delaycompress: yesterday is access.log.1, the day before is compressed.
cp yesterday logs/access.log.1
line 127.0.0.7 07 /older.html | gzip > logs/access.log.2.gz
out=$(run logs/access.log reports 2>&1) || fail "plain rotation: $out"
[ -z "$out" ] || fail "a good run printed: $out"
check_report

# Without delaycompress yesterday is access.log.1.gz.
rm -rf reports logs/access.log.1 state/*
gzip -c yesterday > logs/access.log.1.gz
run logs/access.log reports || fail "compressed rotation"
check_report

# dateext: the file is named after this morning's rotation.
rm -rf reports logs/access.log.1.gz state/*
gzip -c yesterday > "logs/access.log-$(date +%Y%m%d).gz"
run logs/access.log reports || fail "dateext rotation"
check_report

# No rotated log: a message and a failure, no report.
rm -rf reports
if run logs/none.log reports 2> err.txt; then fail "ran without a rotated log"; fi
grep -q 'no rotated log' err.txt || fail "no reason given"

# A failing run shows its console lines.
printf 'LOOKUP=N\nEXCLUDE_ADDR=\n' > bad.dat
for i in $(seq 100); do echo "EXCLUDE_ADDR=10.$i" >> bad.dat; done
if run logs/access.log reports bad.dat 2> err.txt; then fail "a failed run passed"; fi
grep -q 'too many exclusion addresses' err.txt || fail "console lines of the failed run not shown"
[ ! -e "reports/report-$day.html" ] || fail "failed run left a report"
# LOGVANE_MONTHS: yesterday also goes into the month's state and report; a
# second run the same day counts nothing twice; old months' states go.
rm -rf reports state/*
cp yesterday logs/access.log.1
month=${day%-*}
touch state/month-2000-01.state state/month-2000-02.state
LOGVANE_MONTHS=2 run logs/access.log reports || fail "monthly run"
[ -f "state/month-$month.state" ] || fail "no month state"
[ -f "reports/month-$month.html" ] || fail "no month report"
grep -q '127\.0\.0\.2' "reports/month-$month.html" || fail "yesterday missing from the month"
[ ! -e state/month-2000-01.state ] || fail "a month beyond the last 2 was kept"
[ -e state/month-2000-02.state ] || fail "the month before was not kept"
ls state/day-*.state >/dev/null 2>&1 && fail "the day's state was left behind"
before=$(grep -o 'Total Records(Hits) Processed: [0-9]*' "reports/month-$month.html" | head -1)
LOGVANE_MONTHS=2 run logs/access.log reports 2> err.txt || fail "second monthly run"
grep -q 'counted in' err.txt || fail "the second run of a day was not named"
after=$(grep -o 'Total Records(Hits) Processed: [0-9]*' "reports/month-$month.html" | head -1)
[ "$before" = "$after" ] || fail "a day counted twice in the month: $before / $after"
"$logvane" --dump-state "state/month-$month.state" | grep -q '"processed":3,' ||
  fail "the month state does not hold the day's 3 records"
echo "daily report checks passed"
