#!/usr/bin/env bash
# The platform gate as the shell sees it: on Wine's default Windows version
# (Windows 7) Velnara.exe shows its refusal and ends with status -1, which
# reaches the shell as 255. A helper in the same Wine session answers the
# message box, checks its text and that the main dialog never shows. Run
# unattended, the program writes the refusal to its log, shows no window
# and ends with -1 by itself.
#
#   tests/wine/gate-test.sh Velnara.exe velnara_e2e_driver.exe
#
# WINEPREFIX must name a prefix of the end-to-end tests (seed-prefix.sh
# prepares one); this test runs it on Wine's default version, which the next
# test's run sets back.
set -euo pipefail

if [ $# -ne 2 ] || [ -z "${WINEPREFIX:-}" ]; then
  sed -n '2,/^set /p' "$0" | sed '$d' | sed 's/^# \{0,1\}//' >&2
  exit 2
fi
program=$1
driver=$2
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
wine_run=$repo/scripts/wine-run
export VELNARA_WINE_VERSION=

# Both programs must be on one display. Without one, a private Xvfb lives
# until the Wine session ends, as in wine-run.
if [ -z "${DISPLAY:-}" ]; then
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" \
    </dev/null >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    sleep 0.1
  done
  [ -s "$display_file" ] || { echo "gate-test: Xvfb did not start" >&2; exit 1; }
  DISPLAY=":$(head -n 1 "$display_file")"
  export DISPLAY
  rm -f "$display_file"
  trap '(wineserver -w; kill "$xvfb_pid") </dev/null >/dev/null 2>&1 & disown' EXIT
fi

"$wine_run" "$program" &
program_pid=$!
driver_status=0
"$wine_run" "$driver" answer-gate || driver_status=$?
if [ "$driver_status" -ne 0 ] && kill -0 "$program_pid" 2>/dev/null; then
  # Whatever the program shows, nobody will answer it: end this prefix's
  # Wine session, which holds nothing but this test.
  wineserver -k || true
fi
program_status=0
wait "$program_pid" || program_status=$?

echo "gate-test: Velnara.exe ended with status $program_status; the helper with $driver_status"
if [ "$program_status" -ne 255 ]; then
  echo "gate-test: expected status 255 (-1) from the refused start" >&2
  exit 1
fi
[ "$driver_status" -eq 0 ] || exit 1

# Unattended, the refusal goes to the log and no window waits for a click:
# the program ends by itself with -1 (a window would hold it until the
# timeout). So for /list from a batch file, which reads the whole status.
log_dir=$(mktemp -d)
unattended_status=0
timeout 120 "$wine_run" "$program" /apply COM5=COM47 /log "$(winepath -w "$log_dir/gate.log")" ||
  unattended_status=$?
echo "gate-test: Velnara.exe /apply ended with status $unattended_status"
gate_text="Velnara will only run on Windows XP or Windows 2000 SP2,SP3 or SP4"
logged=$(cat "$log_dir/gate.log" 2>/dev/null || true)
if [ "$unattended_status" -ne 255 ] || [[ $logged != *"$gate_text"* ]]; then
  echo "gate-test: expected status 255 and the refusal in the log; the log holds:" >&2
  echo "$logged" >&2
  exit 1
fi

printf '@echo off\r\n"%s" /list /log "%s"\r\necho status %%ERRORLEVEL%%\r\n' \
  "$(winepath -w "$program")" "$(winepath -w "$log_dir/list.log")" >"$log_dir/list.bat"
said=$(timeout 120 "$wine_run" cmd /c "$(winepath -w "$log_dir/list.bat")" 2>/dev/null | tr -d '\r' || true)
echo "gate-test: the batch file said: $said"
logged=$(cat "$log_dir/list.log" 2>/dev/null || true)
if [[ $said != *"status -1"* ]] || [[ $logged != *"$gate_text"*"Exit status -1."* ]]; then
  echo "gate-test: expected /list /log from a batch file to end with -1 and log the refusal;" \
    "the log holds:" >&2
  echo "$logged" >&2
  exit 1
fi
rm -rf "$log_dir"
