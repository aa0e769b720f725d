#!/usr/bin/env bash
# Korvid for Windows end to end, once, as a person uses it: korvid.exe of the program folder
# under Wine against a stand-in outside Wine that plays a server on this Windows host (Wine's Z:
# is "/"). The login refuses a wrong password and takes the right one, the main window lists the
# databases, a search of a Z:\ folder finds the data files, auto attach attaches them, and the
# database list's popup detaches and shrinks. Screenshots of each step go to SHOTS.
# Usage: smoke.sh PROGRAM_FOLDER SHOTS   (DISPLAY, WINEPREFIX, ODBCSYSINI, KORVID_STANDIN_BINARY
# as wine-tests.sh sets them)
set -Eeuo pipefail
folder=$(cd "$1" && pwd)
SHOTS=$2
. "$(dirname "$0")/desktop.sh"
data=$(mktemp -d /tmp/korvid-smoke.XXXXXX)
found=$data/found
mkdir -p "$data/server" "$found/sales" "$found/hr" "$data/attached"
pids=()
# A failure shows what the program and the server said.
eval "original_$(declare -f fail)"
fail() {
    tail -n 20 "$data"/*.log >&2 || true
    original_fail "$@"
}
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null; rm -rf "$data"' EXIT

password=Smoke$RANDOM
. "$(dirname "$0")/standin.sh"
start_standin "$KORVID_STANDIN_BINARY" "$data/standin.log" --data "$data/server" \
    --sa-password "$password" --drive Z=/
pids+=("$STANDIN_PID")
port=$STANDIN_PORT

sql() {
    printf '%s\ngo\nexit\n' "$1" | TDSVER=7.1 tsql -H 127.0.0.1 -p "$port" -U sa -P "$password" \
        -o q 2>&1
}
databases() { sql "select name from sysdatabases order by name" | tr -d ' \r' | grep -v '^$'; }
pages() { sql "select size from [$1]..sysfiles where fileid = $2" | tr -d ' \r' | grep -x '[0-9][0-9]*'; }
create() {  # NAME FOLDER: a database whose files lie in FOLDER
    sql "CREATE DATABASE [$1] ON (NAME = N'$1', FILENAME = N'$2/$1_Data.MDF') LOG ON
         (NAME = N'$1_Log', FILENAME = N'$2/$1_Log.LDF')" >/dev/null
}
# Three databases detached again, their files waiting in the folder to search; one stays.
create Sales2003 "$found/sales"
create Archive1999 "$found/sales"
create HR "$found/hr"
create Payroll "$data/attached"
for name in Sales2003 Archive1999 HR; do sql "EXEC sp_detach_db @dbname = N'$name'" >/dev/null; done
[ "$(databases | grep -c -x -e Sales2003 -e HR -e Payroll)" = 1 ] ||
    fail "the stand-in did not take the test's databases: $(databases)"

# Started in the test's folder, as from a shortcut: the folder list opens there.
(cd "$data" && exec wine "$folder/korvid.exe") >"$data/korvid.log" 2>&1 &
korvid=$!
pids+=("$korvid")
login=$(window '^登陆$' 90)
focus "$login"

# A wrong password: the system's box, and the dialog stays.
typed "127.0.0.1,$port"
keys Tab
typed "not-$password"
keys Return
box '错误提示' '数据库连接失败，请检查登陆信息！' 01-login-refused
focus "$login"
keys ctrl+a
typed "$password"
shot 02-login
keys Return
main=$(window '^Korvid V' 60)
gone '^登陆$' 10
focus "$main"
origin "$main" $((11535 / 15)) $((7410 / 15))
shot 03-main-window

# The drive list has the focus: drive z:. Then the list of databases, its first and last rows.
keys z
place 1000 5000
keys ctrl+Home
[ "$(copied)" = master ] || fail "the database list does not begin with master"
keys ctrl+End
[ "$(copied)" = tempdb ] || fail "the database list does not end with tempdb"

# The search: in the folder list the folder "found", chosen by typing its name; 搜索数据.
place 3880 920
typed found
keys Return
place 10327 637
for _ in $(seq 1 60); do
    place 4140 3000
    keys Home
    [ -n "$(copied)" ] && break
    sleep 1
done
shot 04-found-files
winfolder="Z:\\TMP\\$(basename "$data" | tr a-z A-Z)\\FOUND\\"
rows=""
for key in Home Down Down; do
    keys "$key"
    rows="$rows$(copied)|"
done
for file in "hr\\HR_DATA.MDF" "sales\\SALES2003_DATA.MDF" "sales\\ARCHIVE1999_DATA.MDF"; do
    case "$rows" in
        *"$winfolder$file|"*) ;;
        *) fail "the search did not list $winfolder$file (it listed $rows)" ;;
    esac
done

# Auto attach from the first row: 自动附加.
keys Home
place 10327 1357
box '附加完成' '全部附加完成！' 05-auto-attach-done
for name in Sales2003 Archive1999 HR; do
    databases | grep -qx "$name" || fail "auto attach did not attach $name"
done

# The popup of the database list, for the database chosen by typing its name in the list.
popup() {  # DATABASE ITEM BOX-TEXT SHOT
    focus "$main"
    place 1000 5000
    typed "$1"
    place 1000 5000 3
    for _ in $(seq 1 "$2"); do keys Down; done
    keys Return
    box '提示：' "$3" "$4"
}
popup Payroll 1 '分离数据库 Payroll 成功！' 06-detached
! databases | grep -qx Payroll || fail "detach left Payroll attached"
# A shrink is a success only where the file got smaller.
log=$(pages Sales2003 2) data=$(pages Sales2003 1)
popup Sales2003 2 '日志文件收缩成功！' 07-log-shrunk
popup Sales2003 3 '数据库收缩成功！' 08-database-shrunk
[ "$(pages Sales2003 2)" -lt "$log" ] && [ "$(pages Sales2003 1)" -lt "$data" ] ||
    fail "the shrinks said success, yet the files kept their sizes ($log, $data pages)"

# Closing the main window ends Korvid, cleanly: a crash as its threads end shows only here.
focus "$main"
keys alt+F4
gone '^Korvid V' 30
for _ in $(seq 1 100); do
    kill -0 "$korvid" 2>/dev/null || break
    sleep 0.2
done
! kill -0 "$korvid" 2>/dev/null || fail "Korvid went on running after its main window closed"
wait "$korvid" || fail "Korvid ended with status $?"
echo "smoke test passed; screenshots in $SHOTS"
