#!/usr/bin/env bash
# Builds the release programs and the Debian package and checks it: lintian, the systemd unit,
# and installation, a foreground run, upgrade, removal and purge in a clean Debian chroot.
# Runs as root. Nothing here starts a service on this machine or can shut anything down: the
# chroot's service manager commands are recorders, and so is the service's shutdown command.
#   scripts/package-check.sh [--keep]    --keep leaves the chroot in build/package-check
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

keep=0
[ "${1:-}" = --keep ] && keep=1

fail() { echo "package-check: FAIL: $*" >&2; exit 1; }
step() { echo "=== package-check: $* ($(( SECONDS - started )) s)"; }
started=$SECONDS

[ "$(id -u)" -eq 0 ] || fail "run as root (debootstrap and chroot need it)"

scripts/install-deps.sh
tools=(debootstrap lintian systemd dpkg-dev fakeroot)
missing=()
for p in "${tools[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

step "release build"
cmake --preset release >/dev/null
cmake --build --preset release -j 2 >/dev/null
out=build/release/package
rm -rf "$out"
step "package"
(cd build/release && cpack -G DEB -B "$top/$out" >/dev/null)
deb=$(ls "$out"/voltsentry_*.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || fail "cpack made no voltsentry_*.deb"
version=$(dpkg-deb -f "$deb" Version)
ls "$out"/voltsentry-dbgsym_*.ddeb >/dev/null 2>&1 || fail "no -dbgsym package"
# A later version of the same programs, to install over the first one.
upstream=$(sed -n 's/^VOLTSENTRY_PACKAGE_VERSION:STRING=//p' build/release/CMakeCache.txt)
(cd build/release && cpack -G DEB -D CPACK_PACKAGE_VERSION="$upstream.1" -B "$top/$out/next" >/dev/null)
next_deb=$(ls "$out"/next/voltsentry_*.deb 2>/dev/null | head -n1)
[ -n "$next_deb" ] || fail "cpack made no later voltsentry_*.deb"
next=$(dpkg-deb -f "$next_deb" Version)
dpkg --compare-versions "$next" gt "$version" || fail "$next is not later than $version"

step "lintian"
# Errors fail the check; warnings are shown.
ddeb=$(ls "$out"/voltsentry-dbgsym_*.ddeb)
lintian --fail-on error "$deb" "$ddeb" || fail "lintian reports errors"

step "systemd-analyze verify"
tree=$out/tree
rm -rf "$tree"
dpkg-deb -x "$deb" "$tree"
# ExecStart is checked inside the package's own tree; the targets the unit names come from this
# machine's systemd. The man page named by Documentation= is checked in the chroot below.
cp -n /usr/lib/systemd/system/*.target "$tree/usr/lib/systemd/system/"
verify_log=$out/verify.log
SYSTEMD_LOG_LEVEL=notice systemd-analyze verify --man=no --root="$tree" \
  /usr/lib/systemd/system/voltsentry.service >"$verify_log" 2>&1 ||
  { cat "$verify_log" >&2; fail "systemd-analyze verify rejects the unit"; }
if [ -s "$verify_log" ]; then cat "$verify_log" >&2; fail "systemd-analyze verify complains"; fi

# ---- the chroot ----
work=build/package-check
root=$top/$work/root
mounts=()
cleanup() {
  local i
  # The simulated UPS of the foreground run, if a failure left it running.
  [ -s "$root/tmp/upssim.pid" ] && kill "$(cat "$root/tmp/upssim.pid")" 2>/dev/null || true
  for (( i=${#mounts[@]}-1; i>=0; i-- )); do
    umount "${mounts[$i]}" 2>/dev/null || umount -l "${mounts[$i]}" 2>/dev/null || true
  done
  # debootstrap mounts proc and sys itself while it works; an interrupted run can leave them.
  for m in $(findmnt -rn -o TARGET | grep "^$root/" | sort -r); do umount -l "$m" || true; done
  if [ "$keep" = 0 ] && [ -d "$root" ] && ! findmnt -rn -o TARGET | grep -q "^$root"; then
    rm -rf "$root"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM
cleanup
rm -rf "$root"
mkdir -p "$root/var/cache/apt/archives"

step "debootstrap (minbase bookworm)"
mirror=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n1)
mirror=${mirror:-http://deb.debian.org/debian}
# The packages this machine already downloaded are used rather than fetched again (links, when
# the cache is on the same file system).
if [ -d /var/cache/apt/archives ] &&
   [ "$(stat -c %d /var/cache/apt/archives)" = "$(stat -c %d "$root")" ]; then
  find /var/cache/apt/archives -maxdepth 1 -name '*.deb' -exec ln -t "$root/var/cache/apt/archives" {} + 2>/dev/null || true
fi
timeout 1200 debootstrap --variant=minbase bookworm "$root" "$mirror" >"$top/$work/debootstrap.log" 2>&1 ||
  { tail -n 20 "$top/$work/debootstrap.log" >&2; fail "debootstrap"; }

in_root() { timeout "${TIMEOUT:-300}" chroot "$root" env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }
mount_in() { mount "$@"; mounts+=("${*: -1}"); }
mount_in -t proc proc "$root/proc"
mount_in -t devpts -o newinstance,ptmxmode=0666,mode=0620 devpts "$root/dev/pts"
ln -sf pts/ptmx "$root/dev/ptmx"
cp /etc/resolv.conf "$root/etc/resolv.conf"

# No service starts in the chroot; the service manager's commands only write down how they
# were called, and the maintainer scripts see a system run by systemd.
printf '#!/bin/sh\nexit 101\n' > "$root/usr/sbin/policy-rc.d"
for cmd in systemctl deb-systemd-invoke; do
  printf '#!/bin/sh\necho "%s $*" >> /var/tmp/service-manager.calls\nexit 0\n' "$cmd" \
    > "$root/usr/local/bin/$cmd"
done
chmod 755 "$root/usr/sbin/policy-rc.d" "$root/usr/local/bin/systemctl" "$root/usr/local/bin/deb-systemd-invoke"
# apt gives the maintainer scripts a PATH of its own; the recorders must come first in it.
echo 'DPkg::Path "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";' \
  > "$root/etc/apt/apt.conf.d/99recorders"
mkdir -p "$root/run/systemd/system"
: > "$root/var/tmp/service-manager.calls"
calls() { cat "$root/var/tmp/service-manager.calls"; }
called() { grep -qx "deb-systemd-invoke $1 voltsentry.service" "$root/var/tmp/service-manager.calls"; }

cp "$deb" "$ddeb" "$next_deb" "$root/tmp/"
install -m 755 build/release/tests/shutdown_recorder "$root/usr/local/bin/shutdown_recorder"

step "apt install ./$(basename "$deb")"
TIMEOUT=900 in_root apt-get update -qq >/dev/null || fail "apt-get update in the chroot"
(cd "$root/tmp" && TIMEOUT=900 in_root sh -c "cd /tmp && apt-get install -y -q ./$(basename "$deb")" \
  > "$top/$work/install.log" 2>&1) || { tail -n 30 "$work/install.log" >&2; fail "apt install"; }

# The debug information installs beside the programs and dpkg can verify every file of both.
in_root dpkg -i "/tmp/$(basename "$ddeb")" > "$work/dbgsym.log" 2>&1 || { cat "$work/dbgsym.log" >&2; fail "dpkg -i the dbgsym package"; }
in_root dpkg --verify voltsentry voltsentry-dbgsym || fail "dpkg --verify"
in_root dpkg --purge voltsentry-dbgsym >/dev/null || fail "dpkg --purge voltsentry-dbgsym"

step "files"
for f in /usr/sbin/wardend /usr/bin/wardctl /usr/bin/upssim /usr/bin/linewatch \
         /usr/lib/x86_64-linux-gnu/voltsentry/libcalendr32.so \
         /usr/lib/x86_64-linux-gnu/libsvcbridge.so.1 /usr/include/svcbridge.h \
         /usr/lib/systemd/system/voltsentry.service /etc/logrotate.d/voltsentry \
         /usr/share/applications/linewatch.desktop /usr/share/icons/hicolor/scalable/apps/linewatch.svg \
         /usr/share/man/man8/wardend.8.gz /usr/share/man/man1/wardctl.1.gz \
         /usr/share/doc/voltsentry/copyright /usr/share/doc/voltsentry/changelog.Debian.gz \
         /etc/voltsentry/registry.ini /etc/voltsentry/upstab.ini /etc/voltsentry/msg.ini \
         /etc/voltsentry/upsrc.ini /etc/voltsentry/sched.ini /var/log/voltsentry; do
  [ -e "$root$f" ] || fail "$f is not installed"
done
[ "$(readlink "$root/var/lib/voltsentry/upstab.ini")" = /etc/voltsentry/upstab.ini ] ||
  fail "/var/lib/voltsentry/upstab.ini is no link to /etc/voltsentry/upstab.ini"
[ "$(readlink "$root/var/lib/voltsentry/srvlog.log")" = ../../log/voltsentry/srvlog.log ] ||
  fail "/var/lib/voltsentry/srvlog.log is no link to /var/log/voltsentry/srvlog.log"
# Output captured first: grep -q ending early would fail the pipe.
out_version=$(in_root /usr/sbin/wardend --version) || fail "wardend --version"
grep -q "$upstream" <<<"$out_version" || fail "wardend --version says $out_version"
libs=$(in_root ldd /usr/sbin/wardend) || fail "ldd wardend"
grep -q 'libcalendr32.so => .*/voltsentry/libcalendr32.so' <<<"$libs" || fail "wardend does not find libcalendr32.so: $libs"
# deb-systemd-helper links the unit itself, or asks systemctl (here the recorder) for it.
[ -L "$root/etc/systemd/system/multi-user.target.wants/voltsentry.service" ] ||
  grep -Eq "^systemctl .*(preset|enable) voltsentry.service$" "$root/var/tmp/service-manager.calls" ||
  { calls >&2; fail "the service is not enabled"; }
called start || { calls >&2; fail "installation did not start the service"; }

step "wardend --foreground with the installed configuration"
# The test's own edits: the diagnostic log on, the simulated UPS's terminal as serial port, and
# a recorder as shutdown command.
in_root sh -c 'upssim --pty-file /tmp/pty --journal /tmp/journal >/dev/null 2>&1 & echo $! > /tmp/upssim.pid'
for _ in $(seq 50); do [ -s "$root/tmp/pty" ] && break; sleep 0.1; done
pty=$(head -n1 "$root/tmp/pty" 2>/dev/null) || true
[ -n "$pty" ] || fail "upssim made no terminal"
sed -i "s|^srvlog=.*\r\$|srvlog=1\r|; s|^ttyname=.*\r\$|ttyname=$pty\r|" "$root/etc/voltsentry/upstab.ini"
printf 'ShutdownCommand=/usr/local/bin/shutdown_recorder /tmp/shutdown.calls\n' >> "$root/etc/voltsentry/registry.ini"
# Its own network: the UDP ports of this run meet nothing else on this machine.
# At most 40 asks of a second each, then the stop (the service ends within 10 s): the outer
# bound is never what ends it.
timeout 90 unshare --net sh -c "ip link set lo up && chroot '$root' env -i \
    PATH=/usr/sbin:/usr/bin:/sbin:/bin VOLTSENTRY_NO_SYSTEM_SHUTDOWN=1 TZ=UTC \
    sh -c '/usr/sbin/wardend --foreground 2>/tmp/wardend.err & w=\$!
           ok=1
           for i in \$(seq 40); do
             wardctl --host 127.0.0.1 --timeout 1 status >/tmp/wardctl.out 2>&1 && { ok=0; break; }
             sleep 0.2
           done
           kill -TERM \$w; wait \$w; echo \$? > /tmp/wardend.rc; exit \$ok'" ||
  { cat "$root/tmp/wardend.err" "$root/tmp/wardctl.out" >&2 2>/dev/null; fail "wardctl status got no answer from the installed wardend"; }
kill "$(cat "$root/tmp/upssim.pid")" 2>/dev/null || true
[ "$(cat "$root/tmp/wardend.rc")" = 0 ] || fail "wardend did not end with 0 after SIGTERM"
srvlog=$root/var/log/voltsentry/srvlog.log
[ -f "$srvlog" ] && [ ! -L "$srvlog" ] && [ -s "$srvlog" ] || fail "no srvlog.log in /var/log/voltsentry"
[ -f "$root/var/log/voltsentry/upslog" ] || fail "no UPS log at /var/log/voltsentry/upslog"
[ -L "$root/var/lib/voltsentry/upstab.ini" ] || fail "the service replaced the upstab.ini link"
[ ! -s "$root/tmp/shutdown.calls" ] || fail "the service asked for a shutdown: $(cat "$root/tmp/shutdown.calls")"
# The simulated UPS was asked: the service took the port from the installed upstab.ini.
[ -s "$root/tmp/journal" ] || fail "the service never asked the simulated UPS on $pty"
echo "wardctl: $(head -n1 "$root/tmp/wardctl.out")"
echo "srvlog.log begins:"
head -n 5 "$srvlog" | iconv -c -f CP932 -t UTF-8 | sed 's/\r$//; s/^/  /'

step "upgrade to $next keeps an edited configuration"
printf '; edited by the administrator\r\n' >> "$root/etc/voltsentry/upstab.ini"
: > "$root/var/tmp/service-manager.calls"
TIMEOUT=300 in_root sh -c "cd /tmp && apt-get install -y -q ./$(basename "$next_deb") </dev/null" \
  > "$work/upgrade.log" 2>&1 || { tail -n 30 "$work/upgrade.log" >&2; fail "upgrade"; }
[ "$(in_root dpkg-query -W -f='${Version}' voltsentry)" = "$next" ] || fail "$next is not installed"
grep -q 'edited by the administrator' "$root/etc/voltsentry/upstab.ini" || fail "the upgrade lost the edited upstab.ini"
grep -q "ShutdownCommand=/usr/local/bin/shutdown_recorder" "$root/etc/voltsentry/registry.ini" ||
  fail "the upgrade lost the edited registry.ini"
called restart || { calls >&2; fail "the upgrade did not restart the service"; }

step "remove stops the service"
: > "$root/var/tmp/service-manager.calls"
in_root apt-get remove -y -q voltsentry > "$work/remove.log" 2>&1 || fail "apt-get remove"
called stop || { calls >&2; fail "removal did not stop the service"; }
[ ! -e "$root/usr/sbin/wardend" ] || fail "wardend is still there after removal"
[ -f "$root/etc/voltsentry/upstab.ini" ] || fail "removal took the configuration (only purge may)"

step "purge leaves nothing of ours"
in_root apt-get purge -y -q voltsentry > "$work/purge.log" 2>&1 || fail "apt-get purge"
left=$(cd "$root" && find etc var usr lib -path '*voltsentry*' -o -name 'wardend*' -o -name 'wardctl*' \
         -o -name 'libcalendr32*' -o -name 'linewatch*' -o -name 'upssim*' 2>/dev/null | grep -v '^var/cache/apt/' || true)
[ -z "$left" ] || fail "purge left: $left"

step "all checks passed in $(( SECONDS - started )) s"
