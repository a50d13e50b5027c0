#!/usr/bin/env bash
# Directory reads under Wine against recursive inotify, in the same run on the same folder:
# bench_capture_gen creates COUNT files one after another in a folder of a Wine prefix, each
# written, renamed and deleted, while filesmonitor-cli.exe --backend rdcw (under Wine) and
# filesmonitor-cli --backend inotify (Linux) both record that folder. Wine implements the reads
# over inotify, so the Linux backend is their floor. For each: events captured of those expected,
# events lost (missing, and what the program itself counted), CPU seconds per 100,000 captured
# events, and the Windows capture's CPU per event as a ratio of inotify's, for the program alone
# and with the Wine server, which turns the kernel's events into the reads' records. Under such a
# burst the Wine server itself drops records now and then (an update, one half of a rename) and
# says nothing of it, not even to a program that reads raw records: "exact" counts the files whose
# events came through whole.
#
# usage: bench/capture/wine.sh [COUNT]   (default 20000)
set -euo pipefail
cd "$(dirname "$0")/../.."
COUNT=${1:-20000}
SETTLE=5 # seconds without a new workload event that mark a program as done

scripts/build-bench filesmonitor-cli bench_capture_gen
CLI=$PWD/build-bench/cli/filesmonitor-cli
GEN=$PWD/build-bench/bench/bench_capture_gen
# The companion alone for Windows, optimised; no Qt needed.
cmake -S . -B build-bench-win -G Ninja -DCMAKE_BUILD_TYPE=Release -DFM_BUILD_GUI=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/scripts/mingw-w64.cmake" >/dev/null
cmake --build build-bench-win -j "$(nproc)" --target filesmonitor-cli >/dev/null
CLI_EXE=$PWD/build-bench-win/cli/filesmonitor-cli.exe
TICKS=$(getconf CLK_TCK)

SCRATCH=$(mktemp -d /var/tmp/fm-wine-bench.XXXXXX)
export WINEPREFIX=$SCRATCH/prefix WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
PIDS=()
cleanup() {
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
  rm -rf "$SCRATCH"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

wineboot -i >/dev/null 2>&1
wineserver -w
# A server of this prefix alone, in the foreground, so that its CPU time can be read.
wineserver -f -p &
SERVER=$!
PIDS+=("$SERVER")

DIR=$WINEPREFIX/drive_c/fmbench
mkdir -p "$DIR"
LINUX_OUT=$SCRATCH/inotify.out
WINE_OUT=$SCRATCH/rdcw.out
"$CLI" --backend inotify --root "$DIR" --format json >"$LINUX_OUT" 2>"$LINUX_OUT.err" &
LINUX_PID=$!
PIDS+=("$LINUX_PID")
wine "$CLI_EXE" --backend rdcw --root 'C:\fmbench' --format json >"$WINE_OUT" 2>"$WINE_OUT.err" &
WINE_PID=$!
PIDS+=("$WINE_PID")

# Both watch once a probe file made in the folder shows in both outputs.
i=0
until [ -s "$LINUX_OUT" ] && [ -s "$WINE_OUT" ]; do
  : >"$DIR/probe$i"
  sleep 0.2
  i=$((i + 1))
  if [ $i -gt 300 ]; then
    echo "wine.sh: the programs did not start: $(cat "$LINUX_OUT.err" "$WINE_OUT.err")" >&2
    exit 1
  fi
done
rm -f "$DIR"/probe*

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# Workload events in an output: lines whose path names one of the generator's files.
count_events() { grep -cE '"path":"[^"]*[/\\][fg][0-9]+"' "$1" || true; }
# Files whose events came exactly as made: Create, Update File, Rename File, Delete. A rename
# seen as a removal and an addition counts two events for one, so "captured" alone can hide it.
count_exact() {
  awk -v count="$COUNT" 'match($0, /"event":[0-9]+/) {
    e = substr($0, RSTART + 8, RLENGTH - 8)
    if (!match($0, /"path":"[^"]*[fg][0-9]+"/)) next
    p = substr($0, RSTART, RLENGTH - 1)
    match(p, /[0-9]+$/)
    seq[substr(p, RSTART)] = seq[substr(p, RSTART)] "," e
  }
  END { n = 0; for (i = 0; i < count; i++) if (seq[i] == ",2,18,13,3") n++; print n }' "$1"
}

linux_before=$(count_events "$LINUX_OUT")
wine_before=$(count_events "$WINE_OUT")
linux_cpu0=$(cpu_ticks "$LINUX_PID")
wine_cpu0=$(cpu_ticks "$WINE_PID")
server_cpu0=$(cpu_ticks "$SERVER")
expected=$("$GEN" each "$DIR" "$COUNT" | awk '{ print $6 }')

# Until both show every event, or neither shows a new one for SETTLE seconds.
last=-1
same=0
while [ "$same" -lt $((SETTLE * 4)) ]; do
  linux_now=$(($(count_events "$LINUX_OUT") - linux_before))
  wine_now=$(($(count_events "$WINE_OUT") - wine_before))
  [ "$linux_now" -ge "$expected" ] && [ "$wine_now" -ge "$expected" ] && break
  if [ "$((linux_now + wine_now))" = "$last" ]; then same=$((same + 1)); else same=0; last=$((linux_now + wine_now)); fi
  sleep 0.25
done
linux_cpu=$(($(cpu_ticks "$LINUX_PID") - linux_cpu0))
wine_cpu=$(($(cpu_ticks "$WINE_PID") - wine_cpu0))
server_cpu=$(($(cpu_ticks "$SERVER") - server_cpu0))

# Each ends on SIGINT (Wine turns it into Ctrl+C) and says what it counted as lost.
kill -INT "$LINUX_PID" "$WINE_PID"
wait "$LINUX_PID" "$WINE_PID" 2>/dev/null || true
linux_captured=$(($(count_events "$LINUX_OUT") - linux_before))
wine_captured=$(($(count_events "$WINE_OUT") - wine_before))
linux_exact=$(count_exact "$LINUX_OUT")
wine_exact=$(count_exact "$WINE_OUT")
linux_said=$(grep -hE "events? lost" "$LINUX_OUT.err" || echo "no events lost")
wine_said=$(grep -hE "events? lost" "$WINE_OUT.err" || echo "no events lost")

echo
echo "Directory reads under Wine against inotify: $COUNT files, each created, written, renamed and deleted"
echo "($expected events expected per program; both recorded the same folder at the same time)"
printf '%-30s %9s %8s %7s %11s %10s  %s\n' program captured missing exact "cpu s/100k" "vs inotify" "said"
awk -v ticks="$TICKS" -v expected="$expected" \
  -v lc="$linux_captured" -v lcpu="$linux_cpu" -v ls="$linux_said" -v lx="$linux_exact" \
  -v wc="$wine_captured" -v wcpu="$wine_cpu" -v scpu="$server_cpu" -v ws="$wine_said" -v wx="$wine_exact" 'BEGIN {
  lper = lc > 0 ? lcpu / ticks / lc * 100000 : 0
  wper = wc > 0 ? wcpu / ticks / wc * 100000 : 0
  sper = wc > 0 ? (wcpu + scpu) / ticks / wc * 100000 : 0
  printf "%-30s %9d %8d %7d %11.3f %10s  %s\n", "inotify (Linux)", lc, expected - lc, lx, lper, "1.00", ls
  printf "%-30s %9d %8d %7d %11.3f %10s  %s\n", "rdcw (Wine), the program", wc, expected - wc, wx, wper,
    (lper > 0 ? sprintf("%.2f", wper / lper) : "-"), ws
  printf "%-30s %9s %8s %7s %11.3f %10s\n", "rdcw (Wine), with wineserver", "", "", "", sper,
    (lper > 0 ? sprintf("%.2f", sper / lper) : "-")
}'
echo "(exact: files of $COUNT whose four events came as made; ratios: CPU seconds per captured event"
echo " divided by inotify's, below 1 is less CPU per event)"
