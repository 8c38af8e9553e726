#!/usr/bin/env bash
# The names benchmark over the system resolver (getaddrinfo): inside a user, network and mount
# namespace of the run's own, /etc/resolv.conf names a stub name server on 127.0.0.1 (stubdns.py),
# so no query leaves the run. Stand-ins on 127.10.x.y (bench_console standins), the console as a
# program, `collect @Fleet` over the names of TarvoNetwork.ini, MaxControl 256, Timeout 3.
# Usage: names-dns.sh BIN_DIR COUNT DELAY_MS TarvoControl...   (one figure line per console)
# DELAY_MS "addresses": the same run with the stand-ins' addresses given, for comparison.
set -euo pipefail
if [[ "${TARVO_IN_NAMESPACE:-}" != 1 ]]; then
  exec env TARVO_IN_NAMESPACE=1 unshare -rnm "$0" "$@"
fi
bin=$1 count=$2 delay=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
ip link set lo up
echo "nameserver 127.0.0.1" > "$work/resolv.conf"
mount --bind "$work/resolv.conf" /etc/resolv.conf
mkfifo "$work/dns.ready"
/usr/bin/python3 "$here/stubdns.py" "${delay/addresses/0}" "$work/dns.ready" &
port=47110
mkfifo "$work/standins"
"$bin/bench_console" standins "$count" "$port" > "$work/standins" &
read -r line < "$work/standins"
[[ "$line" == ready ]] || { echo "the stand-ins did not start: $line"; exit 1; }
read -r line < "$work/dns.ready"
mkdir "$work/console"
printf '[TarvoControl]\r\nPort=%s\r\nTimeout=3\r\nMaxControl=256\r\n' "$port" > "$work/console/TarvoControl.ini"
{ printf '[Fleet]\r\n'; for ((i = 0; i < count; i++)); do printf 'pc%05d=\r\n' "$i"; done; } \
  > "$work/console/TarvoNetwork.ini"
targets=(@Fleet)
what="named in TarvoNetwork.ini, getaddrinfo against a stub answering in $delay ms (1 in 100 never)"
if [[ "$delay" == addresses ]]; then
  targets=()
  for ((i = 0; i < count; i++)); do targets+=("127.10.$((i / 250)).$((i % 250 + 1))"); done
  what="given as addresses"
fi
for console in "$@"; do
  /usr/bin/time -f "%e %M" -o "$work/time" "$console" --folder "$work/console" collect "${targets[@]}" \
    > "$work/out" 2>"$work/err" || true
  read -r seconds rss < <(tail -n 1 "$work/time")
  summary=$(tail -n 1 "$work/err")
  echo "collect over $count stand-ins $what, MaxControl 256, Timeout 3, $console:" \
       "$seconds s, console peak RSS $((rss / 1024)) MiB, $summary"
done
