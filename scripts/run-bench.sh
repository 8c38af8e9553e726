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
for program in build/bin/bench_*; do
    [ -x "$program" ] || continue
    case "$(basename "$program")" in *"$filter"*) ;; *) continue ;; esac
    echo "== $(basename "$program")"
    "$program"
done
