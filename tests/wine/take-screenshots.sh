#!/usr/bin/env bash
# Takes the screenshots in docs/ from the real Velnara.exe under Wine on a
# private Xvfb, on the sample machine samples/demo-machine.reg:
#   docs/main-dialog.png     the main dialog with the sample's cards and ports
#   docs/about-box.png       the About box over the main dialog
#   docs/rename-dialog.png   the rename dialog for COM5 over the main dialog
#   docs/reboot-question.png the restart offer when the dialog is left after a Save
#   docs/completion-message.png  what follows when the restart is declined
#   docs/gate-message.png    the refusal on Wine's default version (Windows 7)
#
#   tests/wine/take-screenshots.sh
#
# Builds Velnara.exe and velnara_e2e_driver (preset mingw64) first. Uses a
# prefix of its own, build/wine/shots64, reset on every run.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$repo"

MAIN="Ostrand : Tarvex 880 - Velnara V2.03"
ABOUT="About Velnara"
RENAME="Select a new Port Name"
BOX="Velnara"
exe=$repo/build/mingw64/Velnara.exe
driver_exe=$repo/build/mingw64/tests/wine/velnara_e2e_driver.exe

say() { echo "take-screenshots: $*" >&2; }

cmake --preset mingw64 >/dev/null
cmake --build --preset mingw64 --target Velnara velnara_e2e_driver >/dev/null

work=$(mktemp -d)
xvfb_pid=""
export WINEPREFIX=$repo/build/wine/shots64
export VELNARA_WINE_VERSION=winxp64
cleanup() {
  # Ends whatever a failed step left running in this prefix.
  if [ -d "$WINEPREFIX" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" \
  </dev/null >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { say "Xvfb did not start"; exit 1; }
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY

tests/wine/seed-prefix.sh samples/demo-machine.reg
# A Wine desktop of the screen's size: on a bare X server Wine then keeps
# track of the active window itself, and the captions show which one it is.
scripts/wine-run reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
scripts/wine-run reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f \
  >/dev/null
wineserver -w # the desktop takes its settings when it starts

driver() { scripts/wine-run "$driver_exe" "$@"; }

# shot NAME CAPTION...: the screen cropped to the windows with those
# captions, the last one active.
shot() {
  local name=$1 rect
  shift
  driver activate "${!#}"
  sleep 1 # let the windows paint
  rect=$(driver rect "$@" | tr -d '\r')
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop "$rect" +repage "docs/$name.png"
  say "docs/$name.png ($rect)"
}

mkdir -p docs
scripts/wine-run "$exe" &
program=$!
driver wait "$MAIN"
shot main-dialog "$MAIN"

driver about
driver wait "$ABOUT"
shot about-box "$MAIN" "$ABOUT"
driver press "$ABOUT" 1

driver open-rename COM5
shot rename-dialog "$MAIN" "$RENAME"
driver press "$RENAME" 2

# A rename saved, then the dialog left: the restart is offered.
driver rename COM5 COM47
driver press "$MAIN" 3
driver cancel-main
driver answer "$(printf 'The System must be rebooted.\n\nDo you want to Reboot now ?')" 0
shot reboot-question "$MAIN" "$BOX"
driver press "$BOX" 7
driver answer "$(printf 'Velnara Successfully Completed.\n\nDrivers will be active from next Reboot')" 0
shot completion-message "$MAIN" "$BOX"
driver press "$BOX" 1
status=0
wait "$program" || status=$?
say "Velnara.exe ended with status $status"

# Wine's default version for the program and the driver alike: a driver
# started with winxp64 would put that version back while the program starts.
export VELNARA_WINE_VERSION=
scripts/wine-run "$exe" &
program=$!
driver wait "$BOX"
shot gate-message "$BOX"
driver press "$BOX" 1
status=0
wait "$program" || status=$?
say "Velnara.exe ended with status $status on Wine's default version"
