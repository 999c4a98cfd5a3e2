#!/bin/sh
# Starts the player's own copy of the launcher folder. The launcher keeps its
# log beside itself and finds the host library in its parent folder, so it
# runs from a folder the player can write: the installed folder is copied to
# $XDG_DATA_HOME/Velmora/launcher when that copy is missing or older.
set -e
# The launcher runs a game only from folders that no other user may write,
# and its data folder is made here: a umask of 002 must not open it.
umask go-w
here="$(cd "$(dirname "$0")" && pwd)"
installed="$here/../lib/quorvane3d/launcher"
own="${XDG_DATA_HOME:-$HOME/.local/share}/Velmora/launcher"
if [ ! -x "$own/vorn-launcher" ] || [ "$installed/vorn-launcher" -nt "$own/vorn-launcher" ]; then
  mkdir -p "$own"
  cp -p "$installed/vorn-launcher" "$own/vorn-launcher"
fi
exec "$own/vorn-launcher" "$@"
