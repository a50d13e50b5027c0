#!/usr/bin/env bash
# Capture comparison. Each workload of bench_capture_gen (files, tree, rewrite, churn; see its
# header) runs at N and at 4N, in a folder on the root filesystem and in a tmpfs, recorded in
# turn by the companion with each backend (--format json), by inotifywait -m -r and by fatrace.
# For each run: the events a complete capture must show against those shown, the CPU time of
# the tool (user + system, every thread) while the workload ran and until its last event was
# out, and for the companion its peak memory and the create/delete pairs the kernel merged.
# Figures are ratios against inotifywait measured in the same run; the machine's other load moves
# every tool alike. Each recording is made REPEAT times (tools in turn each time): the table
# shows the median CPU, the fewest events shown and the highest peak.
#
# What each tool sees of the workloads:
#   companion   Create, Update File (at most one a second per file), Rename File or Folder,
#               Delete, New Directory, Delete Directory, each with its path(s)
#   inotifywait CREATE, MODIFY, MOVED_FROM + MOVED_TO (counted once), DELETE; in a folder it has
#               not watched yet it sees nothing, so it misses files made in a brand-new folder
#   fatrace     its own fanotify records: +, <>, D naming the folder, W naming the file; the kernel
#               merges records still queued, so it shows fewer than happened
#
# usage: bench/capture/run.sh [N [WORKLOAD...]]   (default N 100000, every workload; as root)
#   PLACES="tmpfs rootfs" TOOLS="companion-fanotify companion-inotify inotifywait fatrace" REPEAT=3
set -euo pipefail
cd "$(dirname "$0")/../.."
N=${1:-100000}
shift || true
WORKLOADS=("$@")
[ ${#WORKLOADS[@]} -gt 0 ] || WORKLOADS=(files tree rewrite churn)
read -r -a PLACES <<<"${PLACES:-tmpfs rootfs}"
read -r -a TOOLS <<<"${TOOLS:-companion-fanotify companion-inotify inotifywait fatrace}"
REPEAT=${REPEAT:-3}
SETTLE=3 # seconds without a new workload event that mark a tool as done

if [ "$(id -u)" != 0 ]; then
  echo "run.sh: fanotify and fatrace need root; run it as root" >&2
  exit 1
fi
missing=()
command -v fatrace >/dev/null || missing+=(fatrace)
command -v inotifywait >/dev/null || missing+=(inotify-tools)
if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" >/dev/null
fi

scripts/build-bench filesmonitor-cli bench_capture_gen
CLI=$PWD/build-bench/cli/filesmonitor-cli
GEN=$PWD/build-bench/bench/bench_capture_gen

SCRATCH=$(mktemp -d /var/tmp/fm-capture-bench.XXXXXX)
TMPFS=$(mktemp -d /tmp/fm-capture-tmpfs.XXXXXX)
TMPFS_MOUNTED=0
if mount -t tmpfs -o size=4g fmbench "$TMPFS" 2>/dev/null; then
  TMPFS_MOUNTED=1
else
  rmdir "$TMPFS"
  TMPFS=$(mktemp -d /dev/shm/fm-capture-tmpfs.XXXXXX)
fi
OUT=$(mktemp -d /dev/shm/fm-capture-out.XXXXXX)
TOOL_PID=
cleanup() {
  [ -n "$TOOL_PID" ] && kill "$TOOL_PID" 2>/dev/null || true
  [ "$TMPFS_MOUNTED" = 1 ] && umount "$TMPFS" 2>/dev/null || true
  rm -rf "$SCRATCH" "$TMPFS" "$OUT"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# CPU nanoseconds of every thread of a process, from the scheduler's own accounting.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ n += $1 } END { printf "%.0f", n }'; }
peak_kb() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status"; }

# Events of the workload in a tool's output (for rewrite: only its create and delete).
count_events() {
  local tool=$1 file=$2 dir=$3 workload=$4
  case $tool in
    companion-*)
      local updates='^$' # none left out
      [ "$workload" = rewrite ] && updates='"event":18,'
      grep -F "\"path\":\"$dir/" "$file" | grep -vF '/probe' | grep -vc "$updates" || true ;;
    inotifywait)
      local kinds='CREATE|MODIFY|MOVED_TO|DELETE'
      [ "$workload" = rewrite ] && kinds='CREATE|DELETE'
      grep -E "^($kinds)(,ISDIR)? " "$file" | grep -F " $dir/" | grep -vcF '/probe' || true ;;
    fatrace)
      awk -v d="$dir/" -v w="$workload" '$1 ~ /^bench_capture_g/ && index($NF "/", d) == 1 {
          n += ($2 ~ /\+/) + ($2 ~ /</) + ($2 ~ /D/) + (w != "rewrite" && $2 ~ /W/) }
        END { print n + 0 }' "$file" ;;
  esac
}

# Waits until the tool has shown every expected workload event, or none more for SETTLE seconds.
wait_done() {
  local last=-1 same=0 n
  while [ "$same" -lt $((SETTLE * 4)) ]; do
    n=$(count_events "$@")
    [ "$n" -ge "$EXPECT" ] && return 0
    if [ "$n" = "$last" ]; then same=$((same + 1)); else same=0; last=$n; fi
    sleep 0.25
  done
}

# Starts a tool on dir writing to file; waits until a probe file created in dir shows up.
start_tool() {
  local tool=$1 dir=$2 file=$3
  case $tool in
    companion-fanotify) "$CLI" --backend fanotify --root "$dir" --format json >"$file" 2>"$file.err" & ;;
    companion-inotify) "$CLI" --backend inotify --root "$dir" --format json >"$file" 2>"$file.err" & ;;
    inotifywait)
      inotifywait -m -r -q -e create,modify,moved_from,moved_to,delete --format '%e %w%f' "$dir" \
        >"$file" 2>"$file.err" &
      ;;
    fatrace)
      rm -f "$file" # fatrace refuses an existing output file
      (cd "$dir" && exec fatrace -c -o "$file") 2>"$file.err" &
      ;;
  esac
  TOOL_PID=$!
  local i=0
  while :; do
    : >"$dir/probe$i"
    sleep 0.2
    if [ -s "$file" ]; then break; fi
    i=$((i + 1))
    if [ $i -gt 300 ] || ! kill -0 "$TOOL_PID" 2>/dev/null; then
      echo "run.sh: $tool did not start: $(cat "$file.err")" >&2
      return 1
    fi
  done
  rm -f "$dir"/probe*
  sleep 0.5 # the probes' own events are out
}

stop_tool() {
  # A background job of a script ignores SIGINT; inotifywait writes each line as it goes.
  local signal=INT
  [ "$1" = inotifywait ] && signal=TERM
  kill -"$signal" "$TOOL_PID" 2>/dev/null || true
  wait "$TOOL_PID" 2>/dev/null || true
  TOOL_PID=
}

RESULTS=$OUT/results
: >"$RESULTS"
for place in "${PLACES[@]}"; do
  base=$SCRATCH
  [ "$place" = tmpfs ] && base=$TMPFS
  for workload in "${WORKLOADS[@]}"; do
    for size in "$N" $((4 * N)); do
      for _ in $(seq "$REPEAT"); do
        for tool in "${TOOLS[@]}"; do
          dir=$base/$tool
          mkdir -p "$dir"
          file=$OUT/run.out
          : >"$file"
          sync # the run before's write-back is not this run's cost
          start_tool "$tool" "$dir" "$file"
          before=$(cpu_ns "$TOOL_PID")
          read -r _ _ _ ops _ ours _ peer < <("$GEN" "$workload" "$dir" "$size")
          EXPECT=$ours
          [[ $tool == companion-* ]] || EXPECT=$peer
          wait_done "$tool" "$file" "$dir" "$workload"
          after=$(cpu_ns "$TOOL_PID")
          peak=$(peak_kb "$TOOL_PID")
          stop_tool "$tool"
          seen=$(count_events "$tool" "$file" "$dir" "$workload")
          merged=$(sed -n 's/.*: \([0-9]*\) create and delete pairs were merged.*/\1/p' "$file.err")
          echo "$place $workload $size $tool $seen $EXPECT $ops $((after - before)) $peak ${merged:-0}" >>"$RESULTS"
          grep -h "events lost\|event lost\|overflowed" "$file.err" >&2 || true
          echo "$place $workload $size $tool: $seen of $EXPECT events, $(((after - before) / 1000000)) ms CPU" >&2
          rm -rf "$dir" "$file" "$file.err"
        done
      done
    done
  done
done

# One line per case from its recordings: the median CPU (and the merged pairs of that run), the
# fewest shown, the highest peak.
SUMMARY=$OUT/summary
awk '
  { k = $1 " " $2 " " $3 " " $4
    if (!(k in runs)) { order[++n] = k; shown[k] = $5; rest[k] = $6 " " $7; peak[k] = $9 }
    r = ++runs[k]; cpu[k, r] = $8; merged[k, r] = $10
    if ($5 < shown[k]) shown[k] = $5
    if ($9 > peak[k]) peak[k] = $9 }
  END {
    for (i = 1; i <= n; i++) {
      k = order[i]; m = runs[k]
      for (a = 2; a <= m; a++) # insertion sort by CPU, the merged count along
        for (b = a; b > 1 && cpu[k, b - 1] > cpu[k, b]; b--) {
          t = cpu[k, b]; cpu[k, b] = cpu[k, b - 1]; cpu[k, b - 1] = t
          t = merged[k, b]; merged[k, b] = merged[k, b - 1]; merged[k, b - 1] = t
        }
      mid = int((m + 1) / 2)
      print k, shown[k], rest[k], cpu[k, mid], peak[k], merged[k, mid]
    }
  }' "$RESULTS" >"$SUMMARY"

echo
echo "Capture comparison, N = $N (each workload at N and 4N, median of $REPEAT); CPU: user + system of every thread"
awk '
  { key = $1 " " $2 " " $3; tool[key " " $4] = $0; cpu[key " " $4] = $8; if (!(key in seenKey)) { order[++n] = key; seenKey[key] = 1 } }
  END {
    printf "%-6s %-8s %7s %-19s %9s %9s %7s %9s %8s %8s %8s %10s\n", "place", "workload", "size", "tool", "shown", "expected", "lost", "us/op", "vs inw", "vs fatr", "peak MB", "merged/1e5"
    for (i = 1; i <= n; i++) {
      key = order[i]
      split("companion-fanotify companion-inotify inotifywait fatrace", tools, " ")
      for (t = 1; t <= 4; t++) {
        k = key " " tools[t]
        if (!(k in tool)) continue
        split(tool[k], f, " ")
        per = f[8] / 1000 / f[7]
        inw = cpu[key " inotifywait"]; fat = cpu[key " fatrace"]
        vi = (tools[t] ~ /^companion/ && inw > 0) ? sprintf("%.2f", f[8] / inw) : "-"
        vf = (tools[t] ~ /^companion/ && fat > 0) ? sprintf("%.2f", f[8] / fat) : "-"
        mem = tools[t] ~ /^companion/ ? sprintf("%.1f", f[9] / 1024) : "-"
        mer = tools[t] ~ /^companion/ ? sprintf("%.1f", f[10] * 100000 / f[6]) : "-"
        lost = f[6] - f[5]; if (lost < 0) lost = 0
        printf "%-6s %-8s %7d %-19s %9d %9d %7d %9.3f %8s %8s %8s %10s\n", f[1], f[2], f[3], f[4], f[5], f[6], lost, per, vi, vf, mem, mer
      }
    }
  }' "$SUMMARY"
echo
echo "Growth: CPU per op at 4N divided by CPU per op at N (1.00: linear)"
awk -v n="$N" '
  { k = $1 " " $2 " " $4; if ($3 == n) small[k] = $8 / $7; else { big[k] = $8 / $7; if (!(k in seenKey)) { order[++m] = k; seenKey[k] = 1 } } }
  END { for (i = 1; i <= m; i++) { k = order[i]; if (small[k] > 0) printf "%-40s %.2f\n", k, big[k] / small[k] } }' "$SUMMARY"
echo "(vs inw, vs fatr: our CPU divided by the peer's for the same workload; below 1 is less CPU)"
