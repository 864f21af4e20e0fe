#!/usr/bin/env bash
# The demo: wardend supervising the simulated UPS, with a live view of the service's diagnostic
# log and of what the UPS receives. Nothing here can shut the machine down.
set -euo pipefail

usage() {
  cat <<'EOF'
usage: scripts/demo.sh [--seconds N] [--keep] [--help]

Builds wardend and upssim, starts the simulated UPS on a pseudo-terminal and wardend in the
foreground against a private copy of examples/install, and shows as they happen:
  [srvlog]   the service's diagnostic log (CP932 on disk, shown in UTF-8)
  [ups rx]   what the simulated UPS receives
  [wardend]  what the service tells an administrator on stderr
  [shutdown] a shutdown the service asks for (only recorded, never done)
  [upssim]   the simulator's answer to a line you type

Type a line to change what the UPS reports: power off, power on, battery, online, code13,
silent on, silent off, push-status, state, help (lists them all). "quit" or Ctrl-C ends it.

  --seconds N  end by itself after N seconds instead of reading lines
  --keep       keep the demo's folder (installation copy, journal) and say where it is
  --help       show this text

Both programs show one clock: TZ as set, else Japan time (TZ=JST-9), the service's own.
EOF
}

seconds=0
keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=${2:?--seconds needs a number}; shift 2 ;;
    --keep) keep=1; shift ;;
    --help|-h) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
done
case "$seconds" in
  ''|*[!0-9]*) echo "--seconds needs a whole number of seconds" >&2; exit 2 ;;
esac

cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target wardend upssim shutdown_recorder >/dev/null

# The service keeps Japan time unless TZ says otherwise; the simulator stamps its journal in
# local time. One TZ for both shows one clock.
export TZ=${TZ:-JST-9}

work=$(mktemp -d "${TMPDIR:-/tmp}/voltsentry-demo.XXXXXX")
install="$work/install"
mkdir -p "$install"
cp examples/install/*.ini "$install/"
# No planned stop: the example timetable's office hours would stop the demo's service (through
# the recorder) at night; the demo shows the mains failure, not the schedule.
printf '[week]\r\n' > "$install/sched.ini"
wardend=
upssim=
cleanup() {
  trap - EXIT INT TERM
  if [ -n "$wardend" ]; then
    kill -TERM "$wardend" 2>/dev/null || true
    for _ in $(seq 100); do kill -0 "$wardend" 2>/dev/null || break; sleep 0.1; done
  fi
  [ -n "$upssim" ] && kill -TERM "$upssim" 2>/dev/null || true
  # The viewers follow the two programs (tail --pid) and end with them.
  wait 2>/dev/null || true
  if [ "$keep" = 1 ]; then
    echo "demo files kept in $work"
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

build/release/src/tools/upssim/upssim --pty-file "$work/pty" --journal "$work/journal" \
  --control "$work/control" >/dev/null &
upssim=$!
for _ in $(seq 50); do [ -s "$work/pty" ] && break; sleep 0.1; done
pty=$(head -n1 "$work/pty")
# upstab.ini is CP932 with CRLF line ends; the port line is plain ASCII.
sed -i "s|^ttyname=.*\r\$|ttyname=$pty\r|" "$install/upstab.ini"
# The machine is never shut down: the service's shutdown command is a recorder, and the
# system's own commands are refused in case a registry lacks it.
printf '[Software\\Quillon\\VoltSentry\\CurrentVersion]\r\nPathName=%s\r\nShutdownCommand=%s %s\r\n' \
  "$install" "$PWD/build/release/tests/shutdown_recorder" "$work/shutdown.calls" > "$work/registry.ini"

: > "$install/srvlog.log"
: > "$work/journal"
echo "simulated UPS on $pty; installation directory $install; clock TZ=$TZ"
VOLTSENTRY_REGISTRY="$work/registry.ini" VOLTSENTRY_NO_SYSTEM_SHUTDOWN=1 \
  build/release/src/wardend --foreground \
  2> >(sed -u 's/^/[wardend] /' >&2) &
wardend=$!

# The log is CP932. It is read as bytes (LC_ALL=C): in a UTF-8 locale bash's read takes CP932
# bytes for parts of characters and can hold a line back until later bytes arrive. Each line
# is converted on its own, since iconv on a stream waits for more input before it writes.
(
  export LC_ALL=C
  tail --pid="$wardend" -n +1 -F "$install/srvlog.log" 2>/dev/null | while IFS= read -r line; do
    printf '[srvlog] %s\n' "$(printf '%s\n' "$line" | iconv -c -f CP932 -t UTF-8)"
  done
) &
tail --pid="$upssim" -n +1 -F "$work/journal" 2>/dev/null | sed -u 's/^/[ups rx] /' &
: > "$work/shutdown.calls"
tail --pid="$wardend" -n +1 -F "$work/shutdown.calls" 2>/dev/null |
  sed -u 's/^/[shutdown] the machine would be shut down now: /' &

send() { printf '%s\n' "$1" | socat -t 2 - "UNIX-CONNECT:$work/control" | sed 's/^/[upssim] /'; }
if [ "$seconds" -gt 0 ]; then
  sleep "$seconds"
else
  while IFS= read -r line; do
    [ "$line" = quit ] && break
    [ -n "$line" ] && send "$line"
  done
fi
