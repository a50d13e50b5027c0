# Sourced by the scripts that drive a program in a real window system (Xvfb with the openbox
# window manager): the waits, the failure report, the clean-up and the start of the X server.
# The sourcing script sets wait_limit (seconds for any one wait: a bound on a hang, not a timing
# assertion), keeps the program's process in pid and its work folder in work, and may define
# end_session_extra for more clean-up.

pid=
xvfb_pid=
wm_pid=
work=

end_session() {
  local each
  for each in "$pid" "$wm_pid" "$xvfb_pid"; do
    [ -n "$each" ] && kill "$each" 2>/dev/null && wait "$each" 2>/dev/null
  done
  if declare -F end_session_extra >/dev/null; then end_session_extra; fi
  [ -n "$work" ] && rm -rf "$work"
}
trap end_session EXIT

fail() {
  echo "FAILED: $*" >&2
  if [ -n "${DISPLAY:-}" ]; then
    echo "windows:" >&2
    wmctrl -lp >&2 2>&1
  fi
  [ -f "$work/program.log" ] && { echo "program output:" >&2; tail -n 20 "$work/program.log" >&2; }
  exit 1
}

# Polls until the command succeeds; fails naming what it waited for once the limit has passed.
wait_for() { # what, command...
  local what=$1
  shift
  local deadline=$((SECONDS + wait_limit))
  until "$@"; do
    [ "$SECONDS" -ge "$deadline" ] && fail "no $what after ${wait_limit} s"
    sleep 0.05
  done
}

# The X server picks a free display and writes its number once it accepts clients; DISPLAY is
# then set for what follows, and the window manager runs.
start_window_system() {
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  display_ready() { [ -s "$work/display" ]; }
  wait_for "display from Xvfb" display_ready
  export DISPLAY=:$(head -n 1 "$work/display")
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  wm_pid=$!
  wm_running() { wmctrl -m 2>/dev/null | grep -q '^Name: Openbox'; }
  wait_for "window manager (openbox)" wm_running
}
