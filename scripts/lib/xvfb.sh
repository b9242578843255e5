# shellcheck shell=bash
# Sourced by scripts/test and scripts/demo: one private X server for runs
# that have no display.

VELNARA_XVFB_PID=

# Starts Xvfb on the first free display from :90 up and exports DISPLAY once
# the server answers. Fails when no display could be started.
velnara_start_xvfb() {
  local n i
  for ((n = 90; n < 190; n++)); do
    # A lock or socket means another server owns (or owned) that number.
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    VELNARA_XVFB_PID=$!
    for ((i = 0; i < 100; i++)); do
      if [[ -S /tmp/.X11-unix/X$n ]] && DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1; then
        export DISPLAY=":$n"
        return 0
      fi
      # Lost a race for this number to another server: try the next one.
      kill -0 "$VELNARA_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    velnara_stop_xvfb
  done
  echo "Could not start Xvfb on any display from :90 to :189."
  return 1
}

# Stops the server that velnara_start_xvfb started, if any.
velnara_stop_xvfb() {
  if [[ -n $VELNARA_XVFB_PID ]]; then
    kill "$VELNARA_XVFB_PID" 2>/dev/null
    wait "$VELNARA_XVFB_PID" 2>/dev/null
    VELNARA_XVFB_PID=
  fi
  return 0
}
