#!/usr/bin/env bash
# Starts the utility from the build folder given as the first argument (further arguments go
# to the utility).
#
# Without hardware: starts the virtual display chain on a pseudo-terminal first and opens it at
# start-up by its stable name ($XDG_RUNTIME_DIR/vornik-chain/chain0, or the next free number),
# so the first Enter in the message field lights it, and a chain restarted meanwhile is found
# under the same name; it stops the chain when the utility exits, however it exits. With PORT set (make run PORT=/dev/ttyUSB0) the chain is skipped and that device is opened
# instead.
set -euo pipefail
build=${1:-build}
shift $(($# > 0 ? 1 : 0))

utility="$build/vornik"
chain="$build/tools/vornik-chain"

if [[ -n "${PORT:-}" ]]; then
    exec "$utility" --port "$PORT" "$@"
fi

if [[ ! -x "$chain" ]]; then
    echo "run.sh: $chain is missing; build the project first (make run builds it)." >&2
    exit 1
fi

output=$(mktemp "${TMPDIR:-/tmp}/vornik-chain.XXXXXX")
chain_pid=""
app_pid=""

stop_chain() {
    if [[ -n "$chain_pid" ]] && kill -0 "$chain_pid" 2>/dev/null; then
        kill -TERM "$chain_pid" 2>/dev/null || true
        wait "$chain_pid" 2>/dev/null || true
    fi
    rm -f "$output"
}
# Ctrl+C or a TERM to this script closes the utility through its own shutdown path; the EXIT
# trap then stops the chain.
forward() {
    if [[ -n "$app_pid" ]]; then
        kill -"$1" "$app_pid" 2>/dev/null || true
    else
        exit 130
    fi
}
trap stop_chain EXIT
trap 'forward INT' INT
trap 'forward TERM' TERM

"$chain" >"$output" &
chain_pid=$!

# The chain's first line is its device, the second its stable name; give it up to 10 seconds.
device=""
for _ in $(seq 1 100); do
    if [[ $(wc -l <"$output") -ge 2 ]]; then
        device=$(sed -n 2p "$output")
        break
    fi
    if ! kill -0 "$chain_pid" 2>/dev/null; then
        echo "run.sh: the virtual chain stopped before naming its device." >&2
        exit 1
    fi
    sleep 0.1
done
if [[ -z "$device" ]]; then
    echo "run.sh: the virtual chain did not name its device within 10 seconds." >&2
    exit 1
fi
echo "Virtual display chain on $device ($(head -n 1 "$output")): the utility opens it at start-up."

"$utility" --port "$device" "$@" &
app_pid=$!
status=0
# wait returns early when a trapped signal arrives; keep waiting until the utility has gone.
while true; do
    if wait "$app_pid"; then status=0; else status=$?; fi
    kill -0 "$app_pid" 2>/dev/null || break
done
exit "$status"
