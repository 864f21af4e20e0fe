#!/usr/bin/env bash
# The demo: wardend supervising the simulated UPS, with a live view of the service's diagnostic
# log and of what the UPS receives. Lines typed here go to the simulated UPS ("help" lists
# them: battery, online, silent on, push-status, ...). Ctrl-C or "quit" ends the demo; with
# --seconds N it ends by itself after N seconds. Nothing here can shut the machine down.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=0
[ "${1:-}" = "--seconds" ] && seconds=${2:?}

scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" --target wardend upssim >/dev/null

work=$(mktemp -d /tmp/voltsentry-demo.XXXXXX)
install="$work/install"
mkdir -p "$install"
cp examples/install/*.ini "$install/"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  echo "demo files kept in $work"
}
trap cleanup EXIT

build/native/src/tools/upssim/upssim --pty-file "$work/pty" --journal "$work/journal" \
  --control "$work/control" >/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/pty" ] && break; sleep 0.1; done
pty=$(head -n1 "$work/pty")
# upstab.ini is CP932 with CRLF line ends; the port line is plain ASCII.
sed -i "s|^ttyname=.*\r\$|ttyname=$pty\r|" "$install/upstab.ini"
printf '[Software\\Quillon\\VoltSentry\\CurrentVersion]\r\nPathName=%s\r\n' "$install" \
  > "$work/registry.ini"

: > "$install/srvlog.log"
echo "simulated UPS on $pty; installation directory $install"
VOLTSENTRY_REGISTRY="$work/registry.ini" build/native/src/wardend --foreground &
wardend=$!
pids+=("$wardend")

# iconv buffers a stream, so each line is converted on its own to show it at once.
tail -n +1 -F "$install/srvlog.log" 2>/dev/null | while IFS= read -r line; do
  printf '[srvlog] %s\n' "$(printf '%s' "$line" | iconv -f CP932 -t UTF-8 2>/dev/null || printf '%s' "$line")"
done &
pids+=($!)
tail -n +1 -F "$work/journal" 2>/dev/null | sed -u 's/^/[ups rx] /' &
pids+=($!)

send() { printf '%s\n' "$1" | socat -t 2 - "UNIX-CONNECT:$work/control" | sed 's/^/[upssim] /'; }
if [ "$seconds" -gt 0 ]; then
  sleep "$seconds"
else
  while IFS= read -r line; do
    [ "$line" = quit ] && break
    [ -n "$line" ] && send "$line"
  done
fi
kill -TERM "$wardend"
for _ in $(seq 100); do kill -0 "$wardend" 2>/dev/null || break; sleep 0.1; done
