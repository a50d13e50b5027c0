#!/usr/bin/env bash
# The Debian package round trip on this machine: scripts/package builds it (lintian finds no
# error), apt-get installs it, the installed programs run from /usr (--help, a two-second capture
# of a created file), the helper has its group, mode and capabilities, the desktop entry and the
# service unit pass their checks; apt-get purge removes every file and the group it made.
# Usage: test_deb.sh SOURCE_FOLDER BUILD_FOLDER      (exit code 77: skipped, with the reason on stdout)
set -uo pipefail

source=$1
build=$2
wait_limit=30 # seconds for any one wait: a bound on a hang, not a timing assertion
installed=
work=$(mktemp -d /var/tmp/fm-deb.XXXXXX) # /var/tmp: a real drive, recorded by fanotify

end() {
  [ -n "$installed" ] && apt-get purge -y -qq filesmonitor >/dev/null 2>&1
  rm -rf "$work"
}
trap end EXIT
. "$(dirname "$0")/../script_support.sh"

[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
exec 9>/run/lock/filesmonitor-deb-test.lock
flock 9
dpkg-query -W -f='${Status}' filesmonitor 2>/dev/null | grep -q 'install ok' &&
  skip "a filesmonitor package is installed on this machine: it is left alone"

"$source/scripts/package" --build "$build" >"$work/package.log" 2>&1 || { cat "$work/package.log"; fail "scripts/package"; }
deb=$(tail -n 1 "$work/package.log")
[ -f "$deb" ] || fail "scripts/package named no package: $deb"
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' >"$work/files"

group_before=$(getent group filesmonitor)
installed=yes
apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get install $deb"; }

/usr/bin/filesmonitor-cli --help >"$work/help.txt" || fail "the installed filesmonitor-cli --help"
grep -q -- '--format' "$work/help.txt" || fail "--help without its options"
helper=/usr/libexec/filesmonitor/filesmonitor-capture
[ "$(stat -c '%U:%G %a' "$helper")" = "root:filesmonitor 750" ] || fail "helper: $(stat -c '%U:%G %a' "$helper")"
getcap "$helper" | grep -q 'cap_dac_read_search,cap_sys_admin=ep' || fail "helper capabilities: $(getcap "$helper")"
desktop-file-validate /usr/share/applications/com.velmorasoftware.FilesMonitor.desktop || fail "installed desktop entry"
man -w filesmonitor-cli >/dev/null 2>&1 || fail "man does not find filesmonitor-cli"
mkdir -p "$work/units"
instance=filesmonitor-cli@$(systemd-escape --path /var/tmp).service
cp "/usr/lib/systemd/system/filesmonitor-cli@.service" "$work/units/$instance"
systemd-analyze verify "$work/units/$instance" >"$work/verify.log" 2>&1 || { cat "$work/verify.log"; fail "systemd-analyze verify"; }
[ ! -s "$work/verify.log" ] || { cat "$work/verify.log"; fail "systemd-analyze verify warned"; }

# Two seconds of recording from the installed path, a file created while it runs.
mkdir "$work/watched"
/usr/bin/filesmonitor-cli --root "$work/watched" --format json --duration 2 >"$work/capture.out" 2>"$work/capture.err" &
capture_pid=$!
watching() { grep -q '^filesmonitor-cli: watching' "$work/capture.err"; }
wait_for "recording from the installed companion" watching
echo data >"$work/watched/created.txt"
wait "$capture_pid"
code=$?
[ "$code" -eq 0 ] || { cat "$work/capture.err"; fail "the installed companion ended with $code"; }
grep -q "\"action\":\"Create\".*\"path\":\"$work/watched/created.txt\"" "$work/capture.out" ||
  { cat "$work/capture.out" "$work/capture.err"; fail "the two-second capture missed created.txt"; }

apt-get purge -y -qq filesmonitor >"$work/purge.log" 2>&1 || { cat "$work/purge.log"; fail "apt-get purge"; }
installed=
dpkg-query -W -f='${Status}' filesmonitor 2>/dev/null | grep -q 'install ok' && fail "still installed after purge"
while read -r file; do
  [ ! -e "$file" ] || fail "$file is left after purge"
done <"$work/files"
[ "$(getent group filesmonitor)" = "$group_before" ] || fail "the group filesmonitor is not as before: $(getent group filesmonitor)"
[ ! -e /var/lib/filesmonitor ] || fail "/var/lib/filesmonitor is left after purge"
echo "package $deb installed, used and purged"
