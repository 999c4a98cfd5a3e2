#!/bin/sh
# Launch mode (the game installed) timed online and with no name service at
# all, alternating, and the median wall time of each. The launcher must start
# the game in both; offline it needs no lookup.
#
#   bench/launch_offline.sh [loopback build folder] [runs]
#
# Default: build/bench-loopback (configure it with -C cmake/LoopbackConstants.cmake
# -DCMAKE_BUILD_TYPE=Release and build vorn-launcher vorn-sample-game
# vorn-test-namespace), 9 runs each. Runs without a display.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build/bench-loopback}
RUNS=${2:-9}
LAUNCHER=$BUILD/app/vorn-launcher
GAME=$BUILD/tools/demo/vorn-sample-game
NAMESPACE=$BUILD/tests/support/vorn-test-namespace
for program in "$LAUNCHER" "$GAME" "$NAMESPACE"; do
    [ -x "$program" ] || { echo "missing $program (build it in $BUILD)" >&2; exit 2; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/vorn-bench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT INT TERM
mkdir -p "$WORK/launcher" "$WORK/volume/vorn/ADPackage" "$WORK/home" "$WORK/config" \
    "$WORK/data" "$WORK/runtime" "$WORK/resolver" "$WORK/bin"
chmod 700 "$WORK/runtime"
cp "$LAUNCHER" "$WORK/launcher/vorn-launcher"
cp "$GAME" "$WORK/volume/vorn/ADPackage/Ostrel.exe"
printf '#!/bin/sh\n' > "$WORK/bin/xdg-open" && chmod +x "$WORK/bin/xdg-open"
printf '21 1 254:0 / / rw - ext4 /dev/vda rw\n88 21 254:16 / %s rw - ext4 /dev/vdb1 rw\n' \
    "$WORK/volume" > "$WORK/mountinfo"

# One launch; prints its wall time in milliseconds and fails when the game did
# not start.
launch() {
    rm -f "$WORK/game-record"
    start=$(date +%s%N)
    env -i PATH="$WORK/bin:/usr/bin:/bin" HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" \
        XDG_DATA_HOME="$WORK/data" XDG_RUNTIME_DIR="$WORK/runtime" \
        VORN_MOUNTINFO="$WORK/mountinfo" VORN_SAMPLE_GAME_RECORD="$WORK/game-record" \
        VORN_SAMPLE_GAME_SECONDS=0 "$@" "$WORK/launcher/vorn-launcher" DEBUG=TRUE \
        >/dev/null 2>&1
    end=$(date +%s%N)
    tries=0
    until [ -s "$WORK/game-record" ]; do
        tries=$((tries + 1))
        [ $tries -lt 200 ] || { echo "the game did not start ($*)" >&2; exit 1; }
        sleep 0.01
    done
    echo $(((end - start) / 1000000))
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

: > "$WORK/online.ms"
: > "$WORK/offline.ms"
launch >/dev/null  # warm-up
i=0
while [ $i -lt "$RUNS" ]; do
    launch >> "$WORK/online.ms"
    launch "$NAMESPACE" resolver "$WORK/resolver" >> "$WORK/offline.ms"
    i=$((i + 1))
done
online=$(median < "$WORK/online.ms")
offline=$(median < "$WORK/offline.ms")
echo "launch mode, median of $RUNS: online ${online} ms, offline ${offline} ms"
