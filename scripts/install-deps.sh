#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Does nothing when all of them are already installed.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev libqt6sql6-sqlite libqt6sql6-mysql libqt6sql6-odbc
  # the tests reach the MariaDB test server through ODBC too (its TLS host-name check)
  odbc-mariadb
  libcurl4-openssl-dev libssl-dev openssl qt6-translations-l10n
  clang libclang-rt-14-dev
  python3 python3-aiosmtpd python3-pyftpdlib python3-openssl mariadb-server minisign
  xvfb fonts-noto-cjk adwaita-icon-theme
  procps iproute2 sqlite3 curl
  # benchmark only: bench_agent compares its request cycle with Debian's Zabbix agent
  zabbix-agent
  dpkg-dev lintian file
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
# The benchmark runs its own Zabbix agent on a free port; the system's service stays off.
if [[ " ${missing[*]} " == *" zabbix-agent "* ]] && command -v systemctl >/dev/null \
    && [ -d /run/systemd/system ]; then
  $SUDO systemctl disable --now zabbix-agent >/dev/null 2>&1 || true
fi
