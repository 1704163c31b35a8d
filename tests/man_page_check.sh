#!/usr/bin/env bash
# Renders the manual page as man would and fails on any warning (unknown
# macro, bad escape, line that cannot be broken or filled).
#   man_page_check.sh PAGE
set -euo pipefail
page="$1"
if command -v man > /dev/null; then
  # man shows groff's warnings on standard error.
  out=$(LC_ALL=C.UTF-8 MANWIDTH=80 MAN_KEEP_STDERR=1 man --warnings=all -l "$page" 2>&1 > /dev/null)
elif command -v groff > /dev/null; then
  out=$(groff -man -ww -z -Tutf8 "$page" 2>&1)
elif command -v mandoc > /dev/null; then
  out=$(mandoc -T lint -W warning "$page" 2>&1 || true)
else
  echo "neither man, groff nor mandoc is installed; skipping"
  exit 77
fi
if [ -n "$out" ]; then
  echo "$out"
  echo "FAIL: the manual page renders with warnings"
  exit 1
fi
echo "manual page renders cleanly"
