# Shared by the packaging tests: each failed check is named, and the test fails at its end.
failures=0

# check WHAT COMMAND...: runs the command quietly; on failure names WHAT and shows its output.
check() {
    what=$1
    shift
    if out=$("$@" 2>&1); then
        echo "ok: $what"
    else
        echo "FAIL: $what" >&2
        [ -z "$out" ] || printf '%s\n' "$out" | sed 's/^/    /' >&2
        failures=$((failures + 1))
    fi
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
}

# require WHAT COMMAND...: as check, but the test ends here, since nothing after it can pass.
require() {
    check "$@"
    finish
}
