#!/usr/bin/env bash
# The main job: builds the programs, lays out a demo fleet of three PCs (demo/pc1..pc3, each a
# program folder with agent, collector and updater, listening on 127.0.0.2, .3 and .4 at one
# port) that all publish into one embedded database, and a console folder (demo/console) whose
# inventory names them. It starts the agents and shows the console at work from the command
# line: the parameters of one PC, a batch collect of all three, the files of one PC, and the
# rows in the database. With a display it opens the console window on the fleet instead. The
# agents end when the script ends (or on Ctrl+C).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
demo="$PWD/demo"
database="$demo/TarvoInfo.sqlite"
port=7710
mkdir -p "$demo/console"
[ -f "$database" ] || sqlite3 "$database" < packaging/schema-sqlite.sql

pids=()
stop_agents() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap stop_agents EXIT
trap 'exit 130' INT TERM

# Waits (at most 10 s) until a file holds a text: the agents and the collector report by files.
wait_for_text() {
  local file=$1 text=$2
  for _ in $(seq 100); do
    grep -q "$text" "$file" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "no \"$text\" in $file" >&2
  return 1
}

inventory=$'[Demo]\r\n'
for n in 1 2 3; do
  pc="$demo/pc$n"
  address="127.0.0.$((n + 1))"
  mkdir -p "$pc"
  for program in TarvoAgent TarvoInfo TarvoUtil; do
    cp -f "build/bin/$program" "$pc/"
  done
  cp -f packaging/TarvoInfo.dat "$pc/"
  # The shipped settings with this PC's address, the console's address as the only one served,
  # and the shared database.
  sed -e "s|^Port=.*|Port=$port\r|" -e "s|^ListenAddress=.*|ListenAddress=$address\r|" \
      -e "s|^AllowFrom=.*|AllowFrom=127.0.0.1\r|" -e "s|^SQLUpdate=.*|SQLUpdate=1\r|" \
      -e "s|^SqlConnection=.*|SqlConnection=Provider=SQLite;Data Source=$database\r|" \
      packaging/TarvoAgent.ini > "$pc/TarvoAgent.ini"
  rm -f "$pc"/*.SQL.LOG
  "$pc/TarvoAgent" --headless > "$pc/agent.out" 2>&1 &
  pids+=($!)
  inventory+="pc$n=$address"$'\r\n'
done
cp -f build/bin/TarvoControl "$demo/console/"
sed -e "s|^Port=.*|Port=$port\r|" \
    -e "s|^SqlConnection=.*|SqlConnection=Provider=SQLite;Data Source=$database\r|" \
    packaging/TarvoControl.ini > "$demo/console/TarvoControl.ini"
printf '%s' "$inventory" > "$demo/console/TarvoNetwork.ini"
# The window's scan node probes the fleet's addresses; the explanations and the guide ship
# beside the console.
printf '[Scan]\r\nRanges=127.0.0.0/29\r\n' >> "$demo/console/TarvoNetwork.ini"
cp -f packaging/TarvoControl.mm1 packaging/TarvoControl.mm2 packaging/TarvoControl.mm3 \
  packaging/TarvoControl-guide.html "$demo/console/"
for n in 1 2 3; do
  wait_for_text "$demo/pc$n/agent.out" "接続待ち状態"
done
console() { "$demo/console/TarvoControl" "$@"; }

# With a display the main job is the console window on the fleet; the agents end when it closes.
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "== The console window on the demo fleet (127.0.0.2-4, port $port); close it to end"
  console
  exit 0
fi

echo "== Agents listening on 127.0.0.2, 127.0.0.3 and 127.0.0.4, port $port"
echo "== TarvoControl params pc1"
console params pc1 2>/dev/null
echo
echo "== TarvoControl collect @Demo (a batch run: one line per PC as it finishes)"
console collect @Demo || true
# The collectors run on their own after the agents' replies; each leaves its SQL log at the end.
for n in 1 2 3; do
  for _ in $(seq 300); do compgen -G "$demo/pc$n/*.SQL.LOG" >/dev/null && break; sleep 0.1; done
done
echo
echo "== TarvoControl files pc2"
console files pc2 2>/dev/null
echo
# The three stand-ins share this machine's network adapter, so they report one MAC address and
# therefore write one row between them.
echo "== Rows in $database"
sqlite3 -header -column "$database" \
  "SELECT SysMACAddress, SysComputerName, SysOS, SysDatVersion FROM TarvoInfo"
