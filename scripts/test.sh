#!/bin/sh
# Builds and runs the whole test suite: the plain build, then the
# AddressSanitizer+UndefinedBehaviorSanitizer build and the ThreadSanitizer
# build. Installs what it needs first.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh

JOBS="${JOBS:-$(nproc)}"
run_suite() {
  name="$1"; shift
  dir="build/test-$name"
  echo "=== $name build ==="
  cmake -C cmake/LoopbackConstants.cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
  echo "=== $name tests ==="
  # The window tests need a display; every test gets a private X server.
  (cd "$dir" && xvfb-run -a -s "-screen 0 1280x1024x24" \
      ctest --output-on-failure -j "$JOBS" --timeout 600)
}

run_suite plain
run_suite asan -DVORN_SANITIZE=asan
run_suite tsan -DVORN_SANITIZE=tsan
