#!/usr/bin/env bash
# Gets the Qt that Korvid for Windows is built against (qtbase 6.4.2 for x86_64-w64-mingw32,
# shared, Release: Core, Gui, Widgets, Test, the windows platform and the windowsvista style)
# and prints its folder.
#
# The prebuilt tarball in ../shared/windows is used when it is there and its checksum is the one
# below; otherwise Qt is built here from Debian's qt6-base source with the configure line and the
# patch beside this script (about an hour on 2 cores). Either lands in a cache keyed on what made
# it, so a second run costs nothing: $KORVID_CACHE, else ~/.cache/korvid.
set -Eeuo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
CACHE=${KORVID_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/korvid}
QT_VERSION=6.4.2
TARBALL=${KORVID_QT_TARBALL:-$ROOT/../shared/windows/qt6-win64-$QT_VERSION.tar.xz}
TARBALL_SHA256=20544c194870a99525f23a9f8a873f5e8428767adfbee80f509cc8bbcfdb18a1
JOBS=${JOBS:-2}

say() { echo "target Qt: $*" >&2; }
fail() {
    say "$*"
    exit 1
}

# What goes into configure; changing any of it makes another cache entry.
configure_options() {
    printf '%s\n' -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DINPUT_opengl=no \
        -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF -DFEATURE_printsupport=OFF -DFEATURE_xml=OFF \
        -DFEATURE_concurrent=OFF -DFEATURE_testlib=ON -DFEATURE_system_zlib=OFF \
        -DFEATURE_freetype=OFF -DFEATURE_jpeg=OFF -DFEATURE_sql_odbc=OFF
}

# A Qt tree that find_package(Qt6) can use: its Core package is there.
usable() { [ -f "$1/lib/cmake/Qt6Core/Qt6CoreConfig.cmake" ] && [ -f "$1/.korvid-complete" ]; }

from_tarball() {
    [ -f "$TARBALL" ] || return 1
    local sum
    sum=$(sha256sum "$TARBALL" | cut -d' ' -f1)
    if [ "$sum" != "$TARBALL_SHA256" ]; then
        say "$TARBALL has checksum $sum, not the expected $TARBALL_SHA256: building Qt instead"
        return 1
    fi
    local dest=$CACHE/qt6-win64-prebuilt-${sum:0:16}
    if ! usable "$dest"; then
        say "unpacking $(basename "$TARBALL")"
        rm -rf "$dest" "$dest.tmp"
        mkdir -p "$dest.tmp"
        tar -xJf "$TARBALL" -C "$dest.tmp" || fail "unpacking $TARBALL failed"
        mv "$dest.tmp/qt6-win64" "$dest"
        rmdir "$dest.tmp"
        touch "$dest/.korvid-complete"
    fi
    echo "$dest"
}

# The source: the upstream tarball of Debian's qt6-base source package (Debian's own patches are
# for Linux and stay out). apt-get source needs a deb-src line; when the machine has none, a
# private list made from its deb lines is used, and /etc is left as it is.
fetch_source() {
    local dir=$1 orig
    mkdir -p "$dir"
    (cd "$dir" && apt-get source --download-only -qq qt6-base >/dev/null 2>&1) || {
        local apt=$dir/apt
        mkdir -p "$apt/lists/partial"
        apt-get indextargets --format '$(REPO_URI) $(CODENAME) $(TARGET_OF) $(COMPONENT)' |
            awk '$3 == "deb" && $4 == "main" && $1 !~ /security/ { print "deb-src " $1 " " $2 " main" }' |
            sort -u >"$apt/sources.list"
        [ -s "$apt/sources.list" ] || fail "no Debian archive is configured to take the source from"
        local opts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=/nonexistent"
            -o "Dir::State::Lists=$apt/lists")
        apt-get "${opts[@]}" update -qq >&2 || fail "apt-get update for the source list failed"
        (cd "$dir" && apt-get "${opts[@]}" source --download-only -qq qt6-base >&2) ||
            fail "apt-get source qt6-base failed"
    }
    orig=$(ls "$dir"/qt6-base_"$QT_VERSION"*.orig.tar.* 2>/dev/null | head -n 1)
    [ -n "$orig" ] || fail "Debian's qt6-base is not $QT_VERSION any more (found: $(ls "$dir"))"
    tar -xf "$orig" -C "$dir" || fail "unpacking $orig failed"
    echo "$dir/qtbase-everywhere-src-$QT_VERSION"
}

from_source() {
    local compiler host_qt key dest work src
    compiler=$(x86_64-w64-mingw32-g++-posix --version | head -n 1) ||
        fail "the MinGW-w64 compiler is missing (./dev windows installs it)"
    host_qt=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools 2>/dev/null) || true
    case "$host_qt" in
        "$QT_VERSION"*) ;;
        *) fail "moc, rcc and uic must come from Debian's Qt $QT_VERSION; qt6-base-dev-tools is '$host_qt'" ;;
    esac
    key=$({
        echo "$QT_VERSION"
        configure_options
        cat "$HERE/qt-wintab.patch" "$HERE/mingw64.cmake"
        echo "$compiler"
    } | sha256sum | cut -c1-16)
    dest=$CACHE/qt6-win64-$key
    if usable "$dest"; then
        echo "$dest"
        return
    fi
    work=$CACHE/qt6-win64-$key.work
    rm -rf "$work" "$dest"
    local started=$SECONDS
    say "building Qt $QT_VERSION for Windows from source in $work (about an hour on 2 cores)"
    src=$(fetch_source "$work/src")
    patch -d "$src" -p1 -s <"$HERE/qt-wintab.patch" || fail "the wintab patch does not apply"
    mapfile -t options < <(configure_options)
    cmake -S "$src" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$HERE/mingw64.cmake" \
        -DCMAKE_INSTALL_PREFIX="$dest" "${options[@]}" >"$work/configure.log" 2>&1 || {
        tail -n 40 "$work/configure.log" >&2
        fail "configuring Qt failed (log: $work/configure.log)"
    }
    cmake --build "$work/build" --parallel "$JOBS" >"$work/build.log" 2>&1 || {
        tail -n 40 "$work/build.log" >&2
        fail "building Qt failed (log: $work/build.log)"
    }
    cmake --install "$work/build" >"$work/install.log" 2>&1 || fail "installing Qt failed"
    touch "$dest/.korvid-complete"
    rm -rf "$work"
    say "built in $(((SECONDS - started) / 60)) min"
    echo "$dest"
}

case "${1:-}" in
    --from-source) from_source ;;
    "") from_tarball || from_source ;;
    *) fail "usage: $0 [--from-source]" ;;
esac
