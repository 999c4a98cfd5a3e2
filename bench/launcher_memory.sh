#!/bin/sh
# Peak resident memory of the launcher during a first install against that of
# a bare GTK window of the same size drawn once (bench/bare_window.cpp), both
# under Xvfb, alternating; prints the median of each and their ratio.
#
#   bench/launcher_memory.sh [build folder] [runs]
#
# Default: build/bench (configure it with -C cmake/LoopbackConstants.cmake
# -DCMAKE_BUILD_TYPE=Release -DVORN_BUILD_BENCH=ON and build vorn-launcher
# vorn-sample-package vorn-test-namespace bare_window), 5 runs each. Builds
# nothing itself.
#
# One launcher run is a first install with DEBUG=TRUE (no host platform): the
# sample package comes from nginx on the build's primary port, the installer
# runs, the launcher ends. Its figure is GNU time's %M, the launcher's own peak
# (the installer, a shell script, is far smaller). Each run gets a fresh
# sandbox: install volume, home and XDG folders. The whole benchmark runs in a
# network namespace of its own, so the fixed ports are free whatever else runs.
#
# LAUNCHER=path measures another launcher built in the same folder (it must
# carry that build's package key), for a before-and-after comparison.
# RATE=bytes/s throttles the download (default 0: no limit), so that the globe
# is drawn at every percentage. After the runs (runs may be 0), PROFILE says
# where the memory goes, from one more run:
#   PROFILE=smaps      the launcher's and the bare window's resident memory at
#                      their peaks, by kind and by mapping (bench/smaps_peak.py)
#   PROFILE=heaptrack  the launcher under heaptrack, live heap by call stack:
#                      ./launcher-memory.heaptrack.* (heaptrack_print --print-peaks 1)
set -eu

CALLER=$(pwd)
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build/bench}" && pwd)
RUNS=${2:-5}
LAUNCHER=${LAUNCHER:-$BUILD/app/vorn-launcher}
PEER=$BUILD/bench/bare_window
PACKAGE=$BUILD/tools/demo/vorn_ad2.exe
NAMESPACE=$BUILD/tests/support/vorn-test-namespace
for file in "$LAUNCHER" "$PEER" "$NAMESPACE" "$PACKAGE" "$PACKAGE.minisig"; do
    [ -e "$file" ] || { echo "missing $file (build it in $BUILD)" >&2; exit 2; }
done
LAUNCHER=$(cd "$(dirname "$LAUNCHER")" && pwd)/$(basename "$LAUNCHER")
[ -x /usr/bin/time ] || { echo "GNU time is missing (Debian package: time)" >&2; exit 2; }

# Into a loopback of our own first; the namespace runs this script again.
if [ -z "${VORN_BENCH_IN_NAMESPACE:-}" ]; then
    VORN_BENCH_IN_NAMESPACE=1 exec "$NAMESPACE" network /bin/sh "$0" "$BUILD" "$RUNS"
fi

cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$BUILD/CMakeCache.txt"; }
PRIMARY_URL=$(cache_value VORN_GAMEPACK_URL)
PORT=$(echo "$PRIMARY_URL" | sed -n 's|^http://localhost:\([0-9]*\)/.*|\1|p')
DOWNLOAD_PATH=$(echo "$PRIMARY_URL" | sed 's|^[a-z]*://[^/]*||')
[ -n "$PORT" ] || { echo "$BUILD is not a loopback build (cmake/LoopbackConstants.cmake)" >&2; exit 2; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/vorn-bench-XXXXXX")
PIDS=""
cleanup() {
    for pid in $PIDS; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -p "$WORK/www$DOWNLOAD_PATH" "$WORK/nginx"
ln -s "$PACKAGE" "$WORK/www$DOWNLOAD_PATH/vorn_ad2.exe"
ln -s "$PACKAGE.minisig" "$WORK/www$DOWNLOAD_PATH/vorn_ad2.exe.minisig"
sed -e "s|@PREFIX@|$WORK/nginx|g" -e "s|@PORT@|$PORT|g" -e "s|@STATUS_PORT@|$PORT|g" \
    -e "s|@ROOT@|$WORK/www|g" -e "s|@LIMIT_RATE@|${RATE:-0}|g" -e "s|@SSL@||g" -e "s|@TLS@||g" \
    "$ROOT/tools/test-servers/nginx.conf.in" > "$WORK/nginx/nginx.conf"
/usr/sbin/nginx -p "$WORK/nginx" -c "$WORK/nginx/nginx.conf" -e "$WORK/nginx/error.log" &
PIDS="$! $PIDS"

Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp > "$WORK/display" 2> "$WORK/xvfb.log" &
PIDS="$! $PIDS"
tries=0
until [ -s "$WORK/display" ] && curl -s -o /dev/null "http://127.0.0.1:$PORT/"; do
    tries=$((tries + 1))
    [ $tries -lt 100 ] || { echo "Xvfb or nginx did not start" >&2; cat "$WORK/xvfb.log" "$WORK/nginx/error.log" >&2; exit 1; }
    sleep 0.1
done
DISPLAY=":$(cat "$WORK/display")"

# sandbox FOLDER: a fresh world for one run (see tests/e2e/LauncherSandbox.h).
sandbox() {
    rm -rf "$1"
    mkdir -p "$1/launcher" "$1/volume" "$1/home" "$1/config" "$1/data" "$1/cache" "$1/tmp" "$1/bin"
    mkdir -m 700 "$1/runtime"
    ln "$LAUNCHER" "$1/launcher/vorn-launcher" 2>/dev/null || cp "$LAUNCHER" "$1/launcher/vorn-launcher"
    printf '#!/bin/sh\n' > "$1/bin/xdg-open" && chmod +x "$1/bin/xdg-open"
    printf '21 1 254:0 / / rw - ext4 /dev/vda rw\n88 21 254:16 / %s rw - ext4 /dev/vdb1 rw\n' \
        "$1/volume" > "$1/mountinfo"
}

# in_sandbox FOLDER COMMAND...: runs the command in the environment the
# launcher gets, from the sandbox's home.
in_sandbox() {
    folder=$1
    shift
    (cd "$folder/home" && env -i PATH="$folder/bin:/usr/bin:/bin" HOME="$folder/home" \
        XDG_CONFIG_HOME="$folder/config" XDG_DATA_HOME="$folder/data" \
        XDG_CACHE_HOME="$folder/cache" XDG_RUNTIME_DIR="$folder/runtime" TMPDIR="$folder/tmp" \
        LANG=C.UTF-8 NO_AT_BRIDGE=1 DISPLAY="$DISPLAY" VORN_MOUNTINFO="$folder/mountinfo" \
        VORN_MESSAGE_TIMEOUT_MS=200 "$@")
}

# run_launcher: one first install; appends the launcher's peak KiB to $WORK/launcher.kib.
run_launcher() {
    sandbox "$WORK/box"
    in_sandbox "$WORK/box" /usr/bin/time -f %M -o "$WORK/rss" \
        "$WORK/box/launcher/vorn-launcher" DEBUG=TRUE > "$WORK/launcher.out" 2>&1 ||
        { echo "the launcher failed:" >&2; cat "$WORK/launcher.out" >&2; exit 1; }
    [ -x "$WORK/box/volume/vorn/ADPackage/Ostrel.exe" ] ||
        { echo "the launcher did not install the game:" >&2; cat "$WORK/launcher.out" >&2; exit 1; }
    tail -n 1 "$WORK/rss" >> "$WORK/launcher.kib"
}

# run_peer: one bare window; appends its peak KiB to $WORK/peer.kib.
run_peer() {
    sandbox "$WORK/box"
    in_sandbox "$WORK/box" /usr/bin/time -f %M -o "$WORK/rss" "$PEER" > "$WORK/peer.out" 2>&1 ||
        { echo "the bare window failed:" >&2; cat "$WORK/peer.out" >&2; exit 1; }
    tail -n 1 "$WORK/rss" >> "$WORK/peer.kib"
}

: > "$WORK/launcher.kib"
: > "$WORK/peer.kib"
i=0
while [ $i -lt "$RUNS" ]; do
    run_launcher
    run_peer
    i=$((i + 1))
    echo "run $i of $RUNS done" >&2
done

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }
if [ "$RUNS" -gt 0 ]; then
    LAUNCHER_KIB=$(median "$WORK/launcher.kib")
    PEER_KIB=$(median "$WORK/peer.kib")
    echo "peak RSS, median of $RUNS (download limit ${RATE:-0} B/s):"
    echo "  launcher, first install: $LAUNCHER_KIB KiB ($(mib "$LAUNCHER_KIB"))  runs: $(tr '\n' ' ' < "$WORK/launcher.kib")"
    echo "  bare window:             $PEER_KIB KiB ($(mib "$PEER_KIB"))  runs: $(tr '\n' ' ' < "$WORK/peer.kib")"
    echo "  ratio launcher/window:   $(awk -v a="$LAUNCHER_KIB" -v b="$PEER_KIB" 'BEGIN { printf "%.3f", a / b }')"
fi

# sampled NAME COMMAND...: runs the command in a fresh sandbox and prints
# where its memory was at its peak (bench/smaps_peak.py).
sampled() {
    name=$1
    shift
    sandbox "$WORK/box"
    echo "== $name"
    in_sandbox "$WORK/box" python3 "$ROOT/bench/smaps_peak.py" "$@" 2> "$WORK/profile.out" ||
        cat "$WORK/profile.out" >&2
}

case "${PROFILE:-}" in
    "") ;;
    smaps)
        sampled "launcher, first install" "$WORK/box/launcher/vorn-launcher" DEBUG=TRUE
        sampled "bare window" "$PEER"
        ;;
    heaptrack)
        sandbox "$WORK/box"
        in_sandbox "$WORK/box" heaptrack -o "$CALLER/launcher-memory.heaptrack" \
            "$WORK/box/launcher/vorn-launcher" DEBUG=TRUE > "$WORK/profile.out" 2>&1 || true
        echo "heaptrack: $(ls "$CALLER"/launcher-memory.heaptrack*)"
        ;;
    *) echo "unknown PROFILE $PROFILE (smaps or heaptrack)" >&2; exit 2 ;;
esac
