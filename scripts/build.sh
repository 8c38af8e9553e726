#!/usr/bin/env bash
# Installs what is missing, then configures and builds into build/ (programs in build/bin/).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
export CCACHE_BASEDIR="$PWD"
# The build folder's own path stays out of the hash, so that clones elsewhere share the cache.
export CCACHE_NOHASHDIR=1
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build build -j"$(nproc)"
