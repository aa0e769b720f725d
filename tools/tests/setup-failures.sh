#!/usr/bin/env bash
# ./dev and the demo when a step fails: each says what failed and why, and ends non-zero. Every
# outside program they call is a stub here, so nothing is installed, built or started.
# Usage: setup-failures.sh PROJECT_SOURCE_DIR
set -uo pipefail
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree="$work/tree"
failures=0

stub() {
    printf '#!/bin/sh\n%s\n' "$2" >"$work/stubs/$1"
    chmod +x "$work/stubs/$1"
}

# A copy of the scripts on a machine where everything is installed and registered.
newTree() {
    rm -rf "$tree" "$work/stubs" "$work/demo"
    mkdir -p "$tree/packaging" "$tree/tools" "$tree/build/bin" "$work/stubs" \
        "$tree/tests/standin/integration/tedious/node_modules"
    cp "$root/dev" "$tree/"
    cp "$root/packaging/postinst" "$tree/packaging/"
    cp "$root/tools/demo.sh" "$tree/tools/"
    touch -d 2000-01-01 "$tree/tests/standin/integration/tedious/package-lock.json"
    touch "$tree/tests/standin/integration/tedious/node_modules/.package-lock.json"
    stub dpkg-query 'echo "install ok installed"'
    stub odbcinst 'exit 0'
    stub node 'echo v18.20.4'
    stub npm 'exit 0'
    stub id 'echo 0'
}

# expect WHAT STATUS TEXTS COMMAND...: the command ends with STATUS (any non-zero for "fail")
# and prints each line of TEXTS.
expect() {
    local what=$1 want=$2 texts=$3 status=0 missing=""
    shift 3
    (cd "$tree" && PATH="$work/stubs:$PATH" "$@") >"$work/out" 2>&1 || status=$?
    while IFS= read -r text; do
        grep -qF -- "$text" "$work/out" || missing="$missing [$text]"
    done <<<"$texts"
    if { [ "$want" = fail ] && [ "$status" -eq 0 ]; } ||
        { [ "$want" != fail ] && [ "$status" -ne "$want" ]; } || [ -n "$missing" ]; then
        echo "FAIL: $what: status $status (wanted $want), missing:$missing in:" >&2
        sed 's/^/    /' "$work/out" >&2
        failures=$((failures + 1))
    else
        echo "ok: $what"
    fi
}

newTree
stub dpkg-query 'exit 1'
stub apt-get 'echo "E: Unable to locate package qt6-base-dev"; exit 100'
expect "apt-get's error is shown and named" fail "E: Unable to locate package qt6-base-dev
./dev: apt-get update failed" ./dev deps

newTree
rm "$tree/tests/standin/integration/tedious/node_modules/.package-lock.json"
stub npm 'echo "npm error notarget No matching version found for tedious@99.0.0." >&2; exit 1'
expect "npm's error is shown and named with Node's version" fail \
    "npm error notarget No matching version
./dev: npm ci in tests/standin/integration/tedious (Node.js v18.20.4) failed" ./dev deps

newTree
stub odbcinst 'exit 1'
stub dpkg-query '[ "$1" = -W ] && echo "install ok installed"'
expect "a driver that cannot be registered says why and stops ./dev" fail \
    "libtdsodbc.so of tdsodbc:$(dpkg --print-architecture) was not found
./dev: the FreeTDS ODBC driver could not be registered" ./dev deps

newTree
stub cmake 'echo "CMake Error at CMakeLists.txt:20 (find_package): Qt6 not found"; exit 1'
expect "cmake's configure error is shown and named" fail "CMake Error at CMakeLists.txt:20
./dev: cmake configure (preset default) failed" ./dev package

newTree
expect "the demo without a display says so" fail "Korvid needs a display" \
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ./dev demo

newTree
printf '#!/bin/sh\necho "listening on 127.0.0.1:1433"\nexec sleep 60\n' >"$tree/build/bin/tds-standin"
printf '#!/bin/sh\nkill -ABRT $$\n' >"$tree/build/bin/korvid"
chmod +x "$tree/build/bin/tds-standin" "$tree/build/bin/korvid"
stub tsql 'cat >/dev/null'
expect "an aborted korvid ends the demo with its status" 134 "korvid was ended by signal 6 (ABRT)" \
    env DISPLAY=:0 KORVID_DEMO_DIR="$work/demo" tools/demo.sh

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
