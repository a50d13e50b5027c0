#!/usr/bin/env bash
# The installed desktop entry starts the program: its Exec line, run as the menu runs it (by name
# from PATH, in a real window system: Xvfb with openbox), shows the main window. As root the
# program runs as the user nobody, for whom the installed folder is read-only, and the settings
# window closed once must create the settings file in that user's configuration folder.
# Usage: test_desktop_entry.sh BUILD_FOLDER      (exit code 77: skipped, with the reason on stdout)
set -uo pipefail

build=$1
wait_limit=30 # seconds for any one wait: a bound on a hang, not a timing assertion
settings_button=(570 15)

. "$(dirname "$0")/../app/window_session.sh"

for tool in Xvfb openbox xdotool wmctrl; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/setup-deps installs it)"
done

work=$(mktemp -d) || fail "no work folder"
chmod 0755 "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install"; }
entry=$prefix/share/applications/com.velmorasoftware.FilesMonitor.desktop
# The command without its field codes (%f, %U...), which a launcher replaces.
command_line=$(sed -n 's/^Exec=//p' "$entry" | sed 's/ %[a-zA-Z]//g')
[ -n "$command_line" ] || fail "no Exec line in $entry"

home=$work/home
mkdir -p "$home" "$work/runtime"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown nobody "$home" "$work/runtime"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
chmod 700 "$work/runtime"

start_window_system
(
  cd "$home" &&
    exec "${as_user[@]}" env -i PATH="$prefix/bin:/usr/bin:/bin" DISPLAY="$DISPLAY" HOME="$home" \
      XDG_RUNTIME_DIR="$work/runtime" sh -c "exec $command_line"
) >"$work/program.log" 2>&1 &
pid=$!
windows() { wmctrl -lp 2>/dev/null | awk -v pid="$pid" '$3 == pid { id = $1; $1 = $2 = $3 = $4 = ""; sub(/^ +/, ""); print id "\t" $0 }'; }
main=
main_up() {
  main=$(windows | awk -F '\t' '/\tVelmora Windows Files Monitor v1\.1 - / { print $1; exit }')
  [ -n "$main" ]
}
wait_for "main window of \"$command_line\" from the desktop entry" main_up

if [ "$(id -u)" -eq 0 ]; then
  config=$home/.config/filesmonitor/config.ini
  [ ! -e "$config" ] || fail "$config exists before the first save"
  dialog=
  settings_up() {
    dialog=$(windows | awk -F '\t' '$2 == "Settings" { print $1; exit }')
    [ -n "$dialog" ]
  }
  xdotool mousemove --window "$main" "${settings_button[@]}" click 1
  wait_for "settings window" settings_up
  wmctrl -i -c "$dialog"
  saved() { grep -q '^AUTOEXPAND=Y' "$config" 2>/dev/null; }
  wait_for "$config after closing the settings window" saved
  [ ! -e "$prefix/bin/config.ini" ] || fail "a config.ini beside the installed program"
fi
echo "the desktop entry started the program"
