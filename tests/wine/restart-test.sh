#!/usr/bin/env bash
# Leaving after a Save and answering Yes to the restart, as the shell sees
# it: Velnara.exe asks Windows for a forced restart, which under Wine ends
# every program of the prefix (the helper that pressed Yes included), so a
# test program inside the prefix could not watch it. The helper renames a
# port, saves and leaves by the cancel command; afterwards the port's name
# is read back and its key must be locked again.
#
#   tests/wine/restart-test.sh Velnara.exe velnara_e2e_driver.exe SAMPLE.reg
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
question=$'The System must be rebooted.\n\nDo you want to Reboot now ?'
export WINEARCH=win64 WINEDEBUG="${WINEDEBUG:--all}"

# One display and one wineserver for the whole test: the access lists and
# HKLM\HARDWARE that the reset sets up live only as long as the server.
# shellcheck source=scripts/lib/xvfb.sh
source "$repo/scripts/lib/xvfb.sh"
if [ -z "${DISPLAY:-}" ]; then
  velnara_start_xvfb || exit 1
fi
trap 'wineserver -k 2>/dev/null; velnara_stop_xvfb' EXIT
# The server of the test before, which may still be ending, would keep its
# own display.
wineserver -k 2>/dev/null || true
wineserver -w
wineserver -p

step() {
  echo "restart-test: $*"
  "$wine_run" "$driver" "$@"
}

step reset "$sample"
"$wine_run" "$program" &
program_pid=$!
step wait "Ostrand : Tarvex 880 - Velnara V2.03"
step rename COM9 COM49
step press "Ostrand : Tarvex 880 - Velnara V2.03" 3
step cancel-main
step answer "$question" 6 || true  # the restart may end the helper too

ended=
for _ in $(seq 300); do
  if ! kill -0 "$program_pid" 2>/dev/null; then
    ended=1
    break
  fi
  sleep 0.1
done
if [ -z "$ended" ]; then
  echo "restart-test: Velnara.exe still runs 30 s after Yes" >&2
  exit 1
fi
status=0
wait "$program_pid" || status=$?
echo "restart-test: Velnara.exe ended (status $status) after Yes to the restart"
# Wine's restart is a "wineboot --kill" that Velnara.exe started: it ends
# every program of the prefix and then starts the services again, and it may
# still be at work when Velnara.exe has gone. A program started meanwhile is
# ended with it, so the read-back waits for it to finish.
wineboot_of_this_prefix_runs() {
  local pid
  for pid in $(pgrep -f 'wineboot\.exe' || true); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null |
      grep -qxF "WINEPREFIX=$WINEPREFIX"; then
      return 0
    fi
  done
  return 1
}
for _ in $(seq 300); do
  wineboot_of_this_prefix_runs || break
  sleep 0.1
done
if wineboot_of_this_prefix_runs; then
  echo "restart-test: Wine's restart still runs 30 s after Velnara.exe ended" >&2
  exit 1
fi
step check-port COM49
