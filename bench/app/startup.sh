#!/usr/bin/env bash
# Start-up and idle cost of kavrel without a device:
#   - time from process start to the end of "windowinit" (median of several starts),
#   - resident memory two seconds after start-up,
#   - CPU over the measured time with the window put away (hidden in the tray; minimised where
#     the platform offers no tray, as on the offscreen platform).
#   bench/app/startup.sh [build folder (default build/app)] [seconds (default 60)] [starts (default 7)]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/app}
seconds=${2:-60}
starts=${3:-7}
bin=$build/bin/kavrel
[[ -x $bin ]] || { echo "build kavrel in $build first" >&2; exit 1; }

tmp=$(mktemp -d /tmp/kavrel-bench-XXXXXX)
trap 'rm -rf "$tmp"' EXIT
mkdir -m 700 "$tmp/run"
export HOME=$tmp/home XDG_RUNTIME_DIR=$tmp/run XDG_CONFIG_DIRS=$tmp/xdg XDG_CONFIG_HOME=$tmp/config
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} KAVREL_DEBUG=1
mkdir -p "$HOME"

now_ns() { date +%s%N; }

# The poll waits on a FIFO nobody writes to: a builtin timed read, where an external `sleep`
# would start a process every millisecond and take the CPU from the start being measured.
mkfifo "$tmp/tick"
exec {tick}<>"$tmp/tick"

# One start: sets $ms to the milliseconds until "windowinit done" and leaves the process running
# as $pid.
start_once() {
  local log=$1 t0 t1
  t0=$(now_ns)
  "$bin" > "$log" 2>&1 {tick}<&- &
  pid=$!
  # $(<file) reads without starting a process either.
  until [[ -s $log && $(<"$log") == *"windowinit done"* ]]; do
    kill -0 "$pid" 2>/dev/null || { echo "kavrel ended early" >&2; cat "$log" >&2; exit 1; }
    read -r -t 0.001 -u "$tick" _ || true
  done
  t1=$(now_ns)
  ms=$(( (t1 - t0) / 1000000 ))
}

# The first start creates the data folder and the first profiles; later starts are the usual case.
times=()
for i in $(seq "$starts"); do
  start_once "$tmp/start$i.log"
  times+=("$ms")
  kill -TERM "$pid"; wait "$pid" || true
done
first=${times[0]}
median=$(printf '%s\n' "${times[@]:1}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')

start_once "$tmp/idle.log"
sleep 2
rss_kb=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
c0=$(cpu); t0=$(date +%s.%N)
sleep "$seconds"
c1=$(cpu); t1=$(date +%s.%N)
hz=$(getconf CLK_TCK)
kill -TERM "$pid"; wait "$pid"; rc=$?

echo "kavrel start-up and idle cost, no device, platform $QT_QPA_PLATFORM"
echo "start to windowinit done: ${median} ms (median of $((starts - 1)) starts; first start ${first} ms; all: ${times[*]})"
echo "resident memory after start: $((rss_kb / 1024)) MB (${rss_kb} kB)"
awk -v c0="$c0" -v c1="$c1" -v t0="$t0" -v t1="$t1" -v hz="$hz" -v s="$seconds" \
  'BEGIN { printf "CPU over %d s put away: %.4f %% of one core\n", s, (c1 - c0) / hz / (t1 - t0) * 100 }'
echo "exit code after SIGTERM: $rc"
