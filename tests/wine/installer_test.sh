#!/usr/bin/env bash
# installer_test.sh SETUP FOLDER VERSION: the Windows installer SETUP (made from the package
# folder FOLDER, version VERSION) in a new Wine prefix. An older build of the same folder
# with one more file is installed silently with the .mdb option, a setting is stored, then
# SETUP upgrades it; the installed program starts, prints its version and opens a settings
# file with the command the .mdb option registered; the silent uninstaller takes all but the
# settings, and a second install and uninstall with /RemoveSettings takes those too. In
# the end the prefix holds no file and no registry key it did not hold before. Run under
# xvfb-run; needs VARNIX_PUBLISHER, VARNIX_COPYRIGHT and VARNIX_HOMEPAGE as the build set
# them.
set -euo pipefail
setup=$(realpath "$1")
folder=$(realpath "$2")
version=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
[ -n "${DISPLAY:-}" ] || { echo "installer_test: no X server" >&2; exit 1; }
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "installer_test: $*" >&2
    exit 1
}

uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnix'
settings_key='HKCU\Software\ZUR\Pellion'
value() {  # value KEY NAME: the registry value's data, empty when there is none
    wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        sed -nE "s/^ +$2 +REG_[A-Z_]+ +//p" || true
}
default_value() {  # default_value KEY: the key's unnamed value
    wine reg query "$1" /ve 2>/dev/null | tr -d '\r' |
        sed -nE 's/^ +\(Default\) +REG_[A-Z_]+ +//p' || true
}
visible_window() {  # visible_window TITLE_REGEX TRIES: its id, once shown; fails after TRIES
    local window
    for _ in $(seq "$2"); do
        window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1) || true
        [ -n "$window" ] && { echo "$window"; return 0; }
        sleep 0.5
    done
    return 1
}
has_key() { wine reg query "$1" >/dev/null 2>&1; }
# What the prefix holds: its files, and its user's registry keys once the server wrote them.
snapshot() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    (cd "$WINEPREFIX/drive_c" && find . ! -type d | sort)
    sed -nE 's/^\[([^]]*)\].*/\1/p' "$WINEPREFIX/user.reg" | sort
}
run_setup() {  # run_setup EXE ARGS: installs silently and waits until it is done
    wine "$@" || fail "$(basename "$1") $2 ended with status $?"
    wineserver -w
}

"$root/scripts/windows/wine-prefix" "$WINEPREFIX"
snapshot >"$work/before"
folder_of() { winepath -u "$(wine cmd /c echo "%$1%" | tr -d '\r')" 2>/dev/null; }
installed=$(realpath -m "$(folder_of LOCALAPPDATA)/Programs/Varnix")
shortcut="$(folder_of APPDATA)/Microsoft/Windows/Start Menu/Programs/Varnix.lnk"

# The older build: the same files and one that the new version no longer has.
cp -r "$folder" "$work/old"
echo "gone in $version" >"$work/old/platforms/obsolete.txt"
"$root/scripts/windows/installer" "$work/old" 1.1 "$work/old-setup.exe" >/dev/null
run_setup "$work/old-setup.exe" /S /OpenMdb
[ "$(value "$uninstall_key" DisplayVersion)" = 1.1 ] || fail "the older build is not installed"
[ -e "$installed/platforms/obsolete.txt" ] || fail "the older build's own file is missing"
wine reg add "$settings_key" /v COM1 /t REG_DWORD /d 2 /f >/dev/null 2>&1

run_setup "$setup" /S
echo "installed $(basename "$setup") over version 1.1 in $installed"
[ "$(value "$uninstall_key" DisplayVersion)" = "$version" ] || fail "the upgrade's version"
[ "$(value "$uninstall_key" Publisher)" = "$VARNIX_PUBLISHER" ] || fail "no publisher"
[ "$(value "$uninstall_key" UninstallString)" = "\"$(winepath -w "$installed")\\Uninstall.exe\"" ] ||
    fail "the uninstall command is $(value "$uninstall_key" UninstallString)"
size=$(($(value "$uninstall_key" EstimatedSize)))
folder_size=$(du -sk --apparent-size "$installed" | cut -f1)
[ "$size" -ge $((folder_size * 9 / 10)) ] && [ "$size" -le $((folder_size * 11 / 10)) ] ||
    fail "the size shown is $size KiB, the folder has $folder_size KiB"
[ ! -e "$installed/platforms/obsolete.txt" ] || fail "the upgrade left the older build's file"
(cd "$folder" && find . -type f) | while read -r file; do
    cmp -s "$folder/$file" "$installed/$file" || fail "$file is not installed as packaged"
done
[ "$(value "$settings_key" COM1)" = 0x2 ] || fail "the upgrade lost the settings"
tr -d '\0' <"$shortcut" | grep -q 'Varnix\\Project1.exe' || fail "no Start menu entry"
[ "$(default_value 'HKCU\Software\Classes\.mdb')" = Varnix.SettingsFile ] ||
    fail "the upgrade dropped the .mdb choice"
python3 "$root/tests/wine/version_details.py" "$setup" "$installed/Project1.exe"

wine "$installed/Project1.exe" --version 2>&1 | tr -d '\r' | grep -qF "$version" ||
    fail "Project1.exe --version does not print $version"
# A double-click on a settings file: the window opens with it, so closing asks to save.
# Wine's shell does not look under HKCU\Software\Classes as Explorer does, so the command
# is found there as Explorer finds it.
file_type=$(default_value 'HKCU\Software\Classes\.mdb')
open_command=$(default_value "HKCU\\Software\\Classes\\$file_type\\shell\\open\\command")
[[ $open_command =~ ^\"([^\"]+)\"\ \"%1\"$ ]] || fail "the .mdb command is '$open_command'"
# A name outside the ANSI code page, as Explorer passes it in the wide command line.
settings=$work/настройки.mdb
cp "$folder/zur.mdb" "$settings"
wine "$(winepath -u "${BASH_REMATCH[1]}")" "$(winepath -w "$settings")" &
window=$(visible_window '^Varnix V\.' 240) || fail "opening a .mdb file showed no window"
xdotool windowfocus --sync "$window" key alt+F4
visible_window '^Message$' 60 >/dev/null ||
    fail "the window opened from a .mdb file has no work file to save"
echo "the installed Project1.exe opened $settings through the .mdb association"
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true

# The uninstaller copies itself away and returns at once; wineserver -w waits for it.
run_setup "$installed/Uninstall.exe" /S
[ ! -e "$installed" ] || fail "the uninstaller left $(find "$installed")"
[ ! -e "$shortcut" ] || fail "the uninstaller left the Start menu entry"
! has_key "$uninstall_key" || fail "the uninstaller left its key"
! has_key 'HKCU\Software\Classes\Varnix.SettingsFile' || fail "the uninstaller left the file type"
[ "$(value "$settings_key" COM1)" = 0x2 ] || fail "the uninstaller took the settings"

run_setup "$setup" /S
[ -z "$(default_value 'HKCU\Software\Classes\.mdb')" ] || fail ".mdb taken without asking"
run_setup "$installed/Uninstall.exe" /S /RemoveSettings
! has_key 'HKCU\Software\ZUR' || fail "/RemoveSettings kept the settings"
# Windows always has these two keys, a new Wine prefix not until something writes below.
snapshot | grep -vxF -e 'Software\\Classes' \
    -e 'Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall' >"$work/after"
diff "$work/before" "$work/after" || fail "the prefix differs from before the install"
echo "installed, upgraded, started, uninstalled: nothing of it remains"
