#!/usr/bin/env bash
# Puts a Wine prefix in a known state for the end-to-end tests: the registry
# the prefix had when it was made, plus one sample machine.
#
#   tests/wine/seed-prefix.sh SAMPLE.reg
#
# Environment, as for scripts/wine-run:
#   WINEPREFIX            the prefix to seed (required; never the shared one)
#   VELNARA_WINE_VERSION  the Windows version it reports (default winxp64,
#                         empty for Wine's own default)
#   DISPLAY               used when set; otherwise wine-run starts an Xvfb
#
# The first run makes the prefix, copies Wine's own fonts into it (without
# them the dialogs lose their font and their caption buttons), has Wine draw
# window frames itself, and keeps a copy of its registry files. Every run
# ends the prefix's wineserver, puts that copy back and imports SAMPLE.reg
# with regedit, so nothing a previous run wrote survives. Only the SYSTEM
# and SOFTWARE parts of a sample outlive the wineserver: HKLM\HARDWARE is
# rebuilt whenever a new one starts.
set -euo pipefail

if [ $# -ne 1 ] || [ -z "${WINEPREFIX:-}" ]; then
  sed -n '2,/^set /p' "$0" | sed '$d' | sed 's/^# \{0,1\}//' >&2
  exit 2
fi

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
sample=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
wine_run=$repo/scripts/wine-run
prefix=$WINEPREFIX
clean=$prefix.clean-registry
export WINEARCH=win64 WINEDEBUG="${WINEDEBUG:--all}"

case "$prefix" in
  "$repo/build/wine/prefix64" | "$repo/build/wine/prefix32")
    echo "seed-prefix: $prefix is shared with the other Wine tests" >&2
    exit 2
    ;;
esac
[ -f "$sample" ] || { echo "seed-prefix: no sample $sample" >&2; exit 2; }

say() { echo "seed-prefix: $*" >&2; }

# One seeding at a time per prefix.
mkdir -p "$(dirname "$prefix")"
exec 8>"$prefix.seed.lock"
flock 8

if [ ! -f "$clean/system.reg" ]; then
  say "making $prefix (once)"
  "$wine_run" cmd /c exit 0 8>&-
  cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/"
  # Xvfb has no window manager: Wine draws the frames itself, and hiding a
  # window no longer waits two seconds for a manager that never answers.
  # The next start also lets Wine record the fonts it has just been given.
  "$wine_run" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 8>&-
  wineserver -w 8>&-
  mkdir -p "$clean.new"
  cp "$prefix"/system.reg "$prefix"/user.reg "$prefix"/userdef.reg "$clean.new/"
  cp "$prefix/.velnara-version" "$clean.new/"
  rm -rf "$clean"
  mv "$clean.new" "$clean"
else
  # The server keeps the registry in memory and writes it back when it
  # ends, so it must be gone before the files are replaced.
  wineserver -k 8>&- 2>/dev/null || true
  wineserver -w 8>&-
  cp "$clean"/system.reg "$clean"/user.reg "$clean"/userdef.reg "$prefix/"
  cp "$clean/.velnara-version" "$prefix/"
fi

# regedit /S reports nothing, so the first key of the sample is looked up
# afterwards to see that the import took.
windows_sample="Z:${sample//\//\\}"
"$wine_run" regedit /S "$windows_sample" 8>&-
first_key=$(sed -n '/^\[HKEY_/{s/^\[\([^]]*\)\]\r\{0,1\}$/\1/p;q;}' "$sample")
first_key=${first_key/#HKEY_LOCAL_MACHINE/HKLM}
first_key=${first_key/#HKEY_CURRENT_USER/HKCU}
if ! "$wine_run" reg query "$first_key" >/dev/null 8>&-; then
  say "the import of $sample did not take: no key $first_key"
  exit 1
fi
say "$prefix holds $(basename "$sample")"
