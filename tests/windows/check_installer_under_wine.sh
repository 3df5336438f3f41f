#!/usr/bin/env bash
# Installs, reinstalls and uninstalls the Windows installer silently under
# 32-bit wine, in a wine prefix of its own, and checks from outside:
#   check_installer_under_wine.sh WINE_RUN SETUP_EXE FAKE_LIBRARY_DLL OTHER_DLL
# - a silent install puts the files, the Start-menu entries and the uninstall
#   registration (version, publisher) in place, and the installed kavrctl.exe
#   lists the stand-in's controllers;
# - /LIBRARY= naming a fake maker's library (a test library that logs its
#   Init) puts it in the stand-in's place, and the installed kavrctl.exe
#   reaches it; a reinstall leaves it, with exit code 3 when it names
#   another library (OTHER_DLL, any library not ours); a stand-in offered
#   as the maker's library is refused with a nonzero exit code;
# - a silent uninstall removes what was installed and keeps the fake library
#   and the user's data.
# The last line sums it up.
set -euo pipefail
wine_run=$(realpath "$1")
setup=$(realpath "$2")
fake=$(realpath "$3")
other=$(realpath "$4")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# The build's wine-run, with a fresh prefix of this check's own.
export WINEPREFIX="$work/prefix"
sed "s|^export WINEPREFIX=.*|export WINEPREFIX='$WINEPREFIX'|" "$wine_run" >"$work/wine-run"
chmod +x "$work/wine-run"
wine() { "$work/wine-run" "$@"; }
unset KAVR_SIM_FLASH_DIR KAVR_SIM_STATE_DIR KAVR_SIM_DEVICES KAVR_SIM_FAIL KAVR_SIM_RESET

windows_path() { wine winepath -w "$1" 2>/dev/null | tr -d '\r'; }
unix_path() { wine winepath -u "$1" 2>/dev/null | tr -d '\r'; }
setup_path=$(windows_path "$setup")

local_app_data=$(unix_path "$(wine cmd /c echo %LOCALAPPDATA% | tr -d '\r')")
folder="$local_app_data/Programs/kavrtest"
start_menu=$(unix_path "$(wine cmd /c echo %APPDATA% | tr -d '\r')")/Microsoft/Windows/Start\ Menu/Programs/kavrtest
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\kavrtest'
registration() { wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | awk -v name="$1" '$1 == name {print $3}'; }

# 1. A fresh silent install.
wine "$setup_path" /S || fail "the silent install exited with $?"
for file in kavrctl.exe KAVRVBDLL.dll recorder/KAVRVBDLL.dll README.txt uninstall.exe; do
  [ -f "$folder/$file" ] || fail "no $file in $folder after the install"
done
for entry in "README.lnk" "Uninstall kavrtest.lnk"; do
  [ -f "$start_menu/$entry" ] || fail "no Start-menu entry $entry"
done
if [ -f "$folder/kavrtest.exe" ] && [ ! -f "$start_menu/kavrtest.lnk" ]; then
  fail "no Start-menu entry for kavrtest.exe"
fi
version=$(registration DisplayVersion)
[ -n "$version" ] || fail "no DisplayVersion in the uninstall registration"
wine reg query "$key" /v Publisher 2>/dev/null | grep -q "kavrtest developers" ||
  fail "no Publisher in the uninstall registration"
wine "$folder/kavrctl.exe" list | tr -d '\r' >"$work/list.txt" || fail "the installed kavrctl.exe list failed"
[ "$(wc -l <"$work/list.txt")" -eq 2 ] || fail "the installed kavrctl.exe did not list the stand-in's two controllers"
# The stand-in's saved controllers: the user's data, under %LOCALAPPDATA%\kavrtest.
user_data="$local_app_data/kavrtest"
[ -d "$user_data" ] || fail "the stand-in kept nothing under $user_data"
echo "results" >"$user_data/kept-results.json"
mkdir -p "$work/offered"
cp "$folder/KAVRVBDLL.dll" "$work/offered/KAVRVBDLL.dll"

# 2. The maker's library named: it takes the stand-in's place and is reached.
wine "$setup_path" /S "/LIBRARY=$(windows_path "$fake")" || fail "the install with /LIBRARY= exited with $?"
cmp -s "$fake" "$folder/KAVRVBDLL.dll" || fail "/LIBRARY= did not put the maker's library in place"
KAVR_TEST_CALL_LOG="$(windows_path "$work")\\calls.log" wine "$folder/kavrctl.exe" list >/dev/null 2>&1 || true
grep -q '^Init' "$work/calls.log" 2>/dev/null || fail "the installed kavrctl.exe did not reach the maker's library"

# A reinstall leaves it, and so does one naming the same file again; one
# naming another library installs the rest and says with exit code 3 that it
# did not copy that one. The stand-in is refused as the maker's library.
wine "$setup_path" /S || fail "the reinstall exited with $?"
cmp -s "$fake" "$folder/KAVRVBDLL.dll" || fail "the reinstall replaced the maker's library"
wine "$setup_path" /S "/LIBRARY=$(windows_path "$fake")" || fail "the reinstall naming the same library exited with $?"
status=0
wine "$setup_path" /S "/LIBRARY=$(windows_path "$other")" || status=$?
[ "$status" -eq 3 ] || fail "the reinstall naming another library exited with $status, not 3"
cmp -s "$fake" "$folder/KAVRVBDLL.dll" || fail "a reinstall naming another library replaced the maker's library"
if wine "$setup_path" /S "/LIBRARY=$(windows_path "$work/offered/KAVRVBDLL.dll")"; then
  fail "the installer took kavrtest's stand-in as the maker's library"
fi
cmp -s "$fake" "$folder/KAVRVBDLL.dll" || fail "a refused install changed the maker's library"

# 3. A silent uninstall, waited for (_?= keeps it from copying itself away).
wine "$folder/uninstall.exe" /S "_?=$(windows_path "$folder")" || fail "the silent uninstall exited with $?"
rm -f "$folder/uninstall.exe"
for file in kavrctl.exe kavrtest.exe README.txt recorder/KAVRVBDLL.dll; do
  [ ! -e "$folder/$file" ] || fail "$file remains after the uninstall"
done
[ ! -d "$start_menu" ] || fail "the Start-menu entries remain after the uninstall"
[ -z "$(registration DisplayVersion)" ] || fail "the uninstall registration remains"
cmp -s "$fake" "$folder/KAVRVBDLL.dll" || fail "the uninstall removed the maker's library"
[ -f "$user_data/kept-results.json" ] || fail "the uninstall removed the user's data"
[ "$(ls "$folder")" = KAVRVBDLL.dll ] || fail "the uninstall left $(ls "$folder" | tr '\n' ' ')"

echo "installer $version under wine: installed, the maker's library put in place and reached, kept by a reinstall and the uninstall; the stand-in refused as the maker's library; user data kept"
