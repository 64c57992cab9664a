#!/usr/bin/env bash
# The load of the frame positions that running copies post: eight copies of ndivantor-headless
# at 1280 x 720 60p on a private session bus post 8 x 60 = 480 messages a second, on a signal no
# copy subscribes to. Prints the CPU share of the bus daemon and of each copy over a 10 s window
# (from /proc/<pid>/stat), the position rate a bus monitor then sees, and, for comparison, the
# copies' CPU share when they run without a bus and so post nothing.
#
#     bench/sync_load.sh [path/to/ndivantor-headless]    (default: the release build)
set -euo pipefail
cd "$(dirname "$0")/.."

readonly binary=${1:-build/release/headless/ndivantor-headless}
readonly copies=8
readonly settle_s=4               # from the last copy's start to the window
readonly window_s=10
readonly monitor_s=3
readonly ticks_per_s=$(getconf CLK_TCK)

[[ -x $binary ]] || { echo "no $binary: build it first (cmake --build build/release)" >&2; exit 1; }

work=$(mktemp -d)
pids=()
daemon_pid=
cleanup() {
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    [[ -n $daemon_pid ]] && kill -TERM "$daemon_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# utime + stime of a process, in clock ticks (fields 14 and 15; the name in field 2 has no
# spaces here).
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# Waits (at most 30 s) until the file holds a line equal to the text.
wait_for_line() {
    local file=$1 text=$2
    for _ in $(seq 300); do
        grep -qxF "$text" "$file" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "timed out waiting for '$text' in $file" >&2
    return 1
}

# Launches the copies one after another on the given bus address, each at 60p, and waits until
# all of them send. With a bus each copy waits for its number first, so that none clash.
launch_copies() {
    local address=$1 on_bus=$2
    pids=()
    for n in $(seq "$copies"); do
        DBUS_SESSION_BUS_ADDRESS=$address "$binary" --rate 60 </dev/null \
            >"$work/copy$n.out" 2>"$work/copy$n.err" &
        pids+=($!)
        if [[ $on_bus == yes ]]; then
            wait_for_line "$work/copy$n.out" "Kelo Vantor for NDI® - No $n"
        fi
    done
    for n in $(seq "$copies"); do wait_for_line "$work/copy$n.out" Sending; done
    sleep "$settle_s"
}

end_copies() {
    for pid in "${pids[@]}"; do kill -TERM "$pid"; done
    for pid in "${pids[@]}"; do wait "$pid" || true; done
    pids=()
}

# Prints one line per process and the copies' sum: CPU share of one core over the window.
measure() {
    local label=$1; shift
    local -a watched=("$@") before=() after=()
    for pid in "${watched[@]}"; do before+=("$(cpu_ticks "$pid")"); done
    sleep "$window_s"
    for pid in "${watched[@]}"; do after+=("$(cpu_ticks "$pid")"); done
    local sum=0
    for i in "${!watched[@]}"; do
        local ticks=$((after[i] - before[i]))
        local name=${names[i]}
        printf '%-28s %-14s %6.2f %%\n' "$label" "$name" "$(echo "100 * $ticks / $ticks_per_s / $window_s" | bc -l)"
        [[ $name == copy* ]] && sum=$((sum + ticks))
    done
    printf '%-28s %-14s %6.2f %%\n' "$label" "copies, sum" "$(echo "100 * $sum / $ticks_per_s / $window_s" | bc -l)"
}

echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "CPU share of one core over ${window_s} s, eight copies at 1280 x 720 60p"

# With the bus: the daemon takes every position and hands it to nobody but a monitor.
bus_info=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
address=$(sed -n 1p <<<"$bus_info")
daemon_pid=$(sed -n 2p <<<"$bus_info")
launch_copies "$address" yes
names=(bus-daemon)
for n in $(seq "$copies"); do names+=("copy$n"); done
measure "positions on the bus" "$daemon_pid" "${pids[@]}"
seen=$(timeout "$monitor_s" dbus-monitor --address "$address" \
           "type='signal',interface='Kelo.UK.NDI.VTR',member='FramePosition'" 2>/dev/null |
       grep -c 'member=FramePosition' || true)
echo "positions a bus monitor sees: $((seen / monitor_s)) a second"
end_copies
kill -TERM "$daemon_pid"
daemon_pid=

# Without a bus: the same copies, posting nothing.
launch_copies "unix:path=$work/no-bus" no
names=()
for n in $(seq "$copies"); do names+=("copy$n"); done
measure "no bus (nothing posted)" "${pids[@]}"
end_copies
