#!/usr/bin/env bash
# Capture comparison: one workload (COUNT files created, renamed and deleted by bench_capture_gen)
# recorded by the companion with each backend, by fatrace and by inotifywait -m -r, one after
# another, in a folder on the root filesystem and in a tmpfs. For each: events captured against
# events expected, events lost, CPU seconds per 100,000 captured events, and the ratios of our
# CPU per event against each peer.
#
# What each tool can see of one file's life (create, rename, delete):
#   companion   three events, each with its path(s)
#   inotifywait CREATE, MOVED_FROM + MOVED_TO (counted as one rename), DELETE, each with its name
#   fatrace     "+", "<>", "D" naming only the folder (plus O and CW for the open); the kernel merges
#               identical folder events still queued, so its count of creates, renames and deletes
#               is what it reports, and the difference is counted as lost.
#
# usage: bench/capture/run.sh [COUNT]   (default 200000; needs root for fanotify and fatrace)
set -euo pipefail
cd "$(dirname "$0")/../.."
COUNT=${1:-200000}
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
TICKS=$(getconf CLK_TCK)

SCRATCH=$(mktemp -d /var/tmp/fm-capture-bench.XXXXXX)
TMPFS=$(mktemp -d /tmp/fm-capture-tmpfs.XXXXXX)
TMPFS_MOUNTED=0
if mount -t tmpfs -o size=2g fmbench "$TMPFS" 2>/dev/null; then
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

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# Waits until the tool has shown every expected workload event, or none more for SETTLE seconds.
wait_done() {
  local tool=$1 file=$2 dir=$3 target=$4 last=-1 same=0 n
  while [ "$same" -lt $((SETTLE * 4)) ]; do
    n=$(count_events "$tool" "$file" "$dir")
    [ "$n" -ge "$target" ] && return 0
    if [ "$n" = "$last" ]; then same=$((same + 1)); else same=0; last=$n; fi
    sleep 0.25
  done
}

# Events of the workload in a tool's output: creates + renames + deletes.
count_events() {
  local tool=$1 file=$2 dir=$3
  case $tool in
    companion-*)
      grep -cE "\"path\":\"$dir/[fg][0-9]+\"" "$file" || true ;;
    inotifywait)
      grep -cE "^(CREATE|MOVED_TO|DELETE) $dir/[fg][0-9]+$" "$file" || true ;;
    fatrace)
      # Folder-level records of the generator only: + create, <> rename, D delete.
      # A merged record ("+<>", "D<>") stands for one event of each kind it names.
      awk -v d="$dir" '$0 ~ /^bench_capture_g/ && $NF == d { n += ($2 ~ /\+/) + ($2 ~ /</) + ($2 ~ /D/) } END { print n + 0 }' "$file" ;;
  esac
}

# Starts a tool on dir writing to file; waits until a probe file created in dir shows up.
start_tool() {
  local tool=$1 dir=$2 file=$3
  case $tool in
    companion-fanotify) "$CLI" --backend fanotify --root "$dir" --format json >"$file" 2>"$file.err" & ;;
    companion-inotify) "$CLI" --backend inotify --root "$dir" --format json >"$file" 2>"$file.err" & ;;
    inotifywait) inotifywait -m -r -q -e create,moved_from,moved_to,delete --format '%e %w%f' "$dir" >"$file" 2>"$file.err" & ;;
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
    if [ $i -gt 300 ]; then
      echo "run.sh: $tool did not start: $(cat "$file.err")" >&2
      return 1
    fi
  done
  rm -f "$dir"/probe*
}

stop_tool() {
  # A background job of a script ignores SIGINT; inotifywait writes each line as it goes.
  local signal=INT
  [ "$1" = inotifywait ] && signal=TERM
  kill -"$signal" "$TOOL_PID" 2>/dev/null || true
  wait "$TOOL_PID" 2>/dev/null || true
  TOOL_PID=
}

TOOLS=(companion-fanotify companion-inotify fatrace inotifywait)
declare -A CAPTURED CPU
for place in rootfs tmpfs; do
  base=$SCRATCH
  [ $place = tmpfs ] && base=$TMPFS
  for tool in "${TOOLS[@]}"; do
    dir=$base/$tool
    mkdir -p "$dir"
    file=$OUT/$place-$tool.out
    : >"$file"
    start_tool "$tool" "$dir" "$file"
    before_events=$(count_events "$tool" "$file" "$dir")
    before_cpu=$(cpu_ticks "$TOOL_PID")
    expected=$("$GEN" "$dir" "$COUNT" | awk '{ print $8 }')
    wait_done "$tool" "$file" "$dir" $((before_events + expected))
    after_cpu=$(cpu_ticks "$TOOL_PID")
    stop_tool "$tool"
    grep -hE "events? lost" "$file.err" >&2 || true
    CAPTURED[$place,$tool]=$(( $(count_events "$tool" "$file" "$dir") - before_events ))
    CPU[$place,$tool]=$(awk -v a="$before_cpu" -v b="$after_cpu" -v t="$TICKS" 'BEGIN { printf "%.2f", (b - a) / t }')
    EXPECTED=$expected
    echo "$place $tool: ${CAPTURED[$place,$tool]} of $expected events, ${CPU[$place,$tool]} CPU seconds" >&2
    rm -rf "$dir" "$file" "$file.err"
  done
done

echo
echo "Capture comparison: $COUNT files created, renamed and deleted ($EXPECTED events expected per run)"
printf '%-7s %-19s %9s %8s %11s %12s %12s\n' place tool captured lost "cpu s/100k" "vs fatrace" "vs inotifyw"
for place in rootfs tmpfs; do
  for tool in "${TOOLS[@]}"; do
    awk -v place=$place -v tool=$tool -v cap="${CAPTURED[$place,$tool]}" -v expected="$EXPECTED" \
        -v cpu="${CPU[$place,$tool]}" -v fcap="${CAPTURED[$place,fatrace]}" -v fcpu="${CPU[$place,fatrace]}" \
        -v icap="${CAPTURED[$place,inotifywait]}" -v icpu="${CPU[$place,inotifywait]}" 'BEGIN {
      per = cap > 0 ? cpu / cap * 100000 : 0
      fper = fcap > 0 ? fcpu / fcap * 100000 : 0
      iper = icap > 0 ? icpu / icap * 100000 : 0
      vf = (tool ~ /^companion/ && fper > 0) ? sprintf("%.2f", per / fper) : "-"
      vi = (tool ~ /^companion/ && iper > 0) ? sprintf("%.2f", per / iper) : "-"
      printf "%-7s %-19s %9d %8d %11.3f %12s %12s\n", place, tool, cap, expected - cap, per, vf, vi
    }'
  done
done
echo "(ratios: our CPU seconds per event divided by the peer's; below 1 is less CPU per event)"
