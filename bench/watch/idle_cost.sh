#!/usr/bin/env bash
# Idle cost of kavrel with the emulated mouse attached and the window hidden in the tray: CPU
# of one core over the measured time and wake-ups per second (voluntary + nonvoluntary context
# switches of every thread, from /proc), per thread and in total.
#   bench/watch/idle_cost.sh [build folder (default build/watch)] [seconds (default 60)]
# The mouse is plugged in after start-up, so the window is not woken and stays in the tray.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/watch}
seconds=${2:-60}
bin=$build/bin
[[ -x $bin/kavrel && -x $bin/kavrel-devsim ]] || { echo "build kavrel and kavrel-devsim in $build first" >&2; exit 1; }

tmp=$(mktemp -d /tmp/kavrel-idle-XXXXXX)
mkdir -m 700 "$tmp/run"
export HOME=$tmp XDG_RUNTIME_DIR=$tmp/run XDG_CONFIG_HOME=$tmp/config QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export KAVREL_VHID_DIR=$tmp/vhid
mkdir -p "$KAVREL_VHID_DIR"
unset KAVREL_DEBUG

exec 3> >(exec "$bin/kavrel-devsim" --dir "$KAVREL_VHID_DIR" --device mouse --exit-on-eof > "$tmp/devsim.out")
for _ in $(seq 100); do [[ -S $KAVREL_VHID_DIR/mouse.sock ]] && break; sleep 0.05; done
echo "unplug mouse" >&3
"$bin/kavrel" > "$tmp/kavrel.log" 2>&1 &
pid=$!
cleanup() { kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; echo quit >&3 || true; exec 3>&-; rm -rf "$tmp"; }
trap cleanup EXIT
sleep 2
echo "plug mouse" >&3
sleep 3 # detection, the profile selection and the full read settle

# Per thread: id, name (without blanks), voluntary + nonvoluntary switches, CPU ticks.
switches() {
  for t in /proc/$pid/task/*; do
    local name v n c
    name=$(tr ' ' '_' < "$t/comm" 2>/dev/null) || continue
    v=$(awk '/^voluntary_ctxt_switches/ {print $2}' "$t/status")
    n=$(awk '/^nonvoluntary_ctxt_switches/ {print $2}' "$t/status")
    c=$(sed 's/.*) //' "$t/stat" | awk '{print $12 + $13}')
    echo "${t##*/} $name $((v + n)) $c"
  done
}
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }

s0=$(switches); c0=$(cpu); t0=$(date +%s.%N)
sleep "$seconds"
s1=$(switches); c1=$(cpu); t1=$(date +%s.%N)
hz=$(getconf CLK_TCK)

echo "kavrel idle with the emulated mouse attached, window in the tray, $seconds s"
awk -v c0="$c0" -v c1="$c1" -v t0="$t0" -v t1="$t1" -v hz="$hz" '
  NR == FNR { before[$1] = $3; cbefore[$1] = $4; next }
  { id = $1; d = $3 - (id in before ? before[id] : 0); per[$2] += d; tid[id " " $2] = d; total += d
    cpu[$2] += $4 - (id in cbefore ? cbefore[id] : 0) }
  END {
    el = t1 - t0
    printf "CPU: %.4f %% of one core\n", (c1 - c0) / hz / el * 100
    printf "wake-ups: %.2f per second\n", total / el
    printf "  %-16s %10s %12s\n", "thread", "wake-ups/s", "CPU % core"
    for (n in per) printf "  %-16s %10.2f %12.4f\n", n, per[n] / el, cpu[n] / hz / el * 100
    if (ENVIRON["KAVREL_BENCH_TIDS"] != "") for (i in tid) printf "  tid %-22s %8.2f /s\n", i, tid[i] / el
  }' <(echo "$s0") <(echo "$s1")
