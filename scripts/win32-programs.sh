#!/usr/bin/env bash
# Runs the tests of 32-bit Windows programs (label wine32 of the mingw build: the 32-bit
# svcbridge.dll under Wine). They need Wine's 32-bit loader and, on a kernel that cannot run
# 32-bit Linux programs itself, qemu-i386 registered for them in binfmt_misc. As root this
# installs what is missing, enables that registration only for the run and restores it after,
# creates a Wine prefix of its own (build/wineprefix32) once, and exits with the tests' status.
# Where this cannot be done (not root and something missing) it says why and exits 0, so that
# the rest of the test run stays usable.
#   scripts/win32-programs.sh [mingw build folder, default build/mingw]
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-$root/build/mingw}
started=$(date +%s)

not_run() {
  echo "32-bit Windows test not run: $*"
  exit 0
}

[ -f "$build/CTestTestfile.cmake" ] || not_run "no mingw build in $build"
[ -f "$build/svcbridge32/svcbridge_loader.exe" ] || not_run "the 32-bit programs are not built (cmake --build --preset mingw)"

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if sudo -n true 2>/dev/null; then as_root=(sudo -n); else as_root=(none); fi
fi
need_root() {  # $1: what for
  [ "${as_root[0]:-}" != none ] || not_run "$1 needs root"
}
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# Wine's 32-bit loader and its i386 libraries.
if [ ! -x /usr/lib/wine/wine ] || ! installed wine32:i386; then
  need_root "installing wine32:i386"
  "${as_root[@]}" dpkg --add-architecture i386
  "${as_root[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends \
    wine32:i386 || not_run "wine32:i386 cannot be installed"
fi

# Can this kernel start a 32-bit program by itself? Asked with our own binfmt entry off.
entry=/proc/sys/fs/binfmt_misc/qemu-i386
entry_before=absent
[ -f "$entry" ] && entry_before=$(head -n1 "$entry")
restore_binfmt() {
  case $entry_before in
    absent) [ -f "$entry" ] && echo -1 | "${as_root[@]}" tee "$entry" >/dev/null ;;
    disabled) [ -f "$entry" ] && echo 0 | "${as_root[@]}" tee "$entry" >/dev/null ;;
  esac
  return 0
}
if [ "$entry_before" = enabled ]; then
  native32=0  # left as found; qemu carries the 32-bit programs already
elif /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  native32=1
else
  native32=0
fi
if [ "$native32" -eq 0 ] && [ "$entry_before" != enabled ]; then
  need_root "running 32-bit programs through qemu-i386 (binfmt_misc)"
  if [ ! -x /usr/bin/qemu-i386 ]; then
    DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends \
      qemu-user || not_run "qemu-user cannot be installed"
  fi
  [ -f /proc/sys/fs/binfmt_misc/register ] ||
    "${as_root[@]}" mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc ||
    not_run "binfmt_misc cannot be mounted"
  trap restore_binfmt EXIT
  if [ "$entry_before" = absent ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:' |
      "${as_root[@]}" tee /proc/sys/fs/binfmt_misc/register >/dev/null ||
      not_run "qemu-i386 cannot be registered in binfmt_misc"
  else
    echo 1 | "${as_root[@]}" tee "$entry" >/dev/null
  fi
fi

# A prefix of our own that runs 32-bit and 64-bit programs; its Wine server is ours to end.
export WINEPREFIX=$root/build/wineprefix32 WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" VOLTSENTRY_WINE=/usr/lib/wine/wine
. "$root/cmake/wine-loader"
stop_server() { wineserver -k 2>/dev/null || true; }
trap 'stop_server; restore_binfmt' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then
  echo "creating the 32-bit Wine prefix $WINEPREFIX (minutes, once)"
  mkdir -p "$WINEPREFIX"
  timeout 900 "$VOLTSENTRY_WINE" wineboot --init >/dev/null 2>&1
  wineserver -w
fi
wineserver -p

ctest --test-dir "$build" -L wine32 --output-on-failure --timeout 600
status=$?
echo "32-bit Windows tests: status $status, $(($(date +%s) - started)) s in all"
exit "$status"
