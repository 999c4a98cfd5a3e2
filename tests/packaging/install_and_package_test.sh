#!/bin/sh
# Installs the launcher into a temporary prefix and builds its Debian
# package; both must lay out the launcher folder, the starter, the desktop
# entry and the icon, and the starter must run the player's copy.
set -eu
build="$1"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

check_layout() {
  root="$1"
  test -x "$root/lib/quorvane3d/launcher/vorn-launcher"
  test -x "$root/bin/quorvane3d-launcher"
  grep -qx 'Exec=quorvane3d-launcher' "$root/share/applications/quorvane3d-launcher.desktop"
  test -s "$root/share/icons/hicolor/128x128/apps/quorvane3d-launcher.png"
  # "/regserver" makes the launcher end at once: it proves the copy runs.
  # The folders it makes stay closed to others under a umask that opens them.
  (umask 002 && env -i PATH="$PATH" HOME="$tmp/home" XDG_DATA_HOME="$tmp/data-$2" \
    "$root/bin/quorvane3d-launcher" /regserver)
  test -x "$tmp/data-$2/Velmora/launcher/vorn-launcher"
  test ! -e "$tmp/data-$2/Velmora/launcher/updatelog.log.log"
  test -z "$(find "$tmp/data-$2/Velmora" -perm /022)"
}

cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
check_layout "$tmp/prefix" install

(cd "$build" && cpack -B "$tmp/package" >/dev/null)
deb="$(ls "$tmp"/package/*.deb)"
dpkg-deb -f "$deb" Package | grep -qx quorvane3d-launcher
dpkg-deb -x "$deb" "$tmp/root"
check_layout "$tmp/root/usr" package
echo "packaging: install and Debian package laid out and started"
