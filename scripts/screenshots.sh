#!/usr/bin/env bash
# Renders every console window to build/screenshots/console/ (offscreen, CJK fonts): a fleet of
# three agents on 127.0.0.2-4 plus one address without an agent, the console driven page by page.
# Pictures are named after the window's objectName, with the page after a dash. Windows built
# elsewhere add their own pictures to the same folder (see console/ui/screenshots/). Pages 6 and 7 get
# one picture per tab, and frmTiming and frmDatabase theirs, from a demo database of their own.
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_BASEDIR="$PWD"
cmake --build build -j2 --target TarvoAgent tarvo_console_screenshots >/dev/null
out="$PWD/build/screenshots/console"
mkdir -p "$out"
work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.2", 0)); print(s.getsockname()[1])')"
database="$work/console/TarvoInfo.sqlite"
mkdir -p "$work/console"
sqlite3 "$database" < packaging/schema-sqlite.sql
names=(pc-sato pc-suzuki pc-tanaka)
for n in 2 3 4; do
  folder="$work/agent$n"
  mkdir -p "$folder"
  cp build/bin/TarvoAgent "$folder/"
  cp packaging/TarvoInfo.dat "$folder/"
  printf '#!/bin/sh\nexit 0\n' > "$folder/TarvoInfo"
  chmod +x "$folder/TarvoInfo"
  sed -e "s/^Port=.*/Port=$port\r/" -e "s/^ListenAddress=.*/ListenAddress=127.0.0.$n\r/" \
    packaging/TarvoAgent.ini > "$folder/TarvoAgent.ini"
  "$folder/TarvoAgent" --headless > "$folder/agent.out" 2>&1 &
  pids+=("$!")
  name="${names[$((n - 2))]}"
  sqlite3 "$database" "INSERT INTO TarvoInfo (SysMACAddress, SysComputerName, SysMicrosoftNetwork, SysIPAddress) VALUES ('02000000000$n', '$name', 'WORKGROUP', '127.0.0.$n')"
done
for n in 2 3 4; do
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.$n/$port") 2>/dev/null && break
    sleep 0.1
  done
done

to_cp932() { sed 's/$/\r/' | iconv -f UTF-8 -t CP932; }
to_cp932 > "$work/console/TarvoControl.ini" <<INI
[TarvoControl]
Port=$port
Timeout=5
MaxControl=2
SqlConnection=Provider=SQLite;Data Source=TarvoInfo.sqlite
SqlTable=TarvoInfo
SqlUserid=
SqlPassword=
INI
to_cp932 > "$work/console/TarvoNetwork.ini" <<INI
[営業部]
pc-sato=127.0.0.2
pc-suzuki=127.0.0.3
[開発部]
pc-tanaka=127.0.0.4
pc-yamada=127.0.0.5
[Scan]
Ranges=127.0.0.0/29
INI
cp packaging/TarvoControl.mm1 packaging/TarvoControl.mm2 packaging/TarvoControl.mm3 \
  packaging/TarvoControl-guide.html "$work/console/"
printf 'module to distribute\r\n' > "$work/console/TarvoUpdate.dat"

QT_QPA_PLATFORM=offscreen build/bin/tarvo_console_screenshots fleet "$work/console" "$out" \
  "$work/console/TarvoUpdate.dat"

# Pages 6 and 7, tab by tab, with frmTiming and frmDatabase.
QT_QPA_PLATFORM=offscreen build/bin/tarvo_console_screenshots pages "$PWD" "$out"
