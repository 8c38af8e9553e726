#!/usr/bin/env bash
# The main job: builds the programs, lays out a demo program folder (demo/) with the shipped
# settings and definition file, creates the embedded inventory database when it is missing,
# runs the collector once (it writes this PC's row, shown below), then runs the agent there
# headless in the foreground on 127.0.0.1. Ctrl+C ends it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
demo="$PWD/demo"
mkdir -p "$demo"
for program in TarvoAgent TarvoInfo TarvoUtil; do
  [ -x "build/bin/$program" ] && cp -f "build/bin/$program" "$demo/"
done
[ -f "$demo/TarvoAgent.ini" ] || cp packaging/TarvoAgent.ini "$demo/"
[ -f "$demo/TarvoInfo.dat" ] || cp packaging/TarvoInfo.dat "$demo/"
# The demo listens on loopback only and publishes into the embedded database.
sed -i -e 's/^ListenAddress=.*/ListenAddress=127.0.0.1\r/' -e 's/^SQLUpdate=.*/SQLUpdate=1\r/' \
  "$demo/TarvoAgent.ini"
database="$demo/TarvoInfo.sqlite"
[ -f "$database" ] || sqlite3 "$database" < packaging/schema-sqlite.sql

echo "== Collector run (ALL mode) in $demo"
(cd "$demo" && ./TarvoInfo ALL)
for log in "$demo"/*.SQL.LOG; do
  [ -f "$log" ] && iconv -f CP932 -t UTF-8 "$log" | tr -d '\r' | tail -n 6
done
echo "== This PC's row in $database (non-empty columns)"
sqlite3 -line "$database" "SELECT * FROM TarvoInfo" | grep -vE '=\s*$' || true

echo "== Agent on 127.0.0.1 (Ctrl+C ends it)"
exec "$demo/TarvoAgent" --headless
