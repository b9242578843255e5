# shellcheck shell=bash
# Sourced by scripts/test and scripts/demo: what they need and how to get it.
#
# A need is "probe:package". The probe is a command name, or an absolute path
# for a package that brings no command (headers, fonts). Every package is a
# Debian 12 package name, installed with --no-install-recommends; fonts-wine,
# only recommended by Wine, is named on its own: without it the dialogs lose
# their font and their caption buttons.

# Building and running the program under Wine (scripts/demo).
# shellcheck disable=SC2034 # used by the scripts that source this file
VELNARA_DEMO_NEEDS=(
  cmake:cmake
  make:make
  python3:python3
  x86_64-w64-mingw32-g++:mingw-w64
  x86_64-w64-mingw32-windres:mingw-w64
  x86_64-w64-mingw32-windmc:mingw-w64
  wine:wine
  /usr/lib/wine/wine64:wine64
  wineserver:wine
  winepath:wine
  /usr/share/wine/fonts/marlett.ttf:fonts-wine
  Xvfb:xvfb
  xauth:xauth
  xdotool:xdotool
  import:imagemagick
  convert:imagemagick
)

# Everything above, plus the Linux tests, the 32-bit build and the import check
# (scripts/test). The Linux build compiles the program's resources for the
# stand-in with x86_64-w64-mingw32-windres, which the list above holds.
# shellcheck disable=SC2034 # used by the scripts that source this file
VELNARA_TEST_NEEDS=(
  "${VELNARA_DEMO_NEEDS[@]}"
  g++:g++
  /usr/include/gtest/gtest.h:libgtest-dev
  /usr/include/benchmark/benchmark.h:libbenchmark-dev
  i686-w64-mingw32-g++:mingw-w64
  i686-w64-mingw32-windres:mingw-w64
  i686-w64-mingw32-windmc:mingw-w64
  x86_64-w64-mingw32-objdump:mingw-w64
  i686-w64-mingw32-objdump:mingw-w64
  xvfb-run:xvfb
  clang++-14:clang-14
  /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a:libfuzzer-14-dev
)

# Prints the packages of the needs given as arguments whose probe fails, one
# per line, each once.
velnara_missing_packages() {
  local need probe package
  local -A listed=()
  for need in "$@"; do
    probe=${need%%:*}
    package=${need#*:}
    if [[ $probe == /* ]]; then
      [[ -e $probe ]] && continue
    else
      command -v "$probe" >/dev/null 2>&1 && continue
    fi
    [[ -n ${listed[$package]:-} ]] && continue
    listed[$package]=1
    echo "$package"
  done
}

# Makes sure every need given as argument is met. As root it installs the
# missing packages with apt-get; otherwise it prints the command to run and
# fails. Returns non-zero when something is still missing.
velnara_install_needs() {
  local -a missing
  mapfile -t missing < <(velnara_missing_packages "$@")
  ((${#missing[@]} == 0)) && return 0

  echo "Missing packages: ${missing[*]}"
  if [[ $(id -u) -ne 0 ]]; then
    echo "Install them as root, then run this script again:"
    echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends ${missing[*]}"
    return 1
  fi
  if ! command -v apt-get >/dev/null 2>&1; then
    echo "apt-get is not available here; install the packages above by other means."
    return 1
  fi
  echo "Installing them with apt-get."
  DEBIAN_FRONTEND=noninteractive apt-get -q update &&
    DEBIAN_FRONTEND=noninteractive apt-get -q install -y --no-install-recommends "${missing[@]}" ||
    return 1

  mapfile -t missing < <(velnara_missing_packages "$@")
  if ((${#missing[@]} != 0)); then
    echo "Still missing after the install: ${missing[*]}"
    return 1
  fi
}
