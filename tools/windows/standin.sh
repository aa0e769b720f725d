# start_standin BINARY LOG ARGUMENTS...: runs tds-standin on a free port, its output in LOG, and
# waits until it listens: STANDIN_PID and STANDIN_PORT name it. Sourced by the Wine tests.
start_standin() {
    local binary=$1 log=$2
    shift 2
    "$binary" --port 0 "$@" >"$log" 2>&1 &
    STANDIN_PID=$!
    for _ in $(seq 1 100); do
        grep -q 'listening on' "$log" && break
        sleep 0.1
    done
    STANDIN_PORT=$(sed -n 's/.*listening on [0-9.]*:\([0-9]*\).*/\1/p' "$log" | head -n 1)
    [ -n "$STANDIN_PORT" ] || { kill "$STANDIN_PID" 2>/dev/null; fail "the stand-in did not start: $(cat "$log")"; }
}
