#!/bin/sh
# The package's registration of the FreeTDS driver, run against a private odbcinst.ini
# (ODBCSYSINI) so the machine's own registration is never touched.
# Usage: postinst.sh SOURCE_DIR (the packaging folder of the source tree)
set -eu
src=$1
. "$src/tests/checks.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ini="$work/odbcinst.ini"
export ODBCSYSINI="$work"

postinst() { sh "$src/postinst" "$@" >"$work/out" 2>&1; }
registeredDriver() { odbcinst -q -d -n FreeTDS 2>/dev/null | sed -n 's/^Driver=//p'; }

# A fresh machine: the driver of the machine's architecture is registered by its full path.
: >"$ini"
check "configure succeeds" postinst configure
lib=$(registeredDriver)
check "FreeTDS is registered" test -n "$lib"
check "the registered driver is tdsodbc's library ($lib)" \
    sh -c "dpkg-query -L tdsodbc:$(dpkg --print-architecture) | grep -qx '$lib' && test -f '$lib'"

# Configuring again (an upgrade) leaves the entry exactly as it was.
cp "$ini" "$work/before"
check "configure again succeeds" postinst configure
check "a second configure changes nothing" cmp "$work/before" "$ini"

# An entry of the administrator's is kept, whatever driver it names.
printf '[FreeTDS]\nDescription=own\nDriver=/opt/own/libtdsodbc.so\n' >"$ini"
cp "$ini" "$work/before"
check "configure over an existing entry succeeds" postinst configure
check "an existing FreeTDS entry is left as it is" cmp "$work/before" "$ini"

# Other maintainer calls do nothing.
: >"$ini"
for action in abort-upgrade abort-remove abort-deconfigure; do
    check "$action succeeds" postinst "$action"
done
check "only configure registers" test -z "$(registeredDriver)"

# No driver for the package's architecture: the install goes on and says what to do.
check "configure without a driver succeeds" \
    sh -c 'DPKG_MAINTSCRIPT_ARCH=nosucharch sh "$1" configure 2>"$2"' _ "$src/postinst" "$work/err"
check "a missing driver is reported" grep -q 'libtdsodbc.so of tdsodbc:nosucharch was not found' \
    "$work/err"
check "nothing is registered without a driver" test -z "$(registeredDriver)"
finish
