#!/usr/bin/env bash
# Installs the benchmark's tools from Debian, only what is missing: nginx (the origin), ab,
# wrk and curl (the clients), tinyproxy, Privoxy, Squid and mitmproxy (the peers; Squid as
# squid-openssl for its ssl-bump, which replaces Debian's squid and still is /usr/sbin/squid
# for the tests), and for the window's clicks Xvfb, openbox, xdotool and the accessibility
# bus with Python's D-Bus. The packages' own
# services are kept from starting while they are installed; any that start anyway are
# stopped again, so only the copies the benchmark starts from its own configuration run.
set -euo pipefail

packages=(nginx apache2-utils wrk curl tinyproxy privoxy squid-openssl mitmproxy xvfb xauth
          openbox xdotool dbus at-spi2-core python3-dbus python3-gi)
services=(nginx tinyproxy privoxy squid)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "bench: missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
fi

# Which of the services run already, so that only those the installation starts are stopped.
declare -A running_before
for s in "${services[@]}"; do
    running_before[$s]=$(pgrep -x "$s" | tr '\n' ' ' || true)
done

# A policy-rc.d that answers 101 keeps invoke-rc.d from starting the services. One that is
# already there is left as it is; ours is removed again however the script ends.
policy=/usr/sbin/policy-rc.d
own_policy=0
if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' >"$policy"
    chmod 755 "$policy"
    own_policy=1
fi
remove_policy() { [ "$own_policy" -eq 1 ] && rm -f "$policy"; true; }
trap remove_policy EXIT

export DEBIAN_FRONTEND=noninteractive
echo "bench: installing ${missing[*]}" >&2
apt_opts=(-q -o DPkg::Lock::Timeout=300)
if ! apt-get install -y "${apt_opts[@]}" --no-install-recommends "${missing[@]}" >/dev/null; then
    apt-get update "${apt_opts[@]}" >/dev/null
    apt-get install -y "${apt_opts[@]}" --no-install-recommends "${missing[@]}" >/dev/null
fi

# The packages' services must not answer on the machine's ports while the benchmark runs.
for s in "${services[@]}"; do
    now=$(pgrep -x "$s" | tr '\n' ' ' || true)
    if [ -n "$now" ] && [ "$now" != "${running_before[$s]}" ] && [ -z "${running_before[$s]}" ]; then
        echo "bench: stopping the $s service the installation started" >&2
        if [ -d /run/systemd/system ]; then
            systemctl stop "$s" || true
        else
            service "$s" stop || true
        fi
    fi
done
