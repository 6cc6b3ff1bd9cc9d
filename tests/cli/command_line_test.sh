#!/usr/bin/env bash
# command_line_test.sh PROGRAM DEVICE [WITH_RELAY_DEVICE]: runs the program's commands as
# processes against the virtual relay device DEVICE, with no display: every command, every
# exit status, the progress lines, a busy and a missing port, a device that stops
# answering. PROGRAM is Project1, or Project1.exe under Wine when WITH_RELAY_DEVICE (the
# script that runs a Windows program beside the device, on Wine's COM1) is given. The
# device keeps its state in a file between runs. Prints each case; exits non-zero at the
# first failure.
set -euo pipefail
program=$(realpath "$1")
device=$(realpath "$2")
with_device=${3:+$(realpath "$3")}
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export XDG_CONFIG_HOME=$work/config
state=$work/device.txt

fail() {
    echo "FAILED: $*" >&2
    echo "--- stdout:" >&2
    cat out >&2 || true
    echo "--- stderr:" >&2
    cat err >&2 || true
    exit 1
}

# run [DEVICE_OPTIONS] -- ARGS: the program with ARGS while the device runs with the state
# file; sets $status, leaves the output in out and err.
run() {
    local options=()
    while [ "$1" != -- ]; do
        options+=("$1")
        shift
    done
    shift
    status=0
    if [ -n "$with_device" ]; then
        "$with_device" "$device" "$work/ports" --state "$state" --save "${options[@]}" -- \
            "$program" "$@" >out 2>err || status=$?
        return
    fi
    "$device" --link COM1 --state "$state" --save "${options[@]}" >device.out 2>&1 &
    local pid=$!
    for _ in $(seq 100); do
        grep -q '^linked as COM1' device.out && break
        sleep 0.05
    done
    "$program" "$@" >out 2>err || status=$?
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" || true
}

expect() {  # expect STATUS WHAT
    [ "$status" -eq "$1" ] || fail "$2: exit status $status, expected $1"
    echo "ok: $2"
}

# The output, with carriage returns: Wine's console and files may end lines in CRLF.
has() {  # has FILE TEXT
    tr -d '\r' <"$1" | grep -qF -- "$2"
}

# No port chosen yet, so the commands without --port take COM1. Under Wine the choice lies
# in the prefix's registry, which the window's tests share, not in XDG_CONFIG_HOME.
if [ -n "$with_device" ]; then
    : "${WINEPREFIX:?set WINEPREFIX to the test prefix}"
    wine reg delete 'HKCU\Software\ZUR\Pellion' /f </dev/null >/dev/null 2>&1 || true
fi

for slot in $(seq 1 12); do
    echo "$slot=+3851000$slot"
done >"$state"
printf 'timeout=250\nflag=0\npassword=7093\n' >>"$state"

run -- read saved.mdb
expect 0 "read into a new settings file"
has out "Read 12 numbers from COM1 into saved.mdb." || fail "read: result line"
has err "number 12 of 12" || fail "read: progress lines"
[ -s saved.mdb ] || fail "read: no file"

run -- convert saved.mdb numbers.csv
expect 0 "convert a settings file into CSV"
[ "$(tr -d '\r' <numbers.csv | sed -n 1p | tr -d '\357\273\277')" = slot,number ] ||
    fail "convert: CSV header"
[ "$(tr -d '\r' <numbers.csv | sed -n '13p')" = '12,"+385100012"' ] || fail "convert: CSV line"

# The numbers back from CSV into a new settings file and out again: the same text.
run -- convert numbers.csv --timeout 900 --external-disconnect on again.mdb
expect 0 "convert CSV into a settings file"
run -- convert again.mdb "čćž-номера.csv"
cmp -s numbers.csv "čćž-номера.csv" || fail "CSV round trip differs"
echo "ok: CSV round trip through a settings file, into a name outside any code page"

sed -i 's/+385100012/+385999/' numbers.csv
run -- write numbers.csv
expect 2 "write from CSV without relay settings"
has err "give --timeout MS" || fail "write from CSV: reason"
run -- --quiet write --timeout 1500 --external-disconnect on numbers.csv
expect 0 "write from CSV with the settings given"
[ ! -s out ] || fail "--quiet printed a result"
grep -qx '12=+385999' "$state" && grep -qx timeout=1500 "$state" && grep -qx flag=1 "$state" ||
    fail "write: the device does not hold what was written"

run -- write saved.mdb --port COM1
expect 0 "write a settings file"
has out "Wrote 12 numbers from saved.mdb to COM1." || fail "write: result line"
has err "slot 500 of 500" || fail "write: progress lines"
grep -qx '12=+385100012' "$state" && grep -qx timeout=250 "$state" ||
    fail "write: the device does not hold the file's values"

# A device compared with a file: the same, then other numbers and settings.
run -- compare saved.mdb
expect 0 "compare a device with the file it holds"
has out "The device on COM1 holds what saved.mdb holds." || fail "compare: result line"
sed -i 's/^3=.*/3=+999/; /^7=/d; s/^timeout=.*/timeout=400/; s/^flag=.*/flag=1/' "$state"
run -- compare saved.mdb
expect 4 "compare a device that holds other numbers and settings"
has out 'time-out: device 400 ms, file 250 ms' && has out 'slot 3: device "+999", file "+38510003"' &&
    has out 'slot 7: device (empty), file "+38510007"' &&
    has out "differs from saved.mdb: 4 differences: 2 slots, the time-out, the external" ||
    fail "compare: the differences"
run -- write saved.mdb --verify
expect 0 "write and verify"
has out "Wrote 12 numbers from saved.mdb to COM1. Read back, the device on COM1 holds what" ||
    fail "verify: result line"
# A device that gives back fewer numbers than it took.
run --announce 10 -- write saved.mdb --verify
expect 4 "write and verify against a device that gives back other numbers"
has out 'slot 11: device (empty), file "+385100011"' || fail "verify: the differences"

# Looking without changing anything: show and check, pipes, JSON, short options.
run -- show -q --json
expect 0 "show the device"
[ "$(tr -d '\r' <out)" = '{"port":"COM1","timeoutMs":250,"externalDisconnect":false,"numbers":12}' ] ||
    fail "show: JSON"
run -- show -p COM1
has out "COM1 holds: relay time-out 250 ms, external disconnection off, 12 numbers." ||
    fail "show: result line"
run -- read - -q
expect 0 "read into standard output"
tr -d '\r' <out | grep -qx '12,"+385100012"' || fail "read -: the CSV"
mv out piped.csv
run -- check piped.csv
expect 0 "check a CSV file"
has out "piped.csv can be written to a device: 12 numbers; it holds no relay settings" ||
    fail "check: result line"
if [ -z "$with_device" ]; then
    status=0
    "$program" convert - - <piped.csv >out 2>err || status=$?
    expect 0 "convert standard input into standard output"
    cmp -s piped.csv out || fail "convert - -: the CSV differs"
    status=0
    printf 'slot,number\n1,two\n' | "$program" check - >out 2>err || status=$?
    expect 3 "check standard input"
    has err "standard input: line 2: the number holds characters" || fail "check -: reason"
fi

run -- password
expect 0 "get the password"
[ "$(tr -d '\r' <out)" = 7093 ] || fail "password: printed $(cat out)"
run -- password 4321
expect 0 "set the password"
grep -qx password=4321 "$state" || fail "password: the device holds another"

# Usage.
for args in "reed x.mdb" "read" "read a.mdb b.mdb" "password 12a4" "write x.mdb --timeout 60000" \
    "read x.mdb --port COM16" "read x.mdb --timeout 5" "--bogus read x.mdb" "show x.mdb" \
    "read x.mdb --json" "check x.mdb -p COM1" "- read"; do
    run -- $args
    expect 2 "usage: '$args'"
done

# What a file holds that typing cannot produce never reaches the device, cut or not.
printf 'slot,number\n' >empty.csv
run -- write empty.csv --timeout 100 --external-disconnect off
expect 2 "write a list without numbers"
has err "--allow-empty" || fail "empty write: the option is not named"
grep -qx '12=+385100012' "$state" || fail "an empty write without --allow-empty reached the device"
sqlite3 odd.mdb "create table phone (id integer, phone text);
    create table pcong (time integer, rec integer); insert into pcong values (-5, 0);
    insert into phone values (3, 'two'), (4, '12345678901234567890'), (40, '+3851');"
sqlite3 unset.mdb "create table phone (id integer, phone text); insert into phone values (1, '5');"
run -- write unset.mdb
expect 2 "write a settings file without relay settings"
has err "unset.mdb holds no relay settings: give --timeout MS" || fail "no relay settings: reason"
run -- write odd.mdb
expect 3 "write a file whose values cannot go to the device"
has err "Please enter the digital. 2 slots cannot go to the device: slot 3 \"two\"" ||
    fail "odd values: reason"
grep -qx timeout=250 "$state" && ! grep -q '^40=' "$state" || fail "odd values reached the device"
run -- check odd.mdb --json
expect 3 "check a file whose values cannot go to the device"
has out '"writable":false' && has out '{"slot":3,"text":"two","reason":"holds characters' ||
    fail "check: JSON"
has err "odd.mdb: Please enter the digital. 2 slots cannot go to the device" || fail "check: reason"

# Files.
echo junk >junk.mdb
run -- write junk.mdb
expect 3 "write from a file that is no settings file"
has err "junk.mdb" || fail "junk: the file is not named"
run -- read missing-folder/x.mdb
expect 3 "read into a folder that does not exist"
run -- convert nothing.mdb out.csv
expect 3 "convert a file that does not exist"
printf 'slot,number\n1,+385\n1,+386\n' >twice.csv
run -- convert twice.csv twice.mdb
expect 3 "convert a CSV file with a slot twice"
has err "line 3" || fail "CSV rejection: no line number"
[ ! -e twice.mdb ] || fail "a rejected CSV file left a settings file"

# The device and the port.
# One existing file and nothing else opens the window with it, as a double-click on a
# settings file does; a name that is no file stays a mistyped command.
if [ -z "$with_device" ]; then
    status=0
    QT_QPA_PLATFORM=offscreen timeout 3 "$program" again.mdb >out 2>err || status=$?
    expect 124 "the window opens with a settings file"
    status=0
    "$program" unsaved.mdb >out 2>err || status=$?
    expect 2 "a file that does not exist"
    has err "unsaved.mdb: no such file" || fail "missing file: reason"
    status=0
    "$program" >out 2>err || status=$?
    expect 2 "no display and no command"
    [ "$(wc -l <err)" -eq 1 ] && has err "no display" || fail "no display: reason"

    # A stop by signal says what the device holds and ends by that signal, so that a
    # shell loop over devices stops too.
    for slot in $(seq 1 60); do
        echo "$slot,+3852000$slot"
    done | sed '1i slot,number' >sixty.csv
    stop_during() {  # stop_during SIGNAL ARGS: the program, stopped at its first progress
        local signal=$1
        shift
        "$device" --link COM1 --state "$state" --save >device.out 2>&1 &
        local pid=$!
        for _ in $(seq 100); do
            grep -q '^linked as COM1' device.out && break
            sleep 0.05
        done
        : >err
        "$program" "$@" >out 2>>err &
        local run=$!
        for _ in $(seq 200); do
            grep -qE '^(slot|number) [1-9]' err && break
            sleep 0.05
        done
        kill "-$signal" "$run"
        status=0
        wait "$run" || status=$?
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" || true
    }
    stop_during INT write sixty.csv --timeout 700 --external-disconnect on
    expect 130 "Ctrl+C in the middle of a write"
    has err "COM1: stopped: the device holds the new relay settings and " ||
        fail "stopped write: what the device holds"
    # The numbers the device acknowledged, and perhaps one frame more that it took silently.
    said=$(tr -d '\r' <err | sed -nE 's/.* and ([0-9]+) of the 60 numbers.*/\1/p')
    held=$(grep -cE '^[0-9]+=\+3852' "$state" || true)
    [ -n "$said" ] && [ "$held" -ge "$said" ] && [ "$held" -le $((said + 5)) ] ||
        fail "stopped write: said ${said:-nothing}, the device holds $held"
    stop_during TERM read stopped.mdb
    expect 143 "SIGTERM in the middle of a read"
    has err "COM1: stopped: nothing was saved into stopped.mdb" || fail "stopped read: reason"
    [ ! -e stopped.mdb ] || fail "a stopped read left a file"
fi

cp saved.mdb kept.mdb
run --silent -- read kept.mdb
expect 1 "read from a device that does not answer"
has err "COM1: no reply from the device" || fail "silent: reason"
cmp -s saved.mdb kept.mdb || fail "a failed read changed its file"
run --reject -- write saved.mdb
expect 1 "write to a device that refuses"
has err "refused" || fail "refused: reason"
run --announce 20 -- read partial.mdb
expect 1 "read from a device that stops sending the numbers it announced"
[ ! -e partial.mdb ] || fail "a partial read left a file"
run --hangup-after 2 -- write saved.mdb
expect 1 "write to a device that goes away"
run -- password --port COM9
expect 1 "a port with no device"
has err "COM9" || fail "missing port: not named"

# Finding the device's port: the list, a link made from the terminal, and --port auto with
# one, two and no answering device. Not under Wine: links are this system's own.
if [ -z "$with_device" ]; then
    run -- ports
    expect 0 "list the ports"
    tr -d '\r' <out | grep -qE '^COM1 +/dev/pts/[0-9]+ \(linked\): present, chosen$' ||
        fail "ports: the device on COM1"
    [ "$(grep -c '^COM' out)" -eq 15 ] || fail "ports: not fifteen names"
    run -- ports --json
    has out '{"name":"COM1","path":"/dev/pts/' && has out '"state":"present"' ||
        fail "ports: JSON"
    "$device" --state "$state" >second.out 2>&1 &
    second=$!
    for _ in $(seq 100); do
        grep -q '^/dev/' second.out && break
        sleep 0.05
    done
    run -- ports --link COM5 "$(head -n1 second.out)"
    expect 0 "link COM5 to a device from the terminal"
    has out "(linked): present" || fail "ports --link: the line"
    run -- show -p auto
    expect 1 "--port auto with relays on two ports"
    has err "relays answered on 2 ports; give --port NAME (" && has err "COM1 answered" &&
        has err "COM5 answered" || fail "--port auto: several"
    kill -TERM "$second"
    wait "$second" || true
    run -- ports --unlink COM5
    expect 0 "unlink COM5"
    run -- show --port auto
    expect 0 "--port auto finds the one relay"
    has out "COM1 holds: relay time-out" || fail "--port auto: the port found"
    run --silent -- show -p auto
    expect 1 "--port auto with a silent device"
    has err "no relay answered (COM1 silent" || fail "--port auto: none"
fi

# A port another program holds: the first run keeps it open while the second tries.
# Not under Wine: there a second open of a port without sharing succeeds.
if [ -z "$with_device" ]; then
    "$device" --link COM1 --silent >device.out 2>&1 &
    pid=$!
    for _ in $(seq 100); do
        grep -q '^linked as COM1' device.out && break
        sleep 0.05
    done
    "$program" read held.mdb >/dev/null 2>&1 &
    holder=$!
    sleep 0.5
    status=0
    "$program" password >out 2>err || status=$?
    cp err busy.err
    # --port auto leaves a port another program holds alone.
    auto=0
    "$program" show -p auto >out 2>auto.err || auto=$?
    wait "$holder" || true
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" || true
    mv busy.err err
    expect 1 "a port another program holds"
    has err "busy" || fail "busy port: reason"
    status=$auto
    mv auto.err err
    expect 1 "--port auto beside a port another program holds"
    has err "no relay answered (COM1 busy" || fail "--port auto: the busy port"
fi
# ---- Files the file system rules out, and file errors in our words --------------------
# A read checks its file before it starts: COM9 has no device, so a read that got as far
# as the port would end with status 1; a refusal before it ends with 3. Not under Wine:
# pipes, device nodes, /proc and setpriv are this system's own.
if [ -z "$with_device" ]; then
    refused() {  # refused WHAT TEXT: status 3 and TEXT in the one error line
        expect 3 "$1"
        has err "$2" || fail "$1: the reason"
        [ "$(tr -d '\r' <err | grep -c .)" -eq 1 ] || fail "$1: more than the error line"
    }
    mkdir folder.mdb
    run -- read folder.mdb --port COM9
    refused "read into a folder" "Project1: folder.mdb: the name leads to a folder, not to a file"
    mkfifo pipe.mdb pipe.csv
    status=0
    timeout 10 "$program" read pipe.mdb --port COM9 >out 2>err || status=$?
    refused "read into a pipe" "pipe.mdb: the name leads to a pipe (FIFO), not to a file"
    status=0
    timeout 10 "$program" convert numbers.csv pipe.mdb >out 2>err || status=$?
    refused "convert into a pipe, which is loaded first" "pipe.mdb: the name leads to a pipe"
    status=0
    timeout 10 "$program" convert pipe.csv out.mdb >out 2>err || status=$?
    refused "convert from a pipe" "pipe.csv: the name leads to a pipe"
    [ ! -e out.mdb ] || fail "a refused source left a file"
    # A device behind a link: it stays the device. Root makes its own node, so that a
    # fault cannot replace the system's /dev/null.
    if [ "$(id -u)" -eq 0 ]; then
        mknod node c 1 3
    else
        ln -s /dev/null node
    fi
    ln -s node device.csv
    run -- convert saved.mdb device.csv
    refused "convert into a link to a device" "device.csv: the name leads to a device, not to a file"
    [ -c node ] && [ -L device.csv ] || fail "the device node or its link was replaced"
    cp saved.mdb locked.mdb
    : >locked.ldb
    run -- read locked.mdb --port COM9
    refused "read into a file with an Access lock file beside it" "its lock file locked.ldb"
    run -- read /proc/varnix.mdb --port COM9
    refused "read into /proc" "no file can be made in the folder /proc"
    WINDIR=$work/nowhere run -- read new.mdb --port COM9
    refused "read into a new file without the template" \
        "new.mdb: no new settings file can be made: the template $work/nowhere/zur.mdb is missing"
    [ ! -e new.mdb ] || fail "a missing template left a file"
    # A folder this user may not write, with a file in it that anyone may write: root
    # ignores permissions, so as root the case runs as nobody.
    shut=$(mktemp -d)
    chmod 755 "$shut"
    mkdir "$shut/shut"
    cp saved.mdb "$shut/shut/open.mdb"
    chmod 666 "$shut/shut/open.mdb"
    chmod 555 "$shut/shut"
    as_user=()
    user_program=$program
    user_template=$(dirname "$program")/../share/varnix
    if [ "$(id -u)" -eq 0 ]; then
        as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
        # The build may lie where nobody can reach it (under /root, say): nobody runs a
        # copy of the program with a copy of the template.
        mkdir "$shut/bin" "$shut/template"
        cp "$program" "$shut/bin/"
        cp "$user_template/zur.mdb" "$shut/template/"
        user_program=$shut/bin/$(basename "$program")
        user_template=$shut/template
    fi
    for file in open.mdb new.mdb list.csv; do
        status=0
        HOME=$shut XDG_CONFIG_HOME=$shut WINDIR=$user_template "${as_user[@]}" "$user_program" \
            read "$shut/shut/$file" --port COM9 >out 2>err || status=$?
        refused "read into $file in a folder this user may not write" \
            "this user may not write into the folder $shut/shut"
    done
    chmod 755 "$shut/shut"
    rm -rf "$shut"
    # Another settings file as the target is not the one loaded: nothing "changed" it.
    run -- convert saved.mdb again.mdb
    expect 0 "convert a settings file into another that exists"
    printf 'just some text\n' >text.mdb
    : >empty.mdb
    for case in "text.mdb:the file is not a settings file" "empty.mdb:the file is empty" \
        "nothing.mdb:the file does not exist"; do
        run -- convert "${case%%:*}" out.csv
        refused "convert from ${case%%:*}" "Project1: ${case%%:*}: ${case#*:}"
    done
    # A text the device holds that the CSV import would reject is exported with a warning.
    printf '5=*31#\n6=+385\ntimeout=5\nflag=0\npassword=7093\n' >"$state"
    run -- --quiet read odd.mdb
    expect 0 "read a text that is no typeable number"
    run -- convert odd.mdb odd.csv
    expect 0 "convert it into CSV"
    has err 'Project1: odd.csv: slot 5 holds "*31#", which an import of this file will reject' ||
        fail "convert into CSV: no warning of the text the import rejects"
    has odd.csv '5,"*31#"' || fail "convert into CSV: the text is not exported as it is"
    # A work file of an earlier version with rows it cannot show: a warning each, and on.
    if command -v sqlite3 >/dev/null; then
        sqlite3 notes.mdb "create table phone (id INTEGER, phone TEXT);
            insert into phone values (0, 'a'), (501, 'b'), (null, 'c'), (4, 'd'), (4, 'e');"
        run -- convert notes.mdb notes.csv
        expect 0 "convert a work file with rows it cannot show"
        for note in "2 rows of the phone table have ids outside 1 to 500 (0, 501)" \
            "1 row of the phone table has no id" "1 slot has more than one row" \
            "the file has no relay settings"; do
            has err "Project1: notes.mdb: $note" || fail "load notes: no warning '$note'"
        done
        [ "$(tr -d '\r' <notes.csv | sed -n 2p)" = '4,"e"' ] || fail "load notes: the later row"
    fi
fi
echo "command line: all cases passed"
