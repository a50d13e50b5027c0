#!/usr/bin/env bash
# --format journal end to end: files created, renamed and deleted in a folder while the companion
# records it into the journal; journalctl finds each event by its FM_ fields. Without a journal
# the companion says so and ends with 1. A machine without systemd as process 1 gets a
# systemd-journald started here (root only), which is stopped and whose files are removed after.
# Usage: test_journal_linux.sh COMPANION      (exit code 77: skipped, with the reason on stdout)
set -uo pipefail

companion=$1
wait_limit=30 # seconds for any one wait: a bound on a hang, not a timing assertion
socket=/run/systemd/journal/socket
journald_pid=
made=()
work=$(mktemp -d /var/tmp/fm-journal.XXXXXX) # /var/tmp: a real drive, where fanotify names processes

end() {
  if [ -n "$journald_pid" ]; then
    kill "$journald_pid" 2>/dev/null && wait "$journald_pid" 2>/dev/null
  fi
  for folder in "${made[@]}"; do rm -rf "$folder"; done
  rm -rf "$work"
}
trap end EXIT
. "$(dirname "$0")/../script_support.sh"
fail_report() {
  [ -f "$work/companion.err" ] && { echo "companion:"; cat "$work/companion.err"; }
}
journal_listens() { [ -S "$socket" ] && journalctl -n 0 -q >/dev/null 2>&1; }

if ! journal_listens; then
  [ "$(id -u)" -eq 0 ] || skip "no journal runs here and starting one needs root"
  journald=/lib/systemd/systemd-journald
  [ -x "$journald" ] || skip "$journald is not installed"
  # One journal at a time on this machine: a second test run waits for the first.
  exec 9>/run/lock/filesmonitor-journal-test.lock
  flock 9
  if ! journal_listens; then
    # The companion refuses a missing journal before recording.
    "$companion" --format journal --root "$work" --duration 5 >/dev/null 2>"$work/refused.err"
    code=$?
    [ "$code" -eq 1 ] || fail "without a journal the exit code is $code, not 1"
    grep -q 'journal cannot be reached' "$work/refused.err" || fail "no clear error without a journal: $(cat "$work/refused.err")"

    for folder in /run/systemd/journal /run/log/journal; do
      [ -e "$folder" ] || made+=("$folder")
    done
    "$journald" >"$work/journald.log" 2>&1 &
    journald_pid=$!
    wait_for "journal socket from systemd-journald" journal_listens
  fi
fi

# Created, renamed and deleted while recording; the recording is known to run once it has said
# which folders it watches.
"$companion" --format journal --root "$work" --duration 600 >"$work/companion.out" 2>"$work/companion.err" &
companion_pid=$!
watching() { grep -q '^filesmonitor-cli: watching' "$work/companion.err"; }
wait_for "recording" watching
echo data >"$work/made.txt"
mv "$work/made.txt" "$work/moved.txt"
rm "$work/moved.txt"
entries() { # field=value matches...
  journalctl -o json --no-pager "$@" 2>/dev/null
}
deleted() { [ -n "$(entries FM_ACTION=Delete "FM_PATH=$work/moved.txt")" ]; }
wait_for "Delete entry of $work/moved.txt in the journal" deleted
kill -INT "$companion_pid"
wait "$companion_pid"
code=$?
[ "$code" -eq 0 ] || fail "the companion ended with $code"
[ ! -s "$work/companion.out" ] || fail "journal output also went to stdout: $(head -n 3 "$work/companion.out")"

created=$(entries FM_ACTION=Create "FM_PATH=$work/made.txt")
[ "$(echo "$created" | grep -c .)" -eq 1 ] || fail "not one Create entry for made.txt: $created"
for field in '"FM_EVENT":"2"' '"MESSAGE":"made.txt\t-\tCreate\t'"$work"'/"' '"SYSLOG_IDENTIFIER":"filesmonitor-cli"' \
  '"FM_PROCESS":"bash"' '"FM_PID":"'; do
  grep -qF -- "$field" <<<"$created" || fail "the Create entry lacks $field: $created"
done
grep -q '"FM_NEW_PATH"' <<<"$created" && fail "a Create entry with FM_NEW_PATH: $created"
renamed=$(entries FM_ACTION="Rename File" "FM_PATH=$work/made.txt")
grep -qF "\"FM_NEW_PATH\":\"$work/moved.txt\"" <<<"$renamed" || fail "no Rename File entry to moved.txt: $renamed"
grep -qF '"FM_EVENT":"13"' <<<"$renamed" || fail "the rename is not event 13: $renamed"
echo "journal entries found for $work"
