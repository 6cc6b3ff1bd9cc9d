#!/usr/bin/env bash
# bash_completion_test.sh COMPLETION_FILE: completes Project1 command lines with the file's
# completion function as bash does on Tab, once with bash-completion's helpers loaded
# (when the system has them) and once without, and checks the words offered: commands,
# options, port names, on/off values and the settings files of the current folder.
# Prints each case; exits non-zero at the first failure.
set -uo pipefail
completion=$(realpath "$1")
helpers=/usr/share/bash-completion/bash_completion

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
touch settings.mdb phones.csv notes.txt
mkdir folder

failed=0

# check LINE EXPECTED...: the sorted words offered for LINE, completed at its end.
check() {
    local line=$1
    shift
    COMP_LINE=$line
    COMP_POINT=${#line}
    # Split as readline does, = standing as a word of its own.
    local split=${line//=/ = }
    read -ra COMP_WORDS <<<"$split"
    [[ $line == *' ' ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _project1 Project1 "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    local got expected
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sed 's|/$||' | sort -u | tr '\n' ' ')
    expected=$(printf '%s\n' "$@" | sort -u | tr '\n' ' ')
    if [[ $got == "$expected" ]]; then
        echo "ok ($mode): '$line' -> $got"
    else
        echo "FAILED ($mode): '$line' -> '$got', expected '$expected'" >&2
        failed=1
    fi
}

devices=()
for device in /dev/ttyUSB* /dev/ttyACM* /dev/ttyS* /dev/serial/by-id/*; do
    [[ -e $device ]] && devices+=("$device")
done
ports=(COM{1..15} auto "${devices[@]}")
ttys=()
for device in "${devices[@]}"; do
    [[ $device == /dev/tty* ]] && ttys+=("$device")
done

run_cases() {
    check 'Project1 co' compare convert
    check 'Project1 read x.mdb --po' --port
    check 'Project1 -p ' "${ports[@]}"
    check 'Project1 --port=CO' COM{1..15}
    check 'Project1 read --port COM3 ' folder settings.mdb phones.csv
    check 'Project1 write l.csv --external-disconnect ' on off
    check 'Project1 write l.csv --external-disconnect=' on off
    check 'Project1 ports --link ' COM{1..15}
    check 'Project1 ports --link COM3 /dev/tty' "${ttys[@]}"
    check 'Project1 --json ports --unlink COM1' COM1 COM10 COM11 COM12 COM13 COM14 COM15
    check 'Project1 read ' folder settings.mdb phones.csv
    check 'Project1 convert settings.mdb ' folder settings.mdb phones.csv
    check 'Project1 convert settings.mdb out.csv '
    check 'Project1 write -' - -p --port -q --quiet -h --help -V --version --timeout \
        --external-disconnect --verify --allow-empty
    check 'Project1 set' settings.mdb
    check 'Project1 show '
}

# Without the helpers: the completion file alone, in a shell of its own.
mode=plain
(
    # shellcheck source=/dev/null
    source "$completion"
    complete -p Project1 | grep -q -- '-F _project1 Project1' || {
        echo "FAILED: Project1 is not registered" >&2
        exit 1
    }
    run_cases
    exit $failed
) || failed=1

if [[ -r $helpers ]]; then
    mode=bash-completion
    (
        # shellcheck source=/dev/null
        source "$helpers"
        declare -F _init_completion >/dev/null || exit 1
        # shellcheck source=/dev/null
        source "$completion"
        run_cases
        exit $failed
    ) || failed=1
else
    echo "bash-completion is not installed: only the plain completion was checked"
fi
exit $failed
