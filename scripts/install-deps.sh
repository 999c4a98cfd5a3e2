#!/bin/sh
# Installs the Debian packages that building, testing and the demo need.
set -e
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
PACKAGES="build-essential cmake pkg-config git libgtk-3-dev libcurl4-openssl-dev \
  libgtest-dev libgmock-dev libbenchmark-dev nginx-light python3 xvfb xauth xdotool \
  x11-utils fonts-wqy-zenhei fonts-urw-base35 fontconfig libpng-dev curl time \
  libx11-dev imagemagick clang libsodium-dev minisign strace openssl libssl-dev heaptrack"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
fi
