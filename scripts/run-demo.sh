#!/usr/bin/env bash
# Builds the programs, lays out a demo program folder (demo/) with the shipped settings and
# runs the agent there headless in the foreground on 127.0.0.1. Ctrl+C ends it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
demo="$PWD/demo"
mkdir -p "$demo"
for program in TarvoAgent TarvoInfo TarvoUtil; do
  [ -x "build/bin/$program" ] && cp -f "build/bin/$program" "$demo/"
done
[ -f "$demo/TarvoAgent.ini" ] || cp packaging/TarvoAgent.ini "$demo/"
[ -f "$demo/TarvoInfo.dat" ] || { [ -f packaging/TarvoInfo.dat ] && cp packaging/TarvoInfo.dat "$demo/"; }
sed -i 's/^ListenAddress=.*/ListenAddress=127.0.0.1\r/' "$demo/TarvoAgent.ini"
echo "Program folder: $demo"
exec "$demo/TarvoAgent" --headless
