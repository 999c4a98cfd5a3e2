#!/bin/sh
# Downloads a file (1 GiB by default) from nginx on loopback with vorn-fetch and with curl,
# and copies the same file with dd (the floor: no network at all), taking
# turns, and prints the median wall time of each, the ratios vorn-fetch / curl
# and vorn-fetch / dd, and the peak resident memory of each.
#
#   bench/fetch_vs_curl.sh [path/to/vorn-fetch] [runs]
#   TLS=1 bench/fetch_vs_curl.sh ...
#   SIGNED=1 bench/fetch_vs_curl.sh ...
#   WORK=/some/tmpfs bench/fetch_vs_curl.sh ...
#   SIZE_MIB=64 bench/fetch_vs_curl.sh ...   (the file's size; 1024 by default)
#
# The served file and every download live in a folder below WORK (default
# /dev/shm, a tmpfs), so that the disk's speed does not decide the figures.
#
# With TLS=1 nginx serves HTTPS with a certificate made for the run (EC P-256,
# issued by a CA of the run's own) and accepts one cipher suite only, TLS 1.3
# TLS_AES_128_GCM_SHA256, so both clients use it: "vorn-fetch URL --cacert CA"
# against "curl --cacert CA" with the same suite. With SIGNED=1 the file is
# signed with a fresh minisign key and each side also checks it:
# "vorn-fetch URL --pubkey KEY" against "curl (file and .minisig) && minisign
# -V". Should vorn-fetch fail, the script says so, goes on timing curl and dd
# and ends with status 1.
#
# Default: build-net/tools/vorn-fetch, 5 runs each. Needs nginx, curl, python3,
# GNU time (/usr/bin/time), dd and, with TLS, openssl; signed, minisign.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
FETCH=${1:-$ROOT/build-net/tools/vorn-fetch}
RUNS=${2:-5}
SIZE_MIB=${SIZE_MIB:-1024}
TLS=${TLS:-0}
SIGNED=${SIGNED:-0}
SUITE=TLS_AES_128_GCM_SHA256

[ -x "$FETCH" ] || { echo "no vorn-fetch at $FETCH (build the vorn-fetch target)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "GNU time is missing (Debian package: time)" >&2; exit 2; }

DIR=$(mktemp -d "${WORK:-/dev/shm}/vorn-bench-XXXXXX")
[ "$(stat -f -c %T "$DIR")" = tmpfs ] ||
    echo "warning: $DIR is not on a tmpfs; the disk takes part in every figure" >&2
NGINX_PID=""
cleanup() {
    [ -n "$NGINX_PID" ] && kill "$NGINX_PID" 2>/dev/null && wait "$NGINX_PID" 2>/dev/null
    rm -rf "$DIR"
}
trap cleanup EXIT INT TERM

mkdir -p "$DIR/root" "$DIR/nginx"
echo "creating a ${SIZE_MIB} MiB file in $DIR..." >&2
head -c $((SIZE_MIB * 1024 * 1024)) /dev/urandom > "$DIR/root/package.bin"
SIZE=$(stat -c %s "$DIR/root/package.bin")
if [ "$SIGNED" = 1 ]; then
    echo "signing it..." >&2
    minisign -G -W -p "$DIR/minisign.pub" -s "$DIR/minisign.key" > /dev/null
    minisign -S -s "$DIR/minisign.key" -m "$DIR/root/package.bin" > /dev/null
    KEY=$(sed -n 2p "$DIR/minisign.pub")
fi

# Two different loopback ports, free at this moment: downloads and, when they
# speak TLS, the status page, which is always plain HTTP.
set -- $(python3 -c 'import socket
held = [socket.socket() for _ in range(2)]
for s in held: s.bind(("127.0.0.1", 0))
print(" ".join(str(s.getsockname()[1]) for s in held))')
PORT=$1 STATUS_PORT=$1

SSL="" TLS_DIRECTIVES="" CURL_TLS="" FETCH_TLS="" SCHEME=http
if [ "$TLS" = 1 ]; then
    echo "making the certificates..." >&2
    cat > "$DIR/openssl.cnf" <<EOF
[req]
distinguished_name = name
[name]
[ca]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign
[server]
basicConstraints = critical, CA:FALSE
subjectAltName = DNS:localhost, IP:127.0.0.1
EOF
    make_certificate() {  # name extensions [openssl req options...]
        name=$1 extensions=$2
        shift 2
        openssl req -x509 -config "$DIR/openssl.cnf" -extensions "$extensions" -noenc \
            -newkey ec -pkeyopt ec_paramgen_curve:P-256 -keyout "$DIR/$name.key" \
            -out "$DIR/$name.crt" -subj "/CN=$name" -days 1 "$@" 2>/dev/null
    }
    make_certificate bench-ca ca
    make_certificate localhost server -CA "$DIR/bench-ca.crt" -CAkey "$DIR/bench-ca.key"
    SSL=ssl
    TLS_DIRECTIVES="ssl_certificate $DIR/localhost.crt; ssl_certificate_key $DIR/localhost.key;"
    TLS_DIRECTIVES="$TLS_DIRECTIVES ssl_protocols TLSv1.3; ssl_conf_command Ciphersuites $SUITE;"
    CURL_TLS="--cacert $DIR/bench-ca.crt --tlsv1.3 --tls13-ciphers $SUITE"
    FETCH_TLS="--cacert $DIR/bench-ca.crt"
    SCHEME=https
    STATUS_PORT=$2
fi

sed -e "s|@PREFIX@|$DIR/nginx|g" -e "s|@PORT@|$PORT|g" -e "s|@STATUS_PORT@|$STATUS_PORT|g" \
    -e "s|@ROOT@|$DIR/root|g" -e "s|@LIMIT_RATE@|0|g" -e "s|@SSL@|$SSL|g" \
    -e "s|@TLS@|$TLS_DIRECTIVES|g" "$ROOT/tools/test-servers/nginx.conf.in" > "$DIR/nginx/nginx.conf"
/usr/sbin/nginx -p "$DIR/nginx" -c "$DIR/nginx/nginx.conf" -e "$DIR/nginx/error.log" &
NGINX_PID=$!
tries=0
until [ "$(curl -s -H 'Host: vorn-status' "http://127.0.0.1:$STATUS_PORT/.well-known/vorn-server")" = "$DIR/nginx" ]; do
    tries=$((tries + 1))
    [ $tries -lt 100 ] || { echo "nginx did not start" >&2; cat "$DIR/nginx/error.log" >&2; exit 1; }
    sleep 0.1
done
URL="$SCHEME://127.0.0.1:$PORT/package.bin"

if [ "$TLS" = 1 ]; then
    # The pin holds: a client that offers only another suite gets nothing.
    if curl -s -o /dev/null --cacert "$DIR/bench-ca.crt" --tls13-ciphers TLS_AES_256_GCM_SHA384 \
        "$URL"; then
        echo "nginx accepted a suite other than $SUITE" >&2
        exit 1
    fi
    SUITE_SEEN=$(curl -sv $CURL_TLS -r 0-0 -o /dev/null "$URL" 2>&1 | sed -n 's/.*SSL connection using //p')
fi

# run NAME COMMAND...: one timed run that leaves the file in $DIR/out; appends
# "milliseconds peak_kib" to $DIR/NAME. Returns 1, saying why, when the
# command fails, leaves another size or, on its first run, other content.
run() {
    name=$1
    shift
    rm -f "$DIR/out"
    sync
    start=$(date +%s%N)
    status=0
    /usr/bin/time -f "%M" -o "$DIR/rss" "$@" > "$DIR/said" 2>&1 || status=$?
    end=$(date +%s%N)
    if [ "$status" -ne 0 ]; then
        echo "$name FAILED with exit status $status; it said:" >&2
        sed 's/^/    /' "$DIR/said" >&2
        return 1
    fi
    got=$(stat -c %s "$DIR/out" 2>/dev/null || echo 0)
    if [ "$got" -ne "$SIZE" ]; then
        echo "$name FAILED: it wrote $got of $SIZE bytes" >&2
        return 1
    fi
    if [ ! -e "$DIR/$name" ] && ! cmp -s "$DIR/out" "$DIR/root/package.bin"; then
        echo "$name FAILED: what it wrote differs from the served file" >&2
        return 1
    fi
    echo "$(((end - start) / 1000000)) $(tail -n 1 "$DIR/rss")" >> "$DIR/$name"
}

VORN_OK=1
i=0
while [ $i -lt "$RUNS" ]; do
    if [ "$SIGNED" = 1 ]; then
        [ $VORN_OK = 0 ] || run vorn-fetch "$FETCH" "$URL" --pubkey "$KEY" $FETCH_TLS \
            --out "$DIR/out" || VORN_OK=0
        run curl sh -ec "curl -s $CURL_TLS -o '$DIR/out' '$URL' -o '$DIR/out.minisig' '$URL.minisig' &&
            minisign -Vq -p '$DIR/minisign.pub' -m '$DIR/out'"
    else
        [ $VORN_OK = 0 ] || run vorn-fetch "$FETCH" "$URL" $FETCH_TLS --out "$DIR/out" || VORN_OK=0
        run curl curl -s $CURL_TLS -o "$DIR/out" "$URL"
    fi
    run dd dd if="$DIR/root/package.bin" of="$DIR/out" bs=64K status=none
    i=$((i + 1))
    echo "run $i of $RUNS done" >&2
done

median_ms() { cut -d' ' -f1 "$DIR/$1" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
peak_kib() { cut -d' ' -f2 "$DIR/$1" | sort -n | tail -n 1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
report() {  # NAME LABEL
    printf '%-18s %s ms  (runs: %s)\n' "$2 median:" "$(median_ms "$1")" \
        "$(cut -d' ' -f1 "$DIR/$1" | tr '\n' ' ')"
}

echo "file:              $SIZE bytes over $SCHEME, $RUNS runs each$([ "$SIGNED" = 1 ] &&
    echo ", signed and checked"), in $DIR"
[ "$TLS" = 0 ] || echo "TLS:               $SUITE_SEEN (as curl reports it)"
if [ $VORN_OK = 1 ]; then
    report vorn-fetch vorn-fetch
else
    echo "vorn-fetch:        FAILED (see above)"
fi
report curl curl
report dd "dd (floor)"
if [ $VORN_OK = 1 ]; then
    echo "ratio vorn/curl:   $(ratio "$(median_ms vorn-fetch)" "$(median_ms curl)")"
    echo "ratio vorn/dd:     $(ratio "$(median_ms vorn-fetch)" "$(median_ms dd)")"
    echo "peak RSS:          vorn-fetch $(peak_kib vorn-fetch) KiB, curl $(peak_kib curl) KiB," \
        "dd $(peak_kib dd) KiB"
else
    echo "ratio curl/dd:     $(ratio "$(median_ms curl)" "$(median_ms dd)")"
    echo "peak RSS:          curl $(peak_kib curl) KiB, dd $(peak_kib dd) KiB"
    exit 1
fi
