#!/usr/bin/env bash
# Installs the Debian packages the build, the demo and the tests need (as root, or through
# sudo). Packages already present are left alone, so a second run costs nothing. The monitor's
# screenshot test draws on a virtual X server (xvfb) with a Japanese font for its texts; the Qt
# monitor needs Qt's widgets and its platform plugins (offscreen for the tests, xcb for a
# desktop). g++-mingw-w64-i686 builds the 32-bit svcbridge.dll; libsvcbridge.so speaks to systemd
# through sd-bus (libsystemd-dev, found by pkg-config) and its tests run a private bus of their
# own (dbus-daemon). The Debian package is made by cpack, which needs dpkg-shlibdeps (dpkg-dev)
# and file; the Windows package check unpacks its zip (unzip).
set -euo pipefail

packages=(g++ cmake ninja-build googletest libgtest-dev libgmock-dev
          g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64 locales socat iproute2 util-linux
          xvfb fonts-ipafont-gothic qt6-base-dev qt6-qpa-plugins
          libsystemd-dev pkgconf dbus-daemon unzip dpkg-dev file)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
echo "installing: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
