#!/usr/bin/env bash
# Builds, then runs every benchmark program (build/bin/bench_*) and prints its figures.
#   scripts/run-bench.sh [name-filter]
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
filter="${1:-}"
for program in build/bin/bench_*; do
    [ -x "$program" ] || continue
    case "$(basename "$program")" in *"$filter"*) ;; *) continue ;; esac
    echo "== $(basename "$program")"
    "$program"
done
