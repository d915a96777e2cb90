#!/usr/bin/env bash
# Set-up, build, then run every test (unit, window and end-to-end) through CTest.
#
#   ./scripts/test.sh [ctest options]          the suite, JOBS (default 2) at a time
#   ./scripts/test.sh --busy [ctest options]   the suite under `ctest -j2` on a busy machine, as a
#                                              developer's is: a second, clean build of the project
#                                              compiles in a temporary folder (again and again,
#                                              without ccache) and two CPU-bound processes run
#                                              beside it until the suite ends
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
busy=0
if [[ ${1:-} == --busy ]]; then
  busy=1
  shift
fi
"$here/scripts/setup.sh"
"$here/scripts/build.sh"
cd "$here/build"
if ((!busy)); then
  exec ctest --output-on-failure -j "${JOBS:-2}" --timeout 900 "$@"
fi

# Each load runs in a process group of its own, so that it ends with everything it started.
set -m
scratch=$(mktemp -d "${TMPDIR:-/tmp}/reelmaker-busy-XXXXXX")
loads=()
finish() {
  for pid in "${loads[@]}"; do
    kill -- "-$pid" 2>/dev/null || true
  done
  for pid in "${loads[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$scratch"
}
trap finish EXIT
trap 'exit 130' INT TERM

(
  export CCACHE_DISABLE=1
  while :; do
    rm -rf "$scratch/build"
    cmake -S "$here" -B "$scratch/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$scratch/build.log" 2>&1
    cmake --build "$scratch/build" -j 2 >>"$scratch/build.log" 2>&1 || sleep 5
  done
) &
loads+=("$!")
for _ in 1 2; do
  (while :; do :; done) &
  loads+=("$!")
done
echo "test.sh: busy: a clean build in $scratch/build and two CPU-bound processes run beside the suite"
start=$(date +%s)
status=0
ctest --output-on-failure -j 2 --timeout 900 "$@" || status=$?
echo "test.sh: the busy run took $(( $(date +%s) - start )) s"
exit "$status"
