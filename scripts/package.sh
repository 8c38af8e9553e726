#!/usr/bin/env bash
# Builds the programs and the two Debian packages into build/packages/:
# tarvo-agent (every managed PC) and tarvo-console (the administrator's PC).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
export CCACHE_BASEDIR="$PWD"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
# Only the programs the packages carry: installing does not build the tests and benchmarks.
known=$(cmake --build build --target help)
programs=()
for target in TarvoAgent TarvoInfo TarvoUtil TarvoControl; do
  if grep -q "^$target:" <<<"$known"; then programs+=("$target"); fi
done
cmake --build build --target "${programs[@]}" -j"$(nproc)"
rm -f build/packages/*.deb
cpack --config build/CPackConfig.cmake -B build/packages >/dev/null
rm -rf build/packages/_CPack_Packages
for package in build/packages/*.deb; do
  echo "$package"
done
