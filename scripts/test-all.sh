#!/usr/bin/env bash
# Builds every configuration CI runs and runs every test: native (unit, contract and
# end-to-end), ASan+UBSan and TSan (unit and contract), the Debian package (in a clean chroot)
# and the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
run_preset() {
  local preset=$1
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
}

run_preset native
run_preset asan
# TSan needs the classic address-space layout; newer kernels randomise too many bits for it.
setarch "$(uname -m)" -R true 2>/dev/null && tsan_wrap=(setarch "$(uname -m)" -R) || tsan_wrap=()
echo "=== tsan ==="
cmake --preset tsan >/dev/null
# The build lists the tests by running them, so it needs the same layout.
"${tsan_wrap[@]}" cmake --build --preset tsan -j "$jobs"
"${tsan_wrap[@]}" ctest --preset tsan -j "$jobs"

# The Debian package of the release build, checked in a clean chroot (needs root).
echo "=== package ==="
if [ "$(id -u)" -eq 0 ]; then
  scripts/package-check.sh
else
  echo "package check skipped: it needs root (debootstrap, chroot)"
fi

# One Wine server for the whole Windows run, so each test does not pay its start-up.
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
. cmake/wine-loader
mkdir -p "$WINEPREFIX"  # the server refuses to start for a prefix folder that does not exist
wineserver -p
trap 'wineserver -k || true' EXIT
# Plain wineboot creates the prefix on the first run and only brings its services up on later
# ones; "wineboot -i" on an existing prefix starts a second services.exe, and the two then
# disagree about the services that a test installs.
"$VOLTSENTRY_WINE" wineboot >/dev/null 2>&1 || true
# Windows without a display: the null graphics driver still makes windows, so that the walk of
# the top-level windows (the logged-on-user check) is tested on a machine without X. The
# monitor's screenshot test alone draws: it starts its own Xvfb, switches the prefix to the X11
# driver for its run and puts this value back.
"$VOLTSENTRY_WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 || true
run_preset mingw

# The Windows package: built from the release preset, installed, run and removed under Wine in
# a prefix and server of its own.
JOBS=$jobs scripts/windows-package-check.sh

# svcbridge.dll for 32-bit Windows under Wine's 32-bit loader, in a prefix of its own. Last, since
# on a kernel without 32-bit support it installs and enables an emulator for the run only.
scripts/win32-programs.sh
