#!/bin/sh
# Builds the launcher and starts it on its own (standalone mode).
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build/demo -DCMAKE_BUILD_TYPE=Release -DVORN_BUILD_TESTS=OFF >/dev/null
cmake --build build/demo -j "$(nproc)" --target vorn-launcher
exec build/demo/app/vorn-launcher DEBUG=TRUE
