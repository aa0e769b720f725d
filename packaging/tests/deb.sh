#!/bin/sh
# korvid configured with BUILD_TESTING=OFF in a build folder of its own, with GoogleTest and Qt
# Test out of reach, built, and packaged: the .deb's file list, control fields and libraries.
# Usage: deb.sh PROJECT_SOURCE_DIR
set -eu
root=$1
. "$root/packaging/tests/checks.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build="$work/build"
arch=$(dpkg --print-architecture)
cmake=${CMAKE:-cmake}
cpack=${CPACK:-cpack}
ctest=${CTEST:-ctest}

require "configure with BUILD_TESTING=OFF needs no test framework" \
    "$cmake" -S "$root" -B "$build" -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_Qt6Test=ON
check "no test is configured" sh -c "'$ctest' --test-dir '$build' -N | grep -q 'Total Tests: 0'"
require "korvid builds" "$cmake" --build "$build" --parallel 2 --target korvid korvid_docs
require "cpack makes the package" sh -c "cd '$build' && '$cpack' -G DEB -B '$work/out'"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$work/out/korvid_${version}_${arch}.deb"
require "the package is named korvid_${version}_${arch}.deb" test -f "$deb"

dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$work/files"
for f in /usr/bin/korvid \
    /usr/share/applications/example.korvid.Korvid.desktop \
    /usr/share/metainfo/example.korvid.Korvid.metainfo.xml \
    /usr/share/icons/hicolor/16x16/apps/korvid.png /usr/share/icons/hicolor/22x22/apps/korvid.png \
    /usr/share/icons/hicolor/24x24/apps/korvid.png /usr/share/icons/hicolor/32x32/apps/korvid.png \
    /usr/share/icons/hicolor/48x48/apps/korvid.png /usr/share/icons/hicolor/64x64/apps/korvid.png \
    /usr/share/icons/hicolor/128x128/apps/korvid.png \
    /usr/share/icons/hicolor/256x256/apps/korvid.png \
    /usr/share/icons/hicolor/scalable/apps/korvid.svg \
    /usr/share/man/man1/korvid.1.gz \
    /usr/share/doc/korvid/copyright /usr/share/doc/korvid/changelog.gz; do
    check "package has $f" grep -qx "$f" "$work/files"
done
check "tds-standin, tests and benchmarks stay out of the package" \
    sh -c "! grep -E 'standin|test|bench|fuzz' '$work/files'"
check "everything lies under /usr" sh -c "! grep -v '^/usr/' '$work/files'"
check "korvid is executable by everyone" \
    sh -c "dpkg-deb -c '$deb' | grep -q '^-rwxr-xr-x root/root .* \./usr/bin/korvid$'"

check "Package, Version and Architecture" test "$(dpkg-deb -f "$deb" Package Version Architecture)" \
    = "$(printf 'Package: korvid\nVersion: %s\nArchitecture: %s' "$version" "$arch")"
depends=$(dpkg-deb -f "$deb" Depends | tr -d ' ' | tr ',' '\n' | sed 's/(.*//')
for p in unixodbc odbcinst tdsodbc fonts-wqy-zenhei qt6-translations-l10n qt6-qpa-plugins \
    libqt6widgets6 libodbc2; do
    check "Depends names $p" sh -c "printf '%s\n' '$depends' | grep -qx '$p'"
done
check "the driver registration runs after install" \
    sh -c "dpkg-deb -I '$deb' postinst | cmp - '$root/packaging/postinst'"

dpkg-deb -x "$deb" "$work/root"
check "korvid finds every library it links" \
    sh -c "! ldd '$work/root/usr/bin/korvid' | grep 'not found'"
check "korvid is stripped" sh -c "! readelf -S '$work/root/usr/bin/korvid' | grep -q '\\.symtab'"
finish
