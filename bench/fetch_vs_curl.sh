#!/bin/sh
# Downloads a 1 GiB file from nginx on loopback to disk with vorn-fetch and with
# curl, alternating, and prints the median wall time of each, their ratio
# (vorn-fetch / curl) and the peak resident memory of each.
#
#   bench/fetch_vs_curl.sh [path/to/vorn-fetch] [runs]
#   SIGNED=1 bench/fetch_vs_curl.sh ...
#
# With SIGNED=1 the file is signed with a fresh minisign key and each side also
# checks it: "vorn-fetch URL --pubkey KEY" against "curl (file and .minisig)
# && minisign -V". Default: build-net/tools/vorn-fetch, 5 runs each. Needs
# nginx, curl, python3, GNU time (/usr/bin/time) and, signed, minisign.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
FETCH=${1:-$ROOT/build-net/tools/vorn-fetch}
RUNS=${2:-5}
SIZE_MIB=1024

[ -x "$FETCH" ] || { echo "no vorn-fetch at $FETCH (build the vorn-fetch target)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "GNU time is missing (Debian package: time)" >&2; exit 2; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/vorn-bench-XXXXXX")
NGINX_PID=""
cleanup() {
    [ -n "$NGINX_PID" ] && kill "$NGINX_PID" 2>/dev/null && wait "$NGINX_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

mkdir -p "$WORK/root" "$WORK/nginx"
echo "creating a ${SIZE_MIB} MiB file..." >&2
head -c $((SIZE_MIB * 1024 * 1024)) /dev/urandom > "$WORK/root/package.bin"
SIZE=$(stat -c %s "$WORK/root/package.bin")
if [ "${SIGNED:-0}" = 1 ]; then
    echo "signing it..." >&2
    minisign -G -W -p "$WORK/minisign.pub" -s "$WORK/minisign.key" > /dev/null
    minisign -S -s "$WORK/minisign.key" -m "$WORK/root/package.bin" > /dev/null
    KEY=$(sed -n 2p "$WORK/minisign.pub")
fi

PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
sed -e "s|@PREFIX@|$WORK/nginx|g" -e "s|@PORT@|$PORT|g" -e "s|@ROOT@|$WORK/root|g" \
    -e "s|@LIMIT_RATE@|0|g" "$ROOT/tools/test-servers/nginx.conf.in" > "$WORK/nginx/nginx.conf"
/usr/sbin/nginx -p "$WORK/nginx" -c "$WORK/nginx/nginx.conf" -e "$WORK/nginx/error.log" &
NGINX_PID=$!
tries=0
until curl -s -o /dev/null "http://127.0.0.1:$PORT/"; do
    tries=$((tries + 1))
    [ $tries -lt 100 ] || { echo "nginx did not start" >&2; cat "$WORK/nginx/error.log" >&2; exit 1; }
    sleep 0.1
done
URL="http://127.0.0.1:$PORT/package.bin"

# run NAME COMMAND...: one timed download into $WORK/out; appends
# "seconds peak_kib" to $WORK/NAME.
run() {
    name=$1
    shift
    rm -f "$WORK/out"
    sync
    start=$(date +%s%N)
    /usr/bin/time -f "%M" -o "$WORK/rss" "$@" > /dev/null
    end=$(date +%s%N)
    got=$(stat -c %s "$WORK/out")
    [ "$got" -eq "$SIZE" ] || { echo "$name wrote $got of $SIZE bytes" >&2; exit 1; }
    echo "$(( (end - start) / 1000000 )) $(tail -n 1 "$WORK/rss")" >> "$WORK/$name"
}

i=0
while [ $i -lt "$RUNS" ]; do
    if [ "${SIGNED:-0}" = 1 ]; then
        run vorn "$FETCH" "$URL" --pubkey "$KEY" --out "$WORK/out"
        run curl sh -ec "curl -s -o '$WORK/out' '$URL' -o '$WORK/out.minisig' '$URL.minisig' &&
            minisign -Vq -p '$WORK/minisign.pub' -m '$WORK/out'"
    else
        run vorn "$FETCH" "$URL" --out "$WORK/out"
        run curl curl -s -o "$WORK/out" "$URL"
    fi
    [ $i -eq 0 ] && { cmp -s "$WORK/out" "$WORK/root/package.bin" || { echo "content differs" >&2; exit 1; }; }
    i=$((i + 1))
    echo "run $i of $RUNS done" >&2
done

median_ms() { cut -d' ' -f1 "$1" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
peak_kib() { cut -d' ' -f2 "$1" | sort -n | tail -n 1; }

VORN_MS=$(median_ms "$WORK/vorn")
CURL_MS=$(median_ms "$WORK/curl")
echo "file:              $SIZE bytes, $RUNS runs each$([ "${SIGNED:-0}" = 1 ] && echo ", signed and checked")"
echo "vorn-fetch median: ${VORN_MS} ms  (runs: $(cut -d' ' -f1 "$WORK/vorn" | tr '\n' ' '))"
echo "curl median:       ${CURL_MS} ms  (runs: $(cut -d' ' -f1 "$WORK/curl" | tr '\n' ' '))"
echo "ratio vorn/curl:   $(awk -v a="$VORN_MS" -v b="$CURL_MS" 'BEGIN { printf "%.3f", a / b }')"
echo "peak RSS:          vorn-fetch $(peak_kib "$WORK/vorn") KiB, curl $(peak_kib "$WORK/curl") KiB"
