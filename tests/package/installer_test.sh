#!/usr/bin/env bash
# Builds the Windows installer and zip from the build tree, then, in the test
# run's wine prefix ($WINEPREFIX): installs silently, checks the installed
# folder against the zip, the Start-menu folder and the installed-programs
# entry, runs the installed programs, installs again over the installation,
# and uninstalls silently.
# Usage: installer_test.sh <build dir> <version> <wine> <window program: 0|1>
set -euo pipefail
build=$1
version=$2
wine=$3
window=$4
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
name=varnomiksal-$version-win64
installer=$work/out/$name.exe
[ -f "$installer" ] || fail "no installer $name.exe"
[ -f "$work/out/$name.zip" ] || fail "no zip $name.zip"

# The zip: one folder holding the programs, stripped, and the copyright file.
mkdir "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$work/out/$name.zip")
[ "$(ls "$work/zip")" = "$name" ] || fail "the zip holds more than the folder $name: $(ls "$work/zip")"
unpacked=$work/zip/$name
for f in "${programs[@]}" copyright.txt; do
  [ -f "$unpacked/$f" ] || fail "the zip lacks $f"
done
for f in "${programs[@]}"; do
  if x86_64-w64-mingw32-objdump -h "$unpacked/$f" | grep -q '\.debug_'; then
    fail "$f is not stripped"
  fi
done
grep -q $'^Copyright: .*\r$' "$unpacked/copyright.txt" || fail "copyright.txt lacks Windows line ends"

# The installed folder holds what the zip holds, and the uninstaller.
check_installed() {
  [ -d "$inst_dir" ] || fail "nothing in $win_dir"
  expected=$( (cd "$unpacked" && find . -type f && echo ./Uninstall.exe) | sort)
  installed=$(cd "$inst_dir" && find . -type f | sort)
  [ "$installed" = "$expected" ] || fail "installed files differ from the zip's: $installed"
  for f in "${programs[@]}" copyright.txt; do
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
  # The installed-programs entry, in the 64-bit registry.
  wine_run reg query "$uninstall_key" || fail "no installed-programs entry"
  [ "$(reg_value UninstallString)" = "\"$win_dir\\Uninstall.exe\"" ] ||
    fail "UninstallString: $(reg_value UninstallString)"
  [ "$(reg_value DisplayVersion)" = "$version" ] || fail "DisplayVersion: $(reg_value DisplayVersion)"
  [ "$(reg_value DisplayIcon)" = "$win_dir\\${programs[-1]}" ] ||
    fail "DisplayIcon: $(reg_value DisplayIcon)"
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

wine_run "$installer" /S || fail "the silent install exits with $?"
check_installed
run_installed

# A second install (an update) lays its files over the first.
wine_run "$installer" /S || fail "the silent install over an installation exits with $?"
check_installed
run_installed

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
echo "installer ok: $name.exe, $name.zip"
