#!/bin/sh
# The desktop entry, the AppStream metadata and the man page as the desktop's tools read them.
# Usage: validate.sh SOURCE_DIR BINARY_DIR (the packaging folders of the source and build trees)
set -eu
src=$1
bin=$2
. "$src/tests/checks.sh"

check "desktop entry is valid" desktop-file-validate "$src/example.korvid.Korvid.desktop"
# --no-net: the metadata names no web address, and the build machine may have no network.
check "AppStream metadata is valid" appstreamcli validate --no-net \
    "$bin/example.korvid.Korvid.metainfo.xml"
manWarnings() {
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
        man --warnings -E UTF-8 -l -Tutf8 -Z "$bin/korvid.1" 2>&1 >/dev/null)
    [ -z "$warnings" ] || { printf '%s\n' "$warnings"; return 1; }
}
check "man page formats without warnings" manWarnings

# The newest changelog entry is the release the metadata announces, version and date.
release=$(sed -n 's/.*<release version="\([^"]*\)" date="\([^"]*\)".*/\1 \2/p' \
    "$bin/example.korvid.Korvid.metainfo.xml" | head -n 1)
changelog="$src/../CHANGELOG"
newest="$(dpkg-parsechangelog -l "$changelog" -S Version) $(date -u -d \
    "@$(dpkg-parsechangelog -l "$changelog" -S Timestamp)" +%F)"
check "CHANGELOG's newest entry ($newest) is the release in the metadata ($release)" \
    test "$newest" = "$release"
finish
