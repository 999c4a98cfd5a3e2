#!/bin/sh
# A configure step without VORN_PACKAGE_PUBKEY stops when a download server is
# off this machine, unless VORN_ALLOW_UNSIGNED=ON; loopback servers need no key.
#   package_key_guard_test.sh CMAKE SOURCE_DIR C_COMPILER CXX_COMPILER
# All cases share one build folder, so the compiler and library lookups run
# once; each case sets every input of the check, so none inherits another's.
set -u
cmake="$1" source="$2" cc="$3" cxx="$4"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
key=RWTyUeFE/Xkn32dT4a6c7f9bLc2GZT9S2AU+Yc/yv5mGyRskCHwXwllw
failures=0

# expect configures|stops NAME PRIMARY BACKUP KEY ALLOW_UNSIGNED
expect() {
  "$cmake" -S "$source" -B "$tmp/build" -DVORN_BUILD_TESTS=OFF \
    -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
    -DVORN_GAMEPACK_URL="$3" -DVORN_GAMEPACK_URL_BAK="$4" \
    -DVORN_PACKAGE_PUBKEY="$5" -DVORN_ALLOW_UNSIGNED="$6" >"$tmp/out" 2>&1
  status=$?
  # The message names the key, how to make one and the way round it.
  stopped_here=no
  if grep -q "No VORN_PACKAGE_PUBKEY" "$tmp/out" && grep -q "minisign -G" "$tmp/out" &&
     grep -q "VORN_ALLOW_UNSIGNED=ON" "$tmp/out"; then
    stopped_here=yes
  fi
  case "$1:$status:$stopped_here" in
    configures:0:no | stops:[1-9]*:yes) echo "ok: $2" ;;
    *)
      echo "FAILED: $2 (expected: $1, exit status $status)"
      cat "$tmp/out"
      failures=$((failures + 1)) ;;
  esac
}

expect stops "a server by name" \
  http://dl.example.com/download http://dl.example.net/download "" OFF
expect stops "the backup by address" \
  http://127.0.0.1:47180/download http://203.0.113.7:47181/download "" OFF
expect stops "a name that starts as a loopback address" \
  http://127.0.0.1.example.com/download http://localhost/download "" OFF
expect stops "a user name of localhost" \
  http://localhost/download http://localhost@dl.example.com/download "" OFF
expect configures "unsigned, knowingly" \
  http://dl.example.com/download http://dl.example.net/download "" ON
# The way round is not silent.
grep -q "runs install packages unchecked" "$tmp/out" || {
  echo "FAILED: no warning for an unsigned build"
  failures=$((failures + 1))
}
expect configures "loopback by address" \
  http://127.0.0.1:47180/download http://127.255.0.9/download "" OFF
expect configures "loopback by name" \
  http://localhost:47180/download http://LOCALHOST:47181/download "" OFF
expect configures "with a key" \
  http://dl.example.com/download http://dl.example.net/download "$key" OFF

[ "$failures" -eq 0 ]
