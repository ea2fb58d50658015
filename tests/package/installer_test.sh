#!/usr/bin/env bash
# Builds the Windows installer and zip from the build tree, and an older
# installer that carries one file more, then, in the test run's wine prefix
# ($WINEPREFIX): installs the older one silently with the folder on PATH,
# updates it with the new one (which removes the older one's files and PATH
# entry), checks the installed folder against the zip, the Start-menu folder
# and the installed-programs entry, runs the installed programs, installs
# again with the folder on PATH and runs the flasher from a new command
# prompt by name, and uninstalls silently, which leaves no key and no PATH
# entry behind.
# The packages are the build's width (win64 or win32), and the prefix is too:
# a 32-bit installer in a 32-bit prefix installs into "Program Files", as on
# 32-bit Windows.
# Usage: installer_test.sh <build dir> <version> <wine> <window program: 0|1>
#                          <win64|win32> <objdump>
set -euo pipefail
build=$1
version=$2
wine=$3
window=$4
suffix=$5
objdump=$6
: "${WINEPREFIX:?WINEPREFIX names the prefix}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Wine's output goes to a file, never to a pipe: a helper process that wine
# starts could hold a pipe open past the end of the program.
wine_run() {
  "$wine" "$@" </dev/null >"$work/wine.out" 2>&1
}
wine_output() {
  tr -d '\r' <"$work/wine.out"
}

# reg_value <name>: a value of the key that "reg query" printed last.
reg_value() {
  wine_output | sed -n "s/^ *$1 \+REG_[A-Z_]\+ \+//p"
}

product="Varnomiksal bootloader"
win_dir="C:\\Program Files\\$product"
inst_dir="$WINEPREFIX/drive_c/Program Files/$product"
menu_dir="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/$product"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\varnomiksal'
vendor_key='HKLM\Software\Varnomiksal'
env_key='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
programs=(varnomiksal-cli.exe)
links=("Uninstall.lnk" "$product command line.lnk")
if [ "$window" = 1 ]; then
  programs+=(varnomiksal.exe)
  links+=("$product.lnk")
fi

# Both packages, made as scripts/package-windows.sh makes them. Stripping
# stamps a program with the time it gives, so both get the same programs.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(date +%s)}
(cd "$build" && cpack -G "NSIS;ZIP" -B "$work/out" >/dev/null)
name=varnomiksal-$version-$suffix
installer=$work/out/$name.exe
[ -f "$installer" ] || fail "no installer $name.exe"
[ -f "$work/out/$name.zip" ] || fail "no zip $name.zip"

# The installer's own version resource (its strings are UTF-16).
tr -d '\0' <"$installer" >"$work/installer.txt"
for field in "ProductName$product" "CompanyNameVarnomiksal" "ProductVersion$version"; do
  grep -aq "$field" "$work/installer.txt" || fail "the installer's version resource lacks $field"
done

# An older installer of the same programs that carries one file more, which
# the newer one drops.
mkdir "$work/extra"
echo "dropped by the newer version" >"$work/extra/dropped.txt"
cat >"$work/old.cmake" <<EOF
include("$build/CPackConfig.cmake")
set(CPACK_PACKAGE_VERSION 0.9)
set(CPACK_PACKAGE_FILE_NAME varnomiksal-0.9-$suffix)
set(CPACK_INSTALLED_DIRECTORIES "$work/extra;.")
EOF
(cd "$build" && cpack -G NSIS --config "$work/old.cmake" -B "$work/old" >/dev/null)
old_installer=$work/old/varnomiksal-0.9-$suffix.exe
[ -f "$old_installer" ] || fail "no older installer"

# The zip: one folder holding the programs, stripped, the licence and the
# notices of the libraries linked into the programs.
mkdir "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$work/out/$name.zip")
[ "$(ls "$work/zip")" = "$name" ] || fail "the zip holds more than the folder $name: $(ls "$work/zip")"
unpacked=$work/zip/$name
for f in "${programs[@]}" LICENSE.txt THIRD-PARTY-NOTICES.txt; do
  [ -f "$unpacked/$f" ] || fail "the zip lacks $f"
done
for f in "${programs[@]}"; do
  if "$objdump" -h "$unpacked/$f" | grep -q '\.debug_'; then
    fail "$f is not stripped"
  fi
done
grep -q $'^MIT License\r$' "$unpacked/LICENSE.txt" || fail "LICENSE.txt is no MIT licence with Windows line ends"
for part in "GCC Runtime Library Exception" "mingw-w64 runtime" "winpthreads"; do
  grep -q "$part" "$unpacked/THIRD-PARTY-NOTICES.txt" || fail "THIRD-PARTY-NOTICES.txt lacks $part"
done

# The installed folder holds what the zip holds, and the uninstaller.
check_installed() {
  [ -d "$inst_dir" ] || fail "nothing in $win_dir"
  expected=$( (cd "$unpacked" && find . -type f && echo ./Uninstall.exe) | sort)
  installed=$(cd "$inst_dir" && find . -type f | sort)
  [ "$installed" = "$expected" ] || fail "installed files differ from the zip's: $installed"
  for f in "${programs[@]}" LICENSE.txt THIRD-PARTY-NOTICES.txt; do
    cmp -s "$unpacked/$f" "$inst_dir/$f" || fail "the installed $f differs from the zip's"
  done
  for link in "${links[@]}"; do
    [ -f "$menu_dir/$link" ] || fail "no Start-menu shortcut $link"
  done
  # A shortcut keeps its target and arguments as UTF-16 text.
  tr -d '\0' <"$menu_dir/$product command line.lnk" | grep -aq 'varnomiksal-cli --help' ||
    fail "the command-line shortcut does not show the flasher's usage"
  if [ "$window" = 1 ]; then
    tr -d '\0' <"$menu_dir/$product.lnk" | grep -aq 'varnomiksal\.exe' ||
      fail "the Start-menu shortcut does not start varnomiksal.exe"
  fi
  # The installed-programs entry, in the registry's view of the build's width.
  wine_run reg query "$uninstall_key" || fail "no installed-programs entry"
  [ "$(reg_value UninstallString)" = "\"$win_dir\\Uninstall.exe\"" ] ||
    fail "UninstallString: $(reg_value UninstallString)"
  [ "$(reg_value DisplayVersion)" = "$version" ] || fail "DisplayVersion: $(reg_value DisplayVersion)"
  [ "$(reg_value DisplayIcon)" = "$win_dir\\${programs[-1]}" ] ||
    fail "DisplayIcon: $(reg_value DisplayIcon)"
}

# path_value: the machine PATH.
path_value() {
  wine_run reg query "$env_key" /v Path || fail "no machine PATH"
  reg_value Path
}

# The installed programs run.
run_installed() {
  wine_run "$win_dir\\varnomiksal-cli.exe" --version || fail "varnomiksal-cli --version exits with $?"
  [[ $(wine_output) == "varnomiksal-cli $version "* ]] || fail "unexpected --version: $(wine_output)"
  [ "$window" = 1 ] && run_installed_window
  return 0
}

# The window program shows its window and ends with exit code 0 when asked to
# close (taskkill without /F sends the close message).
run_installed_window() {
  [ -n "${DISPLAY:-}" ] || fail "no X display for the window program: run the tests under xvfb-run"
  "$wine" "$win_dir\\varnomiksal.exe" </dev/null >"$work/app.out" 2>&1 &
  local app=$! shown=
  for _ in $(seq 600); do
    if xdotool search --onlyvisible --name "^$product\$" >/dev/null 2>&1; then
      shown=1
      break
    fi
    sleep 0.1
  done
  if [ -z "$shown" ]; then
    kill "$app" 2>/dev/null
    fail "the installed varnomiksal.exe showed no window"
  fi
  wine_run taskkill /IM varnomiksal.exe || fail "taskkill exits with $?"
  timeout 30 tail --pid="$app" -f /dev/null || fail "the installed varnomiksal.exe did not end when asked to close"
  local rc=0
  wait "$app" || rc=$?
  [ "$rc" = 0 ] || fail "the installed varnomiksal.exe ended with $rc"
}

path_before=$(path_value)

wine_run "$old_installer" /S /PATH=1 || fail "the older installer exits with $?"
[ -f "$inst_dir/dropped.txt" ] || fail "the older installer did not install dropped.txt"
[ "$(path_value)" = "$path_before;$win_dir" ] || fail "the older installer's PATH: $(path_value)"

# The update removes the older version first: its files (dropped.txt too) and
# its PATH entry; silently and without /PATH=1 it adds none.
wine_run "$installer" /S || fail "the silent update exits with $?"
check_installed
run_installed
[ "$(path_value)" = "$path_before" ] || fail "PATH after the update without /PATH=1: $(path_value)"

# Again, with the folder on PATH: a new command prompt finds the flasher by
# name, from another folder.
wine_run "$installer" /S /PATH=1 || fail "the silent install with /PATH=1 exits with $?"
check_installed
[ "$(path_value)" = "$path_before;$win_dir" ] || fail "PATH after /PATH=1: $(path_value)"
wine_run cmd /c "cd /d C:\ && varnomiksal-cli --version" || fail "varnomiksal-cli by name exits with $?"
[[ $(wine_output) == "varnomiksal-cli $version "* ]] || fail "varnomiksal-cli by name: $(wine_output)"

# The uninstaller copies itself away and returns at once; the copy removes
# the programs, the folder, the shortcuts and the entries.
wine_run "$win_dir\\Uninstall.exe" /S || fail "the silent uninstall exits with $?"
for _ in $(seq 600); do
  [ -e "$inst_dir" ] || [ -e "$menu_dir" ] || break
  sleep 0.1
done
[ ! -e "$inst_dir" ] || fail "the uninstall left $(cd "$inst_dir" && find . -type f)"
[ ! -e "$menu_dir" ] || fail "the uninstall left the Start-menu folder"
if wine_run reg query "$uninstall_key"; then
  fail "the uninstall left the installed-programs entry"
fi
if wine_run reg query "$vendor_key"; then
  fail "the uninstall left $vendor_key"
fi
[ "$(path_value)" = "$path_before" ] || fail "PATH after the uninstall: $(path_value)"
echo "installer ok: $name.exe, $name.zip"
