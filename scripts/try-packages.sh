#!/usr/bin/env bash
# Installs, upgrades, removes and purges the packages of build/packages/ for real, in a
# throw-away copy-on-write overlay of this machine (needs root and overlayfs; nothing outside
# the overlay changes). Checks what a site would see: the agent's user and folder, the service
# enabled, a site's CP932 settings kept byte for byte through an upgrade over a running agent,
# data kept on removal, everything gone after purge. Run scripts/package.sh first.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "run as root" >&2; exit 2; }
agent=$(ls build/packages/tarvo-agent_*.deb)
version=$(dpkg-deb -f "$agent" Version)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The upgrade: the same build as a later version.
cpack --config build/CPackConfig.cmake -B "$work/next" -D CPACK_PACKAGE_VERSION="$version.1" \
    >/dev/null 2>&1
mkdir -p "$work/upper" "$work/work" "$work/root"
cat >"$work/steps.sh" <<'STEPS'
#!/bin/sh
set -eu
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; exit 1; fi; }
dpkg -i /tmp/debs/first/*.deb >/dev/null
check "user tarvo" "id tarvo >/dev/null"
check "/opt/tarvo is tarvo's" '[ "$(stat -c %U /opt/tarvo)" = tarvo ]'
check "TarvoAgent.ini tarvo 640" '[ "$(stat -c %U:%a /opt/tarvo/TarvoAgent.ini)" = tarvo:640 ]'
check "service enabled" "[ -L /etc/systemd/system/multi-user.target.wants/tarvo-agent.service ]"
# The site's settings, written by renaming as the agent does, with a CP932 value.
su -s /bin/sh tarvo -c 'cd /opt/tarvo && sed -i "s/^AllowFrom=.*/AllowFrom=192.168.10.5\r/" \
    TarvoAgent.ini && printf "Subject=\216\373\217\127\214\213\211\312\r\n" >>TarvoAgent.ini \
    && echo data >0011223344AA.DAT'
su -s /bin/sh tarvo -c '/opt/tarvo/TarvoAgent --headless >/dev/null 2>&1 & echo $! >/tmp/agent.pid'
md5sum /opt/tarvo/TarvoAgent.ini /opt/tarvo/TarvoInfo.dat >/tmp/settings.md5
before=$(stat -c %i /opt/tarvo/TarvoAgent)
dpkg -i /tmp/debs/next/tarvo-agent_*.deb >/dev/null
check "the running agent outlives the unpack" "kill -0 $(cat /tmp/agent.pid)"
check "program replaced" '[ "$(stat -c %i /opt/tarvo/TarvoAgent)" != "$before" ]'
check "settings kept byte for byte" "md5sum -c --quiet /tmp/settings.md5"
kill "$(cat /tmp/agent.pid)"
dpkg -r tarvo-agent >/dev/null
check "removal keeps settings and data" \
    "[ -f /opt/tarvo/TarvoAgent.ini ] && [ -f /opt/tarvo/0011223344AA.DAT ] && [ ! -e /opt/tarvo/TarvoAgent ]"
dpkg -P tarvo-agent tarvo-console >/dev/null 2>&1
check "purge removes them" "[ ! -e /opt/tarvo ] && [ ! -e /etc/tarvo ] && [ ! -e /opt/tarvo-console ]"
STEPS
chmod +x "$work/steps.sh"
unshare -m --propagation private sh -c "
    set -e
    mount -t overlay overlay -o lowerdir=/,upperdir=$work/upper,workdir=$work/work $work/root
    mount --bind /proc $work/root/proc
    mount --bind /dev $work/root/dev
    mkdir -p $work/root/tmp/debs/first $work/root/tmp/debs/next
    cp build/packages/*.deb $work/root/tmp/debs/first/
    cp $work/next/tarvo-agent_*.deb $work/root/tmp/debs/next/
    cp $work/steps.sh $work/root/tmp/steps.sh
    chroot $work/root /tmp/steps.sh
"
