#!/usr/bin/env bash
# The Windows part of Korvid's tests: ctest of the Windows build (the logic suites, the smoke test
# of korvid.exe, the installer) under Wine, in an X server of its own (Xvfb), with a Wine prefix
# of the build's own and FreeTDS registered as "SQL Server" in a private odbcinst.ini. Nothing
# outside the build folder changes. The logic suites use a stand-in started here, outside Wine.
# Usage: wine-tests.sh BUILD_DIR TDS_STANDIN [ctest arguments...]
set -Eeuo pipefail
build=$(cd "$1" && pwd)
standin=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
shift 2
work=$build/wine-test
rm -rf "$work" "$build/screenshots"
mkdir -p "$work/odbc" "$work/standin"

say() { echo "wine tests: $*" >&2; }
fail() {
    say "$*"
    exit 1
}
[ -x "$standin" ] || fail "the stand-in $standin is missing (the Linux build makes it)"

pids=()
cleanup() {
    [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
}
trap cleanup EXIT

# An X server on a display number it picks itself.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 200); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
display=$(head -n 1 "$work/display")
[ -n "$display" ] || fail "Xvfb did not start: $(tail -n 5 "$work/xvfb.log")"
export DISPLAY=:$display

# FreeTDS under the name of Windows' own driver; Wine's odbc32 hands its calls to unixODBC.
driver=$(odbcinst -q -d -n FreeTDS 2>/dev/null | sed -n 's/^Driver=//p' | head -n 1)
case "$driver" in
    /*) ;;
    *) driver=$(dpkg-query -L tdsodbc 2>/dev/null | grep '/libtdsodbc\.so$' | head -n 1) ;;
esac
[ -n "$driver" ] || fail "the FreeTDS ODBC driver (tdsodbc) is not installed"
printf '[SQL Server]\nDescription=FreeTDS\nDriver=%s\n' "$driver" >"$work/odbc/odbcinst.ini"
: >"$work/odbc/odbc.ini"
export ODBCSYSINI=$work/odbc

# The prefix is made once per build folder (about 20 s). No crash dialog waits for a person, no
# window manager is waited for (Xvfb has none), no Mono or Gecko is offered.
export WINEPREFIX=$build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/.korvid-ready" ]; then
    say "making the Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    wineboot -i >"$work/wineboot.log" 2>&1 || fail "wineboot failed: $(tail -n 5 "$work/wineboot.log")"
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
    wineserver -w
    touch "$WINEPREFIX/.korvid-ready"
fi

# The stand-in the logic suites share, outside Wine.
password=Wine$RANDOM$RANDOM
. "$(dirname "$0")/standin.sh"
start_standin "$standin" "$work/standin.log" --data "$work/standin" --sa-password "$password"
pids+=("$STANDIN_PID")
port=$STANDIN_PORT
export KORVID_STANDIN=127.0.0.1,$port KORVID_STANDIN_PASSWORD=$password
export KORVID_STANDIN_BINARY=$standin

# One at a time: the smoke test and the installer share the display and the prefix.
ctest --test-dir "$build" --output-on-failure "$@"
