#!/usr/bin/env bash
# check-layers on a small tree with one upward and one relative include: both named, exit code 1.
here=$(cd "$(dirname "$0")" && pwd)
out=$("$here/../../scripts/check-layers" "$here/layers.txt" "$here" 2>&1)
rc=$?
echo "$out"
fail() { echo "FAILED: $1" >&2; exit 1; }
[ "$rc" -eq 1 ] || fail "exit code $rc, expected 1"
grep -q 'capture/UntUpward.h:5: capture/ may not include "monitor/UntShellMonitorThread.h"' <<<"$out" ||
  fail "the upward include is not named"
grep -q 'events/UntDown.h:4: includes "../capture/UntUpward.h" by a relative path' <<<"$out" ||
  fail "the relative include is not named"
grep -q 'events/UntDown.h:.*<vector>\|UntUpward.h:4' <<<"$out" && fail "an allowed include was refused"
echo "check-layers refuses both"
