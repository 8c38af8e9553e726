#!/usr/bin/env bash
# Renders the console's pages 6 and 7 and their dialogs into build/screenshots/console/.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target pagescreenshots
QT_QPA_PLATFORM=offscreen build/bin/pagescreenshots "$PWD" "$PWD/build/screenshots/console"
