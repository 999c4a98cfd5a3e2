#!/bin/sh
# The launcher at work on this machine, against local servers:
#
#   sh scripts/demo.sh [FOLDER]          run it (FOLDER defaults to ./demo-run)
#   sh scripts/demo.sh --clean [FOLDER]  remove the folder
#
# Everything lives in FOLDER: the portable launcher folder with the stand-in
# host library beside it, a home of its own, a fake fixed volume that becomes
# the install folder, and the servers' files. Two nginx download servers
# (the primary refuses the disguised package name, the backup serves the
# package throttled, so the globe takes about 20 s to fill), the HTTP-DNS and
# statistics stand-ins all listen on loopback, on the ports the demo build was
# given (cmake/LoopbackConstants.cmake).
#
# The sample package is signed with a key pair made for the demo's build (in
# its build folder, never committed), and the launcher checks the signature
# before it runs the package; the summary says what the check found.
#
# The first run installs the sample game; the next runs start it. Without a
# display the demo starts its own X server and saves screenshots in
# FOLDER/screenshots. It leaves nothing running.
set -eu

caller_dir=$(pwd)
cd "$(dirname "$0")/.."
source_dir=$(pwd)

clean=false
if [ "${1:-}" = "--clean" ]; then
    clean=true
    shift
fi
folder=${1:-demo-run}
case $folder in
    /*) ;;
    *) folder="$caller_dir/$folder" ;;
esac
# Marks a folder this script made, so that --clean never removes anything else.
stamp_name=.vorn-demo

if $clean; then
    if [ ! -e "$folder" ]; then
        echo "Nothing to remove: $folder does not exist."
    elif [ -f "$folder/$stamp_name" ]; then
        rm -rf "$folder"
        echo "Removed $folder."
    else
        echo "$folder was not made by this demo; not removing it." >&2
        exit 1
    fi
    exit 0
fi

sh scripts/install-deps.sh

build_dir=${VORN_DEMO_BUILD_DIR:-build/demo}
jobs=${JOBS:-$(nproc)}
echo "== Building the launcher for loopback servers in $build_dir"
cmake -C cmake/LoopbackConstants.cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVORN_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" -j "$jobs" --target vorn-launcher vorn_host_standin vorn-sample-package

# True when something accepts connections on the loopback port $1.
port_open() {
    python3 -c 'import socket, sys; socket.create_connection(("127.0.0.1", int(sys.argv[1])), 1)' \
        "$1" 2>/dev/null
}
cache_value() {
    sed -n "s/^$1:[A-Z]*=//p" "$build_dir/CMakeCache.txt"
}
port_of() {
    echo "$1" | sed -n 's|^[a-z]*://[^/:]*:\([0-9]*\).*|\1|p'
}
primary_url=$(cache_value VORN_GAMEPACK_URL)
backup_url=$(cache_value VORN_GAMEPACK_URL_BAK)
primary_port=$(port_of "$primary_url")
backup_port=$(port_of "$backup_url")
stats_port=$(port_of "$(cache_value VORN_STATS_URL)")
httpdns_port=$(cache_value VORN_HTTPDNS_ENDPOINT | sed -n 's/.*:\([0-9]*\)$/\1/p')
download_path=$(echo "$primary_url" | sed 's|^[a-z]*://[^/]*||')
package="$build_dir/tools/demo/vorn_ad2.exe"

for port in "$primary_port" "$backup_port" "$stats_port" "$httpdns_port"; do
    if port_open "$port"; then
        echo "Port $port is already in use (another demo or a test run?); stop that first." >&2
        exit 1
    fi
done

# -- The folder --------------------------------------------------------------
echo "== Preparing $folder"
mkdir -p "$folder"
folder=$(cd "$folder" && pwd)
touch "$folder/$stamp_name"
for dir in home config data cache tmp bin volume launcher records logs screenshots \
    www"$download_path" servers/primary servers/backup; do
    mkdir -p "$folder/$dir"
done
mkdir -p -m 700 "$folder/runtime"
cp -f "$build_dir/app/vorn-launcher" "$folder/launcher/vorn-launcher"
cp -f "$build_dir/tools/host-standin/libHostProcMsgHelper.so" "$folder/libHostProcMsgHelper.so"
cp -f "$package" "$folder/www$download_path/vorn_ad2.exe"
# Signed at build time with the build tree's own key, which the launcher carries.
cp -f "$package.minisig" "$folder/www$download_path/vorn_ad2.exe.minisig"
# The host platform says "ready" after a moment.
printf 'log %s\nsleep 1500\nready\n' "$folder/records/host.log" >"$folder/host-script"
# The desktop's URL opener: the demo only notes which page the launcher opens.
cat >"$folder/bin/xdg-open" <<EOF
#!/bin/sh
echo "\$1" >>"$folder/records/opened-pages"
echo "[xdg-open] the launcher opens \$1"
EOF
chmod 755 "$folder/bin/xdg-open"
# The mount table the launcher reads: the root and one fixed volume.
cat >"$folder/mountinfo" <<EOF
21 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw
88 21 254:16 / $folder/volume rw,relatime shared:40 - ext4 /dev/vdb1 rw
EOF

# What the stand-ins record is about this run only.
rm -f "$folder/records/stats.jsonl" "$folder/records/httpdns" "$folder/records/opened-pages" \
    "$folder/records/host.log"
log_file="$folder/launcher/updatelog.log.log"
log_lines_before=$(cat "$log_file" 2>/dev/null | wc -l)

# -- Servers and cleanup -------------------------------------------------------
# Newest first, so that the launcher goes before the servers it talks to.
pids=""
game_record="$folder/records/game"
cleanup() {
    for pid in $pids; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    # A sample game the launcher started and that is still open.
    for pid in $(sed -n 's/^pid=//p' "$game_record" 2>/dev/null); do
        if grep -q Ostrel.exe "/proc/$pid/cmdline" 2>/dev/null; then kill "$pid" 2>/dev/null || true; fi
    done
}
trap cleanup EXIT
trap 'exit 130' INT TERM

wait_for_port() {
    tries=0
    until port_open "$1"; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ]; then
            echo "The server on port $1 did not start; see $folder/logs." >&2
            exit 1
        fi
        sleep 0.1
    done
}

package_bytes=$(wc -c <"$package")
# About 20 seconds for the whole package.
limit_rate=$((package_bytes / 20))
start_nginx() {
    name=$1 port=$2
    prefix="$folder/servers/$name"
    sed -e "s|@PREFIX@|$prefix|g" -e "s|@PORT@|$port|g" -e "s|@STATUS_PORT@|$port|g" \
        -e "s|@ROOT@|$folder/www|g" -e "s|@LIMIT_RATE@|$limit_rate|g" -e "s|@SSL@||g" \
        -e "s|@TLS@||g" tools/test-servers/nginx.conf.in >"$prefix/nginx.conf"
    : >"$prefix/access.log"
    /usr/sbin/nginx -p "$prefix" -c "$prefix/nginx.conf" -e "$prefix/error.log" \
        >"$folder/logs/nginx-$name.log" 2>&1 &
    pids="$! $pids"
}
start_nginx primary "$primary_port"
start_nginx backup "$backup_port"
export PYTHONDONTWRITEBYTECODE=1
python3 tools/test-servers/httpdns_standin.py --port "$httpdns_port" \
    --answer 127.0.0.1=127.0.0.1,60 --record "$folder/records/httpdns" \
    >"$folder/logs/httpdns.log" 2>&1 &
pids="$! $pids"
python3 tools/test-servers/stats_standin.py --port "$stats_port" \
    --record "$folder/records/stats.jsonl" >"$folder/logs/stats.log" 2>&1 &
pids="$! $pids"
for port in "$primary_port" "$backup_port" "$stats_port" "$httpdns_port"; do
    wait_for_port "$port"
done
echo "   download servers on ports $primary_port (primary) and $backup_port (backup)," \
    "limit $((limit_rate / 1024)) KB/s"
echo "   HTTP-DNS stand-in on $httpdns_port, statistics stand-in on $stats_port"

installed_game=$(find "$folder/volume" "$folder/data" -path '*/vorn/ADPackage/Ostrel.exe' 2>/dev/null | head -n 1)
if [ -n "$installed_game" ]; then shot_prefix=launch; else shot_prefix=install; fi

# -- A display -----------------------------------------------------------------
message_timeout=""
# The launcher gets a home of its own, so it is told where the display's key is.
xauthority=${XAUTHORITY:-}
if [ -z "$xauthority" ] && [ -f "$HOME/.Xauthority" ]; then xauthority="$HOME/.Xauthority"; fi
if [ -z "${DISPLAY:-}" ]; then
    rm -f "$folder/logs/xvfb-display"
    Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp >"$folder/logs/xvfb-display" \
        2>"$folder/logs/xvfb.log" &
    pids="$! $pids"
    tries=0
    until [ -s "$folder/logs/xvfb-display" ]; do
        tries=$((tries + 1))
        [ $tries -le 100 ] || { echo "Xvfb did not start; see $folder/logs/xvfb.log" >&2; exit 1; }
        sleep 0.1
    done
    DISPLAY=":$(cat "$folder/logs/xvfb-display")"
    export DISPLAY
    # Nobody is there to press OK.
    message_timeout=3000
    rm -f "$folder/screenshots/$shot_prefix"-*.png
    (
        trap 'kill $pause 2>/dev/null; exit 0' TERM
        shot=0
        while :; do
            shot=$((shot + 1))
            import -window root "$folder/screenshots/$(printf '%s-%03d' $shot_prefix $shot).png" 2>/dev/null || true
            sleep 2 &
            pause=$!
            wait $pause
        done
    ) &
    pids="$! $pids"
    echo "   no display: a private X server ($DISPLAY); screenshots every 2 s in $folder/screenshots"
fi

# -- The launcher --------------------------------------------------------------
if [ -n "$installed_game" ]; then
    echo "== The game is installed: the launcher starts it" \
        "('sh scripts/demo.sh --clean $folder' starts over)"
else
    echo "== First run: the launcher downloads the install package and runs it"
fi
: >"$game_record"
env -i \
    PATH="$folder/bin:/usr/local/bin:/usr/bin:/bin" \
    HOME="$folder/home" \
    XDG_CONFIG_HOME="$folder/config" \
    XDG_DATA_HOME="$folder/data" \
    XDG_CACHE_HOME="$folder/cache" \
    XDG_RUNTIME_DIR="$folder/runtime" \
    TMPDIR="$folder/tmp" \
    LANG=C.UTF-8 \
    NO_AT_BRIDGE=1 \
    DISPLAY="$DISPLAY" \
    XAUTHORITY="$xauthority" \
    VORN_MOUNTINFO="$folder/mountinfo" \
    VORN_HOST_SCRIPT="$folder/host-script" \
    ${message_timeout:+VORN_MESSAGE_TIMEOUT_MS=$message_timeout} \
    VORN_SAMPLE_INSTALL_SECONDS=3 \
    VORN_SAMPLE_GAME_RECORD="$game_record" \
    VORN_SAMPLE_GAME_SECONDS=8 \
    "$folder/launcher/vorn-launcher" PROCPARA=demo-session >"$folder/logs/launcher.out" &
launcher=$!
pids="$launcher $pids"
status=0
wait $launcher || status=$?
echo "== The launcher ended with exit code $status (its messages above, its output in" \
    "$folder/logs/launcher.out)"

# -- What happened ---------------------------------------------------------------
install_dir=$(sed -n 's/^"QuorvaneInstallDic"="\(.*\)"$/\1/p' \
    "$folder/config/SOFTWARE/Velmora/Quorvane3D.reg" 2>/dev/null)
echo "   install folder: ${install_dir:-?}"
# Prints file indented, or "(none)" when it is empty.
show() {
    if [ -s "$1" ]; then sed 's/^/     /' "$1"; else echo "     (none)"; fi
}
echo "   requests to the primary server:"
show "$folder/servers/primary/access.log"
echo "   requests to the backup server:"
show "$folder/servers/backup/access.log"
if [ -s "$folder/records/stats.jsonl" ]; then
    echo "   reports received by the statistics stand-in:"
    sed 's/^/     /' "$folder/records/stats.jsonl"
fi
if [ -s "$folder/records/opened-pages" ]; then
    echo "   pages the launcher opened:"
    sed 's/^/     /' "$folder/records/opened-pages"
fi
if [ "$(cat "$log_file" 2>/dev/null | wc -l)" -gt "$log_lines_before" ]; then
    echo "   new lines in the launcher's log, $log_file:"
    tail -n +$((log_lines_before + 1)) "$log_file" | sed 's/^/     /'
fi

signature_line=$(tail -n +$((log_lines_before + 1)) "$log_file" 2>/dev/null |
    grep 'DownLoadFile:signature' | tail -n 1)
case "$signature_line" in
    *verified*) echo "== The package's signature was checked: ${signature_line#*minisig: }" ;;
    ?*) echo "== The package's signature was refused: ${signature_line#*minisig: }" ;;
esac

if [ -n "$installed_game" ]; then
    tries=0
    until [ -s "$game_record" ]; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ]; then
            echo "The game did not start." >&2
            exit 1
        fi
        sleep 0.1
    done
    echo "== The sample game recorded its start:"
    sed 's/^/     /' "$game_record"
    game_pid=$(sed -n 's/^pid=//p' "$game_record" | head -n 1)
    while grep -q Ostrel.exe "/proc/$game_pid/cmdline" 2>/dev/null; do sleep 0.2; done
    echo "   the game has closed."
elif [ -n "$(find "$folder/volume" "$folder/data" -path '*/vorn/ADPackage/Ostrel.exe' 2>/dev/null)" ]; then
    echo "== The game is installed. Run the same command again to start it."
else
    echo "== The game was not installed (see the messages above)."
fi
if [ -n "$message_timeout" ]; then
    echo "   screenshots: $folder/screenshots/$shot_prefix-*.png" \
        "($(ls "$folder/screenshots" | grep -c "^$shot_prefix-") files)"
fi
