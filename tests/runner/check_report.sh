#!/usr/bin/env bash
# Runs one test of report_probe.exe through the build's Wine wrapper, once
# (no run again after a crash), and checks that it ends the way GoogleTest
# ends natively: its own summary, the exit code of the verdict, no crash of
# Wine or the emulator.
# Usage: check_report.sh WINE_RUN PROBE TEST EXIT_CODE SUMMARY_LINE
set -u
wine_run=$1 probe=$2 test=$3 expected=$4 summary=$5
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
VUV_WINE_RUN_ONCE=1 "$wine_run" "$probe" --gtest_filter="Report.DISABLED_$test" --gtest_also_run_disabled_tests \
  >"$out" 2>"$err"
status=$?
fail() {
  echo "FAIL: $*"
  echo "--- stdout"; cat "$out"
  echo "--- stderr"; cat "$err"
  exit 1
}
[ "$status" -eq "$expected" ] || fail "exit code $status, expected $expected"
grep -qE '^\[==========\] 1 test from 1 test suite ran\.' "$out" || fail "no closing count"
grep -qF -- "$summary" "$out" || fail "no summary line '$summary'"
if grep -qE '(qemu: uncaught target signal|wine client error:|Unhandled exception)' "$err"; then
  fail "Wine or the emulator crashed"
fi
echo "ok: Report.$test ended with $status and '$summary'"
