#!/usr/bin/env bash
# The desktop program end to end, in a real window system (Xvfb with the openbox window manager),
# started as a user starts it and driven with the mouse and the keyboard through the X server:
#   - Record, files created and deleted in a folder on a real drive, Stop, the save button, a file
#     name typed into the save dialog, Enter, the success box dismissed with Enter: the report holds
#     the activity and no window but the main one is left;
#   - the settings window: a box changed, the window closed and opened again: the change is there;
#   - "Exit Program" answered Yes: the program ends with exit code 0.
# Windows are judged by their titles, their focus and the files they write, never by pictures.
# Usage: test_desktop_session.sh PROGRAM     (exit code 77: skipped, with the reason on stdout)
set -uo pipefail

program=$1
wait_limit=30 # seconds for any one wait: a bound on a hang, not a timing assertion

# Where the controls are, in window coordinates (the designed layout at the designed size).
record_button=(48 15)
settings_button=(570 15)
help_button=(609 15)
save_button=(228 53)
autoclean_box=(247 56) # "Clean Tree / List when you decide to stop record." on the general page

. "$(dirname "$0")/window_session.sh"

skip() {
  echo "SKIPPED: $*"
  exit 77
}

# Fails as soon as the command stops succeeding within the given seconds.
holds_for() { # seconds, what, command...
  local seconds=$1 what=$2
  shift 2
  local end=$(($(date +%s%N) + seconds * 1000000000))
  while [ "$(date +%s%N)" -lt "$end" ]; do
    "$@" || fail "$what did not last ${seconds} s"
    sleep 0.05
  done
}

for tool in Xvfb openbox xdotool wmctrl md5sum base64; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/setup-deps installs it)"
done
[ "$(id -u)" -eq 0 ] || skip "the recording of whole drives needs root (fanotify)"

# The program's own folder (a portable copy, so config.ini beside it is this session's), its home,
# and the folder for the file activity, all on the drive that holds /var/tmp.
work=$(mktemp -d /var/tmp/filesmonitor-session.XXXXXX) || fail "no work folder under /var/tmp"
source_device=$(findmnt -n -o SOURCE -T "$work")
[[ $source_device == /dev/* ]] || skip "/var/tmp is not on a drive ($source_device), so it is not recorded"
mkdir -p "$work/program" "$work/home" "$work/runtime" "$work/activity"
chmod 700 "$work/runtime"
cp "$program" "$work/program/filesmonitor" || fail "cannot copy $program"
config=$work/program/config.ini
activity=$work/activity
# The drives carry the whole machine's activity: the report keeps to this session's files.
printf '[FILTERS]\nEXTENSIONS=%s\n' "$(printf '.fmtest\r\n' | base64)" >"$config"

start_window_system

# The windows of the program: "id<TAB>title", one a line.
windows() { wmctrl -lp 2>/dev/null | awk -v pid="$pid" '$3 == pid { id = $1; $1 = $2 = $3 = $4 = ""; sub(/^ +/, ""); print id "\t" $0 }'; }
window_titled() { windows | awk -F '\t' -v title="$1" '$2 == title { print $1; exit }'; }
other_windows() { windows | awk -F '\t' -v main="$main" '$1 != main'; }
is_active() { [ -n "$1" ] && [ "$(xdotool getactivewindow 2>/dev/null)" = "$(($1))" ]; }
click() { xdotool mousemove --window "$main" "$1" "$2" click 1; }
key() { xdotool key --clearmodifiers "$@"; }

# Waits for a window titled so that is not the main one, and for it to have the keyboard.
dialog=
dialog_up() {
  dialog=$(other_windows | awk -F '\t' -v title="$1" '$2 == title { print $1; exit }')
  is_active "$dialog"
}
wait_for_dialog() { # title
  wait_for "window \"$1\" with the keyboard focus" dialog_up "$1"
}
only_main_left() { [ -n "$(window_titled "$main_title")" ] && [ -z "$(other_windows)" ]; }

# The recording is armed once the program holds a fanotify mark on the activity's filesystem
# (the kernel's device number, as fdinfo shows it).
fs_device=$(printf '%x' $((($(stat -c '%Hd' "$activity") << 20) | $(stat -c '%Ld' "$activity"))))
armed() { grep -qs "^fanotify sdev:$fs_device " "/proc/$pid/fdinfo/"*; }
# The recording has ended once its threads have: the monitor thread's last act hands the views
# their last events and turns the button back to Record. Qt names its own threads.
capture_threads() {
  local task
  for task in "/proc/$pid/task/"*; do
    [ "${task##*/}" != "$pid" ] && [ "$(cat "$task/comm" 2>/dev/null)" = filesmonitor ] && echo "${task##*/}"
  done
}
recording_ended() { [ -z "$(capture_threads)" ]; }
config_says() { tr -d '\r' <"$config" | grep -qx "$1=$2"; }
program_ended() { [ "$(awk '{ print $3 }' "/proc/$pid/stat" 2>/dev/null)" = Z ] || ! kill -0 "$pid" 2>/dev/null; }

# --- Start, as a user starts it: from the home folder, nothing on the command line.
(
  cd "$work/home" &&
    exec env -u DBUS_SESSION_BUS_ADDRESS -u QT_QPA_PLATFORM HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
      XDG_RUNTIME_DIR="$work/runtime" "$work/program/filesmonitor"
) >"$work/program.log" 2>&1 &
pid=$!
main=
main_up() {
  main=$(windows | awk -F '\t' '{ print $1; exit }')
  [ -n "$main" ]
}
wait_for "main window" main_up
main_title=$(windows | awk -F '\t' '{ print $2; exit }')

# --- Record, file activity, Stop.
click "${record_button[@]}"
wait_for "fanotify mark on the filesystem of $activity (device $fs_device)" armed
printf 'kept\n' >"$activity/created.fmtest"
printf 'gone\n' >"$activity/deleted.fmtest"
rm "$activity/deleted.fmtest"
click "${record_button[@]}"
wait_for "end of the recording (capture threads left: $(capture_threads | xargs))" recording_ended

# --- Save: a name without an extension gets "txt".
click "${save_button[@]}"
wait_for_dialog "Save As"
xdotool type --delay 5 "$work/report"
key Return
wait_for_dialog "Exportation"
box=$dialog
# A progress that outlived the export showed itself 0.5 s after the export began, over the box,
# and took its focus: the box must stay the only other window, with the focus, well past that.
box_alone() { [ "$(other_windows | cut -f 1)" = "$box" ] && is_active "$box"; }
holds_for 2 "the success box alone with the focus" box_alone
key Return
wait_for "window but the main one left after Enter on the success box" only_main_left

report=$work/report.txt
[ -f "$report" ] || fail "no report at $report"
has_line() { grep -qxF -- "$1"$'\r' "$report" || fail "the report has no line \"$1\""; }
tab=$'\t'
has_line "Generated by $main_title"
has_line "created.fmtest${tab}-${tab}Create${tab}$activity/${tab}"
has_line "deleted.fmtest${tab}-${tab}Create${tab}$activity/${tab}"
has_line "deleted.fmtest${tab}-${tab}Delete${tab}$activity/${tab}"
digest=$(md5sum "$activity/created.fmtest" | cut -d ' ' -f 1)
grep -qF -- "-->created.fmtest - [MD5:$digest]"$'\r' "$report" || fail "the report has no digest line for created.fmtest"

# --- Settings: a box changed, closed (the title bar's close box, through the window manager);
# opened again, the same box changed back. Closing saves config.ini, so it says what the box showed
# each time: back to N only if the reopened window still had the change.
for expected in Y N; do
  click "${settings_button[@]}"
  wait_for_dialog "Settings"
  xdotool mousemove --window "$dialog" "${autoclean_box[@]}" click 1
  wmctrl -i -c "$dialog"
  wait_for "settings window closed" only_main_left
  wait_for "AUTOCLEAR=$expected in config.ini after closing the settings" config_says AUTOCLEAR "$expected"
done

# --- Exit Program (the help menu's last item), Yes.
click "${help_button[@]}"
menu_up() { [ "$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l)" -gt 1 ]; }
wait_for "help menu" menu_up
key Up Return
wait_for_dialog "$main_title"
key alt+y
wait_for "end of the program after Yes" program_ended
wait "$pid"
code=$?
pid=
[ "$code" -eq 0 ] || fail "the program ended with exit code $code"
echo "desktop session: recording, report, settings and exit as expected"
