#!/usr/bin/env bash
# Builds every fuzz/fuzz_*.cpp target with clang in build-fuzz/ and runs each for a bounded time.
#   scripts/run-fuzz.sh [seconds-per-target]     (default 60)
# Corpora persist in build-fuzz/corpus/<target>/ between runs; anything a target finds (a crash,
# a leak, a time-out) is written to build-fuzz/findings/<target>/. Exit status 1 when a target
# found something.
set -euo pipefail

seconds="${1:-60}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "usage: $0 [seconds-per-target]" >&2
    exit 2
fi

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
jobs="${FUZZ_BUILD_JOBS:-2}"

for tool in clang clang++ cmake ninja; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done

export CCACHE_BASEDIR="$root"
cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARVO_FUZZ=ON -DTARVO_TESTS=OFF -DTARVO_BENCH=OFF >"$build.configure.log" 2>&1 || {
    cat "$build.configure.log" >&2
    exit 2
}

targets=()
for source in "$root"/fuzz/fuzz_*.cpp; do
    [ -e "$source" ] || continue
    targets+=("$(basename "$source" .cpp)")
done
if [ "${#targets[@]}" -eq 0 ]; then
    echo "no fuzz targets in $root/fuzz" >&2
    exit 2
fi
cmake --build "$build" --target "${targets[@]}" -j "$jobs"

# A few well-formed inputs give the fuzzer a head start; it mutates them from there.
seed_frameassembler() {
    local dir="$1"
    printf '100;\x0b\x00\x00\x00;\r\n' >"$dir/seed-request-100"
    printf '101;\x0e\x00\x00\x00;a=b\r\n900;\x0b\x00\x00\x00;\r\n' >"$dir/seed-two-frames"
    printf '500;\x2a\x00\x00\x00;\x21\x00\x00\x00;a;2024/01/02 03:04:05;x;y;DATA' \
        >"$dir/seed-file-request"
}

found_any=0
summary=()
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    findings="$build/findings/$target"
    log="$build/logs/$target.log"
    mkdir -p "$corpus" "$findings" "$(dirname "$log")"
    if [ -z "$(ls -A "$corpus")" ] && declare -F "seed_${target#fuzz_}" >/dev/null; then
        "seed_${target#fuzz_}" "$corpus"
    fi
    before=$(find "$corpus" -type f | wc -l)
    echo "== $target: ${seconds}s, corpus $corpus ($before inputs)"
    set +e
    "$build/bin/$target" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$findings/" -print_final_stats=1 >"$log" 2>&1
    status=$?
    set -e
    after=$(find "$corpus" -type f | wc -l)
    runs=$(grep -o '^Done [0-9]* runs' "$log" | grep -o '[0-9]\+' || true)
    cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | grep -oE '[0-9]+' || true)
    line="$target: ${runs:-?} runs, coverage ${cov:-?} edges, corpus $before -> $after"
    if [ "$status" -ne 0 ]; then
        found_any=1
        line="$line, FOUND a failure (exit $status), see $log"
        grep -E '^(==[0-9]+==ERROR|SUMMARY|fuzz_|.*runtime error)' "$log" | head -5 || true
        ls -1 "$findings" | sed 's/^/    artifact: /'
    else
        line="$line, nothing found"
    fi
    echo "$line"
    summary+=("$line")
done

echo
echo "Fuzzing summary (${seconds}s per target):"
printf '  %s\n' "${summary[@]}"
exit "$found_any"
