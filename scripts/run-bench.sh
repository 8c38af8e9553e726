#!/usr/bin/env bash
# Builds, then runs every benchmark program (build/bin/bench_*) and prints its figures.
#   scripts/run-bench.sh [name-filter]
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
filter="${1:-}"
# The publishing bench talks to the shared test servers; they run for the length of this script.
servers=(smtp ftp mariadb)
stop_servers() {
    for kind in "${servers[@]}"; do
        /usr/bin/python3 tests/support/testservers.py stop "$kind" build/testservers || true
    done
}
trap stop_servers EXIT
for kind in "${servers[@]}"; do
    /usr/bin/python3 tests/support/testservers.py start "$kind" build/testservers
done
# The window benchmarks draw offscreen, as the tests do: no display is needed.
export QT_QPA_PLATFORM=offscreen
# One benchmark that fails does not keep the others from running; the script fails at the end.
failed=()
for program in build/bin/bench_*; do
    [ -x "$program" ] || continue
    case "$(basename "$program")" in *"$filter"*) ;; *) continue ;; esac
    echo "== $(basename "$program")"
    "$program" || failed+=("$(basename "$program")")
done
# The names run over getaddrinfo needs namespaces of its own (its stub name server must not be
# the machine's); it is skipped where none can be made.
if [[ "names-dns" == *"$filter"* ]] && unshare -rnm true 2>/dev/null; then
    echo "== names-dns"
    bench/names-dns.sh build/bin 10000 50 build/bin/TarvoControl || failed+=(names-dns)
fi
if [ ${#failed[@]} -gt 0 ]; then
    echo "failed: ${failed[*]}" >&2
    exit 1
fi
