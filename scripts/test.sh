#!/bin/sh
# Builds and runs the whole test suite: clang's check of the lock annotations,
# the plain build, then the AddressSanitizer+UndefinedBehaviorSanitizer build
# and the ThreadSanitizer build. Installs what it needs first.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh

JOBS="${JOBS:-$(nproc)}"
run_suite() {
  name="$1"; shift
  dir="build/test-$name"
  echo "=== $name build ==="
  cmake -C cmake/LoopbackConstants.cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DVORN_WERROR=ON \
    "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
  echo "=== $name tests ==="
  # The window tests need a display; every test gets a private X server.
  (cd "$dir" && xvfb-run -a -s "-screen 0 1280x1024x24" \
      ctest --output-on-failure -j "$JOBS" --timeout 600)
}

# clang checks the lock annotations of every library.
check_thread_safety() {
  dir="build/test-thread-safety"
  echo "=== thread-safety check (clang) ==="
  CC=clang CXX=clang++ cmake -C cmake/LoopbackConstants.cmake -S . -B "$dir" \
    -DCMAKE_BUILD_TYPE=Debug -DVORN_WERROR=ON -DVORN_THREAD_SAFETY=ON -DVORN_BUILD_TESTS=OFF \
    >/dev/null
  cmake --build "$dir" -j "$JOBS" --target vorn_support vorn_platform_shared vorn_platform_posix \
    vorn_platform vorn_platform_dialogs \
    vorn_net vorn_telemetry vorn_update vorn_skin_core vorn_hostlink vorn_handover vorn_appconfig \
    vorn_app
}

# The operator's build exactly as the README writes it (Release, the live
# constants, no -Werror), in a folder of its own, so that it cannot break unseen.
build_as_operator() {
  echo "=== the README's operator build ==="
  mkdir -p build
  awk '/^### Build constants/ { found = 1 } found && /^```sh/ { inside = 1; next }
       inside && /^```/ { exit } inside' README.md |
    sed 's| -B build | -B build/operator |; s|--build build |--build build/operator |' \
    > build/operator-build.sh
  sh -e build/operator-build.sh
}

check_thread_safety
build_as_operator
run_suite plain
run_suite asan -DVORN_SANITIZE=asan
run_suite tsan -DVORN_SANITIZE=tsan
