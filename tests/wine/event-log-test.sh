#!/usr/bin/env bash
# The Application log's events of the real program: one report for an
# /apply and one for a dialog Save, each with the strings that name the
# ports, and the source registered with the program's own path. Wine keeps
# no event log; with WINEDEBUG=+eventlog it prints each report and its
# strings on standard error, which a test program inside the prefix could
# not read, so the shell runs the program.
#
#   tests/wine/event-log-test.sh Velnara.exe velnara_e2e_driver.exe SAMPLE.reg
#
# WINEPREFIX must name a prefix of its own (seed-prefix.sh prepares one).
set -euo pipefail

if [ $# -ne 3 ] || [ -z "${WINEPREFIX:-}" ]; then
  sed -n '2,/^set /p' "$0" | sed '$d' | sed 's/^# \{0,1\}//' >&2
  exit 2
fi
program=$1
driver=$2
sample=$3
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
wine_run=$repo/scripts/wine-run
caption="Ostrand : Tarvex 880 - Velnara V2.03"
question=$'The System must be rebooted.\n\nDo you want to Reboot now ?'
completed=$'Velnara Successfully Completed.\n\nDrivers will be active from next Reboot'
export WINEARCH=win64 WINEDEBUG=-all
work=$(mktemp -d)

# shellcheck source=scripts/lib/xvfb.sh
source "$repo/scripts/lib/xvfb.sh"
if [ -z "${DISPLAY:-}" ]; then
  velnara_start_xvfb || exit 1
fi
trap 'wineserver -k 2>/dev/null; velnara_stop_xvfb; rm -rf "$work"' EXIT
wineserver -k 2>/dev/null || true
wineserver -w
wineserver -p

fail() {
  echo "event-log-test: $*" >&2
  exit 1
}

# Exactly one report in `log`, and each of the strings after it among its
# inserts.
expect_one_report() {
  local log=$1 reports
  shift
  reports=$(grep -c 'advapi:ReportEventA' "$log" || true)
  [ "$reports" = 1 ] || fail "$reports reports in $log: $(grep -i eventlog "$log")"
  for insert in "$@"; do
    grep -qF "trace:eventlog:ReportEventW L\"$insert\"" "$log" ||
      fail "no insert \"$insert\" in: $(grep eventlog "$log")"
  done
}

"$wine_run" "$driver" reset "$sample"
WINEDEBUG=+eventlog "$wine_run" "$program" /apply COM5=COM47 >"$work/apply.out" 2>"$work/apply.err" ||
  true
expect_one_report "$work/apply.err" "Velnara.exe /apply" "PCI 2.9.0 port 3: COM5 -> COM47"
echo "event-log-test: /apply made one report naming its port"

registered=$(wine reg query 'HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Velnara' \
  /v EventMessageFile 2>/dev/null | tr -d '\r')
windows_path=$(winepath -w "$program" 2>/dev/null)
case "$registered" in
  *"$windows_path"*) echo "event-log-test: the source names $windows_path" ;;
  *) fail "the source is not registered with $windows_path: $registered" ;;
esac

WINEDEBUG=+eventlog "$wine_run" "$program" 2>"$work/dialog.err" &
program_pid=$!
"$wine_run" "$driver" wait "$caption"
"$wine_run" "$driver" rename COM6 COM48
"$wine_run" "$driver" press "$caption" 3
"$wine_run" "$driver" cancel-main
"$wine_run" "$driver" answer "$question" 7
"$wine_run" "$driver" answer "$completed" 1
wait "$program_pid" || fail "the dialog did not end well"
expect_one_report "$work/dialog.err" "the dialog's Save" "PCI 2.9.0 port 4: COM6 -> COM48"
echo "event-log-test: the dialog's Save made one report naming its port"
