#!/usr/bin/env bash
# The Windows desktop program under Wine in a real window system (Xvfb with openbox), started as a
# user starts a portable copy: its own config.ini beside it asks for a recording at start and for
# closing instead of hiding to the notification area. Its window must appear with the designed
# caption and the computer name; the settings window, opened and closed, must write that file; and
# a close through the main window's close box (the window manager's WM_DELETE_WINDOW) must end it,
# recording, with exit code 0. The executable may need no library but the system's.
# Usage: test_windows_smoke.sh PROGRAM.exe OBJDUMP     (WINEPREFIX names the Wine prefix to use)
set -uo pipefail

program=$1
objdump=$2
wait_limit=60 # seconds for any one wait: a bound on a hang, not a timing assertion
caption="Velmora Windows Files Monitor v1.1"

export WINEPREFIX=${WINEPREFIX:?the Wine prefix to use}
export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../scripts/wine-run

. "$here/window_session.sh"
end_session_extra() { wineserver -k 2>/dev/null; }

for tool in wine wineserver Xvfb openbox xdotool wmctrl "$objdump"; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/setup-deps installs it)"
done
# A server left by an earlier run belongs to another display.
wineserver -k 2>/dev/null
work=$(mktemp -d) || fail "no work folder"
mkdir -p "$work/program"
cp "$program" "$work/program/filesmonitor.exe" || fail "cannot copy $program"

# The computer name as Windows programs see it; this also makes the prefix on a first run.
computer=$(timeout "$wait_limit" "$wine_run" cmd /c 'echo %COMPUTERNAME%' 2>/dev/null | tr -d '\r\n')
[ -n "$computer" ] || fail "Wine's cmd gave no computer name"
# That run's server and desktop have no display: the program must start its own.
wineserver -k 2>/dev/null

# Every library the program loads is the system's: Qt, the C++ runtime and the plugins are inside.
system32=$WINEPREFIX/drive_c/windows/system32
while read -r dll; do
  # api-ms-win-*: the system's API sets, which its loader resolves without a file of that name.
  [[ ${dll,,} == api-ms-win-* ]] && continue
  [ -n "$(find "$system32" -maxdepth 1 -iname "$dll" -print -quit)" ] ||
    fail "filesmonitor.exe needs $dll, which is not a system library"
done < <("$objdump" -p "$program" | awk '/DLL Name:/ { print $3 }')

# Recording from the start, and a close that ends the program.
printf '[GLOBAL]\r\nAUTOCAPTURE=Y\r\nTRAY=N\r\n' >"$work/program/config.ini"

start_window_system

(cd "$work/program" && exec wine filesmonitor.exe) >"$work/program.log" 2>&1 &
pid=$!

main=
main_window() {
  main=$(wmctrl -l | awk -v prefix="$caption" 'index(substr($0, index($0, $4)), prefix) == 1 { print $1; exit }')
  [ -n "$main" ]
}
wait_for "window titled \"$caption ...\"" main_window
title=$(xdotool getwindowname "$main")
[ "$title" = "$caption - $computer" ] || fail "the caption is \"$title\", not \"$caption - $computer\""

# The settings live beside the program: the settings window, opened with its button and closed
# through its close box, writes every key there and keeps what the file said.
xdotool mousemove --window "$main" 570 15 click 1
settings=
settings_window() {
  settings=$(wmctrl -l | awk '{ id = $1; $1 = $2 = $3 = ""; sub(/^ +/, "") } $0 == "Settings" { print id; exit }')
  [ -n "$settings" ]
}
wait_for "settings window after a click on its button" settings_window
wmctrl -i -c "$settings" || fail "the window manager did not take the settings window's close request"
settings_written() { tr -d '\r' <"$work/program/config.ini" | grep -qx 'AUTOEXPAND=Y'; }
wait_for "config.ini beside the program written when the settings window closed" settings_written
tr -d '\r' <"$work/program/config.ini" | grep -qx 'AUTOCAPTURE=Y' || fail "config.ini lost AUTOCAPTURE=Y: $(cat "$work/program/config.ini")"

wmctrl -i -c "$main" || fail "the window manager did not take the close request"
program_ended() { ! kill -0 "$pid" 2>/dev/null; }
wait_for "end of the program after the close" program_ended
wait "$pid"
rc=$?
pid=
[ "$rc" -eq 0 ] || fail "the program ended with exit code $rc after the close"
echo "filesmonitor.exe: window \"$title\", closed through its close box, exit code 0"
