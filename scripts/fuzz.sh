#!/bin/sh
# Builds the fuzz configuration (clang, libraries with coverage counters, ASan
# and UBSan) in build/fuzz and runs every fuzz program for the given minutes
# (default 10), one after another, or only the one named second. What a run finds that adds coverage is
# merged into the target's committed corpus; a crash or a broken property is
# left in build/fuzz/findings/<target>/ and makes the script fail at the end.
# The corpus replay runs in every ctest build; this script is not part of CI.
set -e
cd "$(dirname "$0")/.."
MINUTES="${1:-10}"
ONLY="${2:-}"
# libFuzzer takes a time limit of 0 as none.
case "$MINUTES" in
  '' | *[!0-9]* | 0 | 0*) echo "usage: $0 [minutes per target, at least 1] [target]" >&2; exit 2 ;;
esac
sh scripts/install-deps.sh
# clang and libFuzzer only for this script: the test suite builds with GCC.
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if ! command -v clang++ >/dev/null || ! dpkg-query -W -f='${Status}' libclang-rt-14-dev 2>/dev/null |
    grep -q "install ok installed"; then
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends clang libclang-rt-14-dev
fi

BUILD=build/fuzz
CC=clang CXX=clang++ cmake -C cmake/LoopbackConstants.cmake -S . -B "$BUILD" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORN_SANITIZE=fuzz >/dev/null
cmake --build "$BUILD" --target fuzz_programs -j "${JOBS:-2}"

# "cov: N" and the counters count ("N M") of a pass over the corpus without
# fuzzing.
coverage_of() {
  "$1" -runs=0 "$2" </dev/null 2>&1 | awk '
    /inline 8-bit counters/ { split($0, after, "("); split(after[2], words, " "); counters += words[1] }
    /INITED/ { for (i = 1; i <= NF; i++) if ($i == "cov:") cov = $(i + 1) }
    END { printf "%s %s", cov, counters }'
}
count_inputs() {
  find "$1" -type f | wc -l
}

summary=""
failed=0
TAB=$(printf '\t')
while IFS="$TAB" read -r name program corpus; do
  [ -z "$ONLY" ] || [ "$name" = "$ONLY" ] || continue
  findings="$BUILD/findings/$name"
  rm -rf "$findings" && mkdir -p "$findings/new"
  coverage=$(coverage_of "$program" "$corpus")
  start_cov=${coverage%% *} counters=${coverage##* }
  echo "=== $name: $MINUTES min from $(count_inputs "$corpus") inputs, cov $start_cov of $counters counters"
  result=ok
  # New inputs go to a folder of their own; the corpus is only read.
  if ! "$program" -max_total_time=$((MINUTES * 60)) -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$findings/" "$findings/new" "$corpus" </dev/null >"$findings/log.txt" 2>&1; then
    result="FAILED, see $findings"
    failed=1
    tail -n 30 "$findings/log.txt"
  fi
  "$program" -merge=1 "$corpus" "$findings/new" </dev/null >"$findings/merge.txt" 2>&1
  coverage=$(coverage_of "$program" "$corpus")
  summary="$summary$name: cov $start_cov -> ${coverage%% *} ($counters counters), $(count_inputs "$corpus") inputs, $result
"
done <"$BUILD/fuzz-targets.txt"

echo "=== summary ($MINUTES min a target)"
printf '%s' "$summary"
exit "$failed"
