#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; only what is missing.
set -euo pipefail

packages=(cmake ninja-build g++ clang clang-format libclang-rt-14-dev make pkg-config libgtest-dev
          libgmock-dev curl libminiupnpc-dev iproute2 python3 squid tinyproxy lighttpd
          # the HTTPS origin of the tunnel tests, their certificates, the browser's trust
          nginx openssl libssl-dev libnss3-tools
          # the window, and the CJK font its Japanese texts need
          qt6-base-dev fonts-noto-cjk xvfb xauth
          # a window manager for the window's place and size over restarts
          openbox
          # the Debian package and its checks (dpkg-shlibdeps is in dpkg-dev)
          dpkg-dev desktop-file-utils lintian
          # the real-browser tests: Firefox, and Chromium following the desktop's settings
          chromium firefox-esr dbus gsettings-desktop-schemas dconf-gsettings-backend
          libglib2.0-bin
          # the upstream proxies of other kinds: SOCKS servers, ssh -D, and Squid's login helper
          dante-server microsocks openssh-server openssh-client)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

missing=()
for p in "${packages[@]}"; do
    # The benchmark's squid-openssl (for its TLS inspection) replaces squid and serves the
    # tests as well: installing squid again would remove it.
    if ! installed "$p" && ! { [ "$p" = squid ] && installed squid-openssl; }; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
