#!/usr/bin/env bash
# The Windows package end to end under Wine: builds the mingw-release preset and its zip,
# unpacks it, and with install.cmd and uninstall.cmd (Wine has no PowerShell) installs the
# service into a directory with a blank, checks what the install left (files, PathName in both
# registry views, the service with automatic start and recovery actions, the event source),
# starts it to RUNNING, stops it, checks that an update keeps an edited configuration, and
# removes it, after which nothing of it may be left.
#
# The installed service reaches no UPS and shuts nothing down: its port is one that does not
# exist, its ShutdownCommand is the recorder, and VOLTSENTRY_NO_SYSTEM_SHUTDOWN refuses the
# system's own calls. The run has its own Wine prefix (build/wineprefix-pkg) and its own
# wineserver, which it ends when done; every wait is bounded.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${JOBS:-2}

step() { echo "=== $* ($(date -u +%T))"; }
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
die() { echo "FAIL: $*" >&2; exit 1; }

step "building the mingw-release preset and the zip"
cmake --preset mingw-release >/dev/null
cmake --build --preset mingw-release -j "$jobs" >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/mingw-release/CMakeCache.txt)
zip=build/mingw-release/voltsentry-$version-win64.zip
rm -f "$zip"
(cd build/mingw-release && cpack -G ZIP >/dev/null)
[ -f "$zip" ] || die "cpack made no $zip"

work=$root/build/package-check
rm -rf "$work"
mkdir -p "$work"
unzip -q "$zip" -d "$work"
pkg=$work/voltsentry-$version-win64
for f in wardend.exe linewatch.exe wardctl.exe calendr32.dll svcbridge.dll install.ps1 \
         install.cmd uninstall.ps1 uninstall.cmd README.txt; do
  [ -f "$pkg/$f" ] || fail "the zip lacks $f"
done
for f in "$root"/examples/install/*; do
  cmp -s "$f" "$pkg/$(basename "$f")" || fail "the zip's $(basename "$f") differs from the sample"
done
# The shipped programs are stripped and point to their debug information, which stays out.
if unzip -l "$zip" | grep -q '\.debug$'; then fail "the zip holds .debug files"; fi
for f in wardend.exe calendr32.dll; do
  sections=$(x86_64-w64-mingw32-objdump -h "$pkg/$f")
  grep -q '\.gnu_debuglink' <<<"$sections" || fail "$f has no debug link"
  if grep -q '\.debug_info' <<<"$sections"; then fail "$f still holds its debug information"; fi
  [ -s "build/mingw-release/debug-info/$f.debug" ] || fail "no debug-info/$f.debug"
done

step "building the shutdown recorder"
x86_64-w64-mingw32-g++-posix -std=c++17 -O1 -static -o "$work/shutdown_recorder.exe" \
  tests/support/recorder/shutdown_recorder.cpp

# Wine: this run's own prefix and server. VOLTSENTRY_NO_SYSTEM_SHUTDOWN reaches the service
# because Wine's services take the environment of the first program of the server.
export WINEPREFIX=$root/build/wineprefix-pkg
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" VOLTSENTRY_NO_SYSTEM_SHUTDOWN=1
. cmake/wine-loader
mkdir -p "$WINEPREFIX"
timeout 60 wineserver -k 2>/dev/null || true  # a server of this prefix left by an earlier run
timeout 60 wineserver -w 2>/dev/null || true
wineserver -p
trap 'timeout 60 wineserver -k 2>/dev/null || true' EXIT
step "starting Wine in $WINEPREFIX"
timeout 300 "$VOLTSENTRY_WINE" wineboot >/dev/null 2>&1 || die "wineboot failed"

# A Windows program through wine-run (code page 932, output passed on when it ends), bounded.
win() { timeout 120 cmake/wine-run "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }
winpath() { local p="Z:$1"; echo "${p//\//\\}"; }
# The data of one registry value as reg prints it, or nothing.
regval() { win reg query "$1" /v "$2" ${3:+"/reg:$3"} 2>/dev/null | awk -v n="$2" '$1 == n { $1 = ""; $2 = ""; sub(/^  /, ""); print }' || true; }
service_state() { win sc query VoltSentry 2>/dev/null | awk '$1 == "STATE" { print $4 }'; }
# Stopped, or not there at all.
wait_stopped_or_gone() {
  local i state
  for i in $(seq 1 60); do
    state=$(service_state)
    [ -z "$state" ] || [ "$state" = STOPPED ] && return 0
    sleep 0.5
  done
  return 1
}
wait_state() {
  local want=$1 i
  for i in $(seq 1 60); do
    [ "$(service_state)" = "$want" ] && return 0
    sleep 0.5
  done
  return 1
}

# A directory with a blank, given with a trailing separator: the service's path must be quoted
# and PathName must be the directory itself. The uninstalls are given no directory: they find it
# through PathName.
installed="$WINEPREFIX/drive_c/VoltSentry Test"
installed_win='C:\VoltSentry Test'
product='HKLM\Software\Quillon\VoltSentry\CurrentVersion'
services='HKLM\System\CurrentControlSet\Services\VoltSentry'
source='HKLM\System\CurrentControlSet\Services\EventLog\Application\VoltSentry'
calls=$work/shutdown-calls.txt

# A service or installation left by a run that was cut short goes first.
win sc stop VoltSentry >/dev/null 2>&1 || true
wait_stopped_or_gone || true
win sc delete VoltSentry >/dev/null 2>&1 || true
rm -rf "$installed"

# The first install does not start the service: the shipped upstab.ini names COM1, which the
# service must not open here. The update below starts it, with the edited configuration kept.
step "install.cmd"
win cmd /c "$(winpath "$pkg/install.cmd")" "$installed_win\\" || fail "install.cmd ended with $?"
[ "$(service_state)" = STOPPED ] || fail "the installed service is '$(service_state)', not STOPPED"
for f in wardend.exe linewatch.exe wardctl.exe calendr32.dll svcbridge.dll upstab.ini msg.ini \
         upsrc.ini sched.ini ststab.txt; do
  [ -f "$installed/$f" ] || fail "not installed: $f"
done
for f in upstab.ini msg.ini sched.ini ststab.txt; do
  cmp -s "$pkg/$f" "$installed/$f" || fail "$f changed on its way"
done
for view in 64 32; do
  [ "$(regval "$product" PathName "$view")" = "$installed_win" ] ||
    fail "PathName in the $view-bit view: '$(regval "$product" PathName "$view")'"
done
# Wine's sc has neither qc nor qfailure: the control manager's own registry entries are read.
# Wine's control manager accepts "sc failure" but keeps no recovery actions (no FailureActions
# value): they can only be seen on Windows, and are checked when they are there.
[ "$(regval "$services" Start)" = "0x2" ] || fail "start type '$(regval "$services" Start)', not automatic"
[ "$(regval "$services" ImagePath)" = "\"$installed_win\\wardend.exe\"" ] ||
  fail "ImagePath '$(regval "$services" ImagePath)'"
failure_actions=$(regval "$services" FailureActions | tr 'A-F' 'a-f')
if [ -n "$failure_actions" ]; then
  # As the control manager stores it: the reset period 86400 (0x15180) first, then the actions,
  # each its type (1: restart) and delay (60000 = 0xea60), little-endian.
  [[ $failure_actions == 80510100* ]] || fail "recovery reset period in '$failure_actions'"
  [[ $failure_actions == *0100000060ea00000100000060ea0000* ]] ||
    fail "recovery actions '$failure_actions'"
else
  echo "note: no FailureActions value: Wine's control manager does not keep recovery actions"
fi
[ -n "$(regval "$services" Description)" ] || fail "no description"
[ "$(regval "$source" EventMessageFile)" = "$installed_win\\wardend.exe" ] ||
  fail "EventMessageFile '$(regval "$source" EventMessageFile)'"
[ "$(regval "$source" TypesSupported)" = "0x7" ] || fail "TypesSupported '$(regval "$source" TypesSupported)'"

step "installing once more while installed must fail"
if win cmd /c "$(winpath "$pkg/install.cmd")" "$installed_win" >/dev/null; then fail "a second install.cmd succeeded"; fi

# The harmless settings, then a restart that takes them: no port, the recorder as shutdown.
step "starting the service against no UPS, with the recorder as shutdown command"
[ -f "$installed/upstab.ini" ] || die "no installed upstab.ini to continue with"
sed -i 's/^ttyname=.*\r$/ttyname=COM97\r/' "$installed/upstab.ini"
: >"$calls"
win reg add "$product" /v ShutdownCommand /d "\"$(winpath "$work/shutdown_recorder.exe")\" $(winpath "$calls")" /f >/dev/null ||
  fail "cannot set ShutdownCommand"
rm -f "$installed/srvlog.log"
win sc start VoltSentry >/dev/null 2>&1 || true  # Wine's sc ends start with an error code
wait_state RUNNING || fail "the service is not RUNNING: '$(service_state)'"
if grep -q '^srvlog=1' "$installed/upstab.ini"; then
  start_line=$(printf '%s' '**********　デバッグログ記録開始　**********' | iconv -f UTF-8 -t CP932)
  for i in $(seq 1 60); do
    grep -qF "$start_line" "$installed/srvlog.log" 2>/dev/null && break
    sleep 0.5
  done
  grep -qF "$start_line" "$installed/srvlog.log" 2>/dev/null || fail "srvlog.log did not start"
fi
win sc stop VoltSentry >/dev/null 2>&1 || fail "sc stop failed"
wait_state STOPPED || fail "the service did not stop: '$(service_state)'"
[ ! -s "$calls" ] || echo "note: the recorder was called: $(cat "$calls")"

step "uninstall.cmd KEEPCONFIG, install.cmd START: the edited configuration stays"
win cmd /c "$(winpath "$pkg/uninstall.cmd")" KEEPCONFIG || fail "uninstall.cmd KEEPCONFIG ended with $?"
[ -z "$(service_state)" ] || fail "the service is still there after uninstall KEEPCONFIG"
[ ! -e "$installed/wardend.exe" ] || fail "wardend.exe is still there after uninstall KEEPCONFIG"
grep -q '^ttyname=COM97' "$installed/upstab.ini" || fail "uninstall KEEPCONFIG lost upstab.ini"
[ -n "$(regval "$product" ShutdownCommand)" ] || fail "uninstall KEEPCONFIG lost ShutdownCommand"
[ -z "$(regval "$source" EventMessageFile)" ] || fail "uninstall KEEPCONFIG left the event source"
if grep -q '^ttyname=COM97' "$installed/upstab.ini"; then
  win cmd /c "$(winpath "$pkg/install.cmd")" "$installed_win" START || fail "install.cmd START over a kept configuration ended with $?"
  grep -q '^ttyname=COM97' "$installed/upstab.ini" || fail "install overwrote the edited upstab.ini"
  [ -f "$installed/wardend.exe" ] || fail "the reinstall did not copy wardend.exe"
  # install.cmd START returns once the service runs.
  [ "$(service_state)" = RUNNING ] || fail "after install.cmd START the service is '$(service_state)'"
fi

step "uninstall.cmd (the service running): nothing is left"
win cmd /c "$(winpath "$pkg/uninstall.cmd")" || fail "uninstall.cmd ended with $?"
win sc query VoltSentry >/dev/null 2>&1 && fail "the service is still registered"
for key in "$services" "$source" 'HKLM\Software\Quillon'; do
  win reg query "$key" >/dev/null 2>&1 && fail "the key $key is still there"
done
for view in 64 32; do
  win reg query 'HKLM\Software\Quillon' "/reg:$view" >/dev/null 2>&1 &&
    fail "the key HKLM\\Software\\Quillon is still there ($view-bit view)"
done
[ ! -e "$installed" ] || fail "left behind: $(ls -A "$installed" | tr '\n' ' ')"

if [ "$failures" -ne 0 ]; then
  echo "windows-package-check: $failures failure(s)" >&2
  exit 1
fi
echo "windows-package-check: passed"
