#!/usr/bin/env bash
# Renders the agent's window (started and stopped, with a filled status log) and its settings
# dialogs offscreen into build/screenshots/agent/, one PNG per window named after its objectName.
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_BASEDIR="$PWD"
[ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target tarvo_agent_screenshots
mkdir -p build/screenshots/agent
QT_QPA_PLATFORM=offscreen build/bin/tarvo_agent_screenshots build/screenshots/agent
