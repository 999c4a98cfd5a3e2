#!/bin/sh
# Builds the sample install package: a "#!/bin/sh" installer that carries the
# sample game as base64 text after its last line of code and installs it as
# vorn/ADPackage/Ostrel.exe in the folder the package lies in. Incompressible
# padding after the payload gives it the size of a real package, so that a
# throttled download takes a while.
#   make-sample-package.sh GAME OUTPUT PADDING_BYTES
set -eu
game=$1
output=$2
padding=$3
partial="$output.part"
{
    cat <<'INSTALLER'
#!/bin/sh
# Quorvane 3D sample install package: installs the sample game as
# vorn/ADPackage/Ostrel.exe in the folder this package lies in.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
target="$here/vorn/ADPackage"
echo "Installing the Quorvane 3D sample game into $target"
mkdir -p "$target"
awk '/^__VORN_GAME_BEGIN__$/ { found = 1; next } /^__VORN_GAME_END__$/ { exit } found' "$0" |
    base64 -d >"$target/Ostrel.exe.part"
chmod 755 "$target/Ostrel.exe.part"
mv -f "$target/Ostrel.exe.part" "$target/Ostrel.exe"
# A real installer takes a while; the demo shows that with a pause.
sleep "${VORN_SAMPLE_INSTALL_SECONDS:-0}"
# Tests hold the installer until they have seen what happens while it runs:
# it ends once this file exists, or after two minutes.
if [ -n "${VORN_SAMPLE_INSTALL_WAIT_FOR:-}" ]; then
    polls=0
    while [ ! -e "$VORN_SAMPLE_INSTALL_WAIT_FOR" ] && [ "$polls" -lt 6000 ]; do
        sleep 0.02
        polls=$((polls + 1))
    done
fi
echo "Installed."
exit 0
__VORN_GAME_BEGIN__
INSTALLER
    base64 "$game"
    echo "__VORN_GAME_END__"
    head -c "$padding" /dev/urandom
} >"$partial"
mv -f "$partial" "$output"
