#!/usr/bin/env bash
# The installer under Wine: a silent install puts Korvid under Program Files with its Start-menu
# entry and its uninstaller in Add/Remove Programs; the installed korvid.exe starts and shows the
# login dialog; the silent uninstall takes all of it away again.
# Usage: installer.sh SETUP_EXE SHOTS   (DISPLAY and WINEPREFIX as wine-tests.sh sets them)
set -Eeuo pipefail
setup=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
SHOTS=$2
. "$(dirname "$0")/desktop.sh"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Korvid'
dir="$WINEPREFIX/drive_c/Program Files/Korvid"
link="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Korvid.lnk"
# The uninstaller Add/Remove Programs runs, when one is registered.
uninstaller() { wine reg query "$key" /v UninstallString /reg:64 2>/dev/null | grep -ai 'uninstall\.exe'; }

wine "$setup" /S
[ -f "$dir/korvid.exe" ] || fail "the silent install left no $dir/korvid.exe"
[ -f "$dir/platforms/qwindows.dll" ] || fail "the installed program folder lacks its plugins"
[ -f "$link" ] || fail "the install made no Start-menu entry Korvid"
uninstaller >/dev/null || fail "no uninstaller is registered in Add/Remove Programs"

wine "C:\\Program Files\\Korvid\\korvid.exe" >/dev/null 2>&1 &
login=$(window '^登陆$' 90)
shot 09-installed-login
focus "$login"
keys alt+F4
gone '^登陆$' 30
wait

# The uninstaller runs on from a copy of itself: its end is seen in what it removes.
wine "C:\\Program Files\\Korvid\\uninstall.exe" /S
for _ in $(seq 1 60); do
    [ -e "$dir" ] || [ -e "$link" ] || uninstaller >/dev/null || break
    sleep 0.5
done
[ ! -e "$dir" ] || fail "the uninstaller left $dir: $(ls -R "$dir")"
[ ! -e "$link" ] || fail "the uninstaller left the Start-menu entry"
! uninstaller >/dev/null || fail "the uninstaller left its Add/Remove Programs entry"
echo "installer test passed"
