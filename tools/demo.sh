#!/usr/bin/env bash
# Korvid's demo: tds-standin with a few databases, some of them detached so their files wait in
# the demo folder to be found and attached, then Korvid itself. The server stops with Korvid, and
# the demo ends with Korvid's exit status.
# Usage: demo.sh [--check-display]   (--check-display: only say whether Korvid can open a window)
set -Eeuo pipefail
trap 'status=$?; echo "demo: \"$BASH_COMMAND\" failed with status $status" >&2; exit $status' ERR
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BIN="$ROOT/build/bin"
DEMO=${KORVID_DEMO_DIR:-/tmp/korvid-demo}

# Korvid is a window: Qt aborts at start when it has no display to open it on.
display_usable() {
    local platform
    if [ -z "${QT_QPA_PLATFORM:-}" ]; then
        [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]
        return
    fi
    IFS=';' read -ra platforms <<<"$QT_QPA_PLATFORM"
    for platform in "${platforms[@]}"; do
        case "${platform%%:*}" in
            xcb) [ -z "${DISPLAY:-}" ] || return 0 ;;
            wayland*) [ -z "${WAYLAND_DISPLAY:-}" ] || return 0 ;;
            "") ;;
            *) return 0 ;; # offscreen, vnc, linuxfb, eglfs: a display of Qt's own
        esac
    done
    return 1
}
if ! display_usable; then
    echo "demo: Korvid needs a display, and there is none: DISPLAY and WAYLAND_DISPLAY are not" \
        "set${QT_QPA_PLATFORM:+ for QT_QPA_PLATFORM=$QT_QPA_PLATFORM}. Run the demo in a desktop" \
        "session, or under xvfb-run." >&2
    exit 1
fi
[ "${1:-}" != --check-display ] || exit 0
SERVER_DIR="$DEMO/server"
DATA_DIR="$DEMO/data"
# The files of the databases that stay attached live outside the folder to be searched: found
# there, they would be in use and auto attach would stop at the first of them.
ATTACHED_DIR="$DEMO/attached"

for exe in tds-standin korvid; do
    [ -x "$BIN/$exe" ] || { echo "missing $BIN/$exe: run ./dev build first" >&2; exit 1; }
done
command -v tsql >/dev/null || { echo "tsql (freetds-bin) is missing: run ./dev deps" >&2; exit 1; }

# A fresh start each time: only the demo's own folders are removed.
rm -rf "$SERVER_DIR" "$DATA_DIR" "$ATTACHED_DIR"
mkdir -p "$SERVER_DIR" "$DATA_DIR/2003/sales" "$DATA_DIR/archive" "$DATA_DIR/人事" "$ATTACHED_DIR"

PASSWORD=$(LC_ALL=C tr -dc 'A-Za-z0-9' </dev/urandom | head -c 10 || true)
[ -n "$PASSWORD" ] || PASSWORD=korvid-demo

PORT=1433
if (exec 3<>/dev/tcp/127.0.0.1/1433) 2>/dev/null; then
    PORT=0  # 1433 is taken: the server picks a free port
fi

LOG="$DEMO/server.log"
# setpriv makes the server die with this script even when the script itself is killed outright.
PDEATH=()
command -v setpriv >/dev/null && PDEATH=(setpriv --pdeathsig KILL --)
"${PDEATH[@]}" "$BIN/tds-standin" --data "$SERVER_DIR" --port "$PORT" --sa-password "$PASSWORD" \
    </dev/null >"$LOG" 2>&1 &
SERVER_PID=$!
stop_server() {
    if kill -0 "$SERVER_PID" 2>/dev/null; then
        kill "$SERVER_PID" 2>/dev/null || true
        wait "$SERVER_PID" 2>/dev/null || true
    fi
}
trap stop_server EXIT
trap 'stop_server; exit 130' INT TERM HUP

# The server names its port on its first line.
for _ in $(seq 1 150); do
    if grep -q 'listening on' "$LOG" 2>/dev/null; then break; fi
    kill -0 "$SERVER_PID" 2>/dev/null || { echo "tds-standin did not start:" >&2; cat "$LOG" >&2; exit 1; }
    sleep 0.1
done
PORT=$(sed -n 's/.*listening on [0-9.]*:\([0-9]*\).*/\1/p' "$LOG" | head -n1)
[ -n "$PORT" ] || { echo "tds-standin did not report its port:" >&2; cat "$LOG" >&2; exit 1; }

# Six databases; four are detached again, so their files are there to be found.
SQL=$(cat <<SQLTEXT
CREATE DATABASE Sales2003 ON (NAME = Sales2003_Data, FILENAME = '$DATA_DIR/2003/sales/Sales2003_Data.MDF') LOG ON (NAME = Sales2003_Log, FILENAME = '$DATA_DIR/2003/sales/Sales2003_Log.LDF')
go
CREATE DATABASE [Human Resources] ON (NAME = HR_Data, FILENAME = '$DATA_DIR/人事/Human Resources_Data.MDF') LOG ON (NAME = HR_Log, FILENAME = '$DATA_DIR/人事/Human Resources_Log.LDF')
go
CREATE DATABASE [库存管理] ON (NAME = Stock_Data, FILENAME = '$DATA_DIR/人事/库存管理_Data.MDF') LOG ON (NAME = Stock_Log, FILENAME = '$DATA_DIR/人事/库存管理_Log.LDF')
go
CREATE DATABASE Archive1999 ON (NAME = Archive1999_Data, FILENAME = '$DATA_DIR/archive/Archive1999_Data.MDF') LOG ON (NAME = Archive1999_Log, FILENAME = '$DATA_DIR/archive/Archive1999_Log.LDF')
go
CREATE DATABASE Payroll ON (NAME = Payroll_Data, FILENAME = '$ATTACHED_DIR/Payroll_Data.MDF') LOG ON (NAME = Payroll_Log, FILENAME = '$ATTACHED_DIR/Payroll_Log.LDF')
go
CREATE DATABASE Inventory ON (NAME = Inventory_Data, FILENAME = '$ATTACHED_DIR/Inventory_Data.MDF') LOG ON (NAME = Inventory_Log, FILENAME = '$ATTACHED_DIR/Inventory_Log.LDF')
go
EXEC sp_detach_db @dbname = 'Sales2003'
go
EXEC sp_detach_db @dbname = 'Human Resources'
go
EXEC sp_detach_db @dbname = '库存管理'
go
EXEC sp_detach_db @dbname = 'Archive1999'
go
select name  from sysdatabases ORDER BY name
go
SQLTEXT
)
echo "creating the demo databases..."
if ! OUT=$(printf '%s\nexit\n' "$SQL" | LC_ALL=C.UTF-8 TDSVER=7.1 \
    tsql -H 127.0.0.1 -p "$PORT" -U sa -P "$PASSWORD" -o q 2>&1); then
    echo "$OUT" >&2
    echo "warning: the demo databases could not all be created" >&2
elif echo "$OUT" | grep -qi 'Msg [0-9]'; then
    echo "$OUT" | grep -i -A1 'Msg [0-9]' >&2
    echo "warning: the server refused some demo statements" >&2
fi

SERVER_NAME="127.0.0.1,$PORT"
[ "$PORT" = 1433 ] && SERVER_NAME="(local)"
cat <<TEXT

  Korvid demo
  -----------
  In the login dialog type
    服务器：  $SERVER_NAME
    SA密码：  $PASSWORD
  Then search the folder  $DATA_DIR  (pattern *.MDF) and press "自动附加".
  The server's files are in $SERVER_DIR; it stops when Korvid is closed.

TEXT

status=0
LC_ALL=${LC_ALL:-C.UTF-8} "$BIN/korvid" || status=$?
if [ "$status" -gt 128 ]; then
    echo "demo: korvid was ended by signal $((status - 128)) ($(kill -l "$status"))" >&2
elif [ "$status" -ne 0 ]; then
    echo "demo: korvid ended with status $status" >&2
fi
exit "$status"
