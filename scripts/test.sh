#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs all tests:
# the Linux build (unit and end-to-end), AddressSanitizer+UBSan, ThreadSanitizer,
# short libFuzzer runs, the 32-bit Windows module with its checker, and the
# Windows platform tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)

# Each stage starts with step; its time is printed when the next one starts,
# and the last one's with the total when the script ends (also on a failure).
stage=""
stage_start=$SECONDS
minutes() { printf '%dm%02ds' $(($1 / 60)) $(($1 % 60)); }
stage_time() {
  [ -n "$stage" ] && printf '==== %s: %s\n' "$stage" "$(minutes $((SECONDS - stage_start)))"
  return 0
}
step() {
  stage_time
  stage="$*"
  stage_start=$SECONDS
  printf '\n==== %s\n' "$*"
}
trap 'stage_time; printf "==== total: %s\n" "$(minutes "$SECONDS")"' EXIT

step "Packages"
./scripts/install-deps.sh

# Configures, builds and tests one CMake preset.
run_preset() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$jobs"
  ctest --preset "$1" -j "$jobs"
}

step "Linux build: unit and end-to-end tests"
run_preset default

step "End-to-end benchmark suite: smoke run (builds, runs, plots; no figure is checked)"
if [ "$(id -u)" -eq 0 ]; then
  ./scripts/bench-e2e.sh --smoke --output build/bench-smoke
else
  echo "skipped: the suite makes network namespaces and needs root"
fi

step "AddressSanitizer + UndefinedBehaviorSanitizer: unit tests"
run_preset asan

step "ThreadSanitizer: unit and end-to-end tests"
run_preset tsan

step "libFuzzer targets (ASan + UBSan): a short run of each from its seeds"
run_preset fuzz

step "32-bit Windows module: cross build and checks of MultiShared.dll"
run_preset mingw32

step "Windows platform layer tests under wine64"
run_preset mingw64-tests
