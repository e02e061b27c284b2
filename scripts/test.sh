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

step "32-bit Windows module: cross build and checks of MultiShared.dll"
cmake --preset mingw32 >/dev/null
cmake --build --preset mingw32 -j "$jobs"
ctest --preset mingw32

step "Windows platform layer tests under wine64"
cmake --preset mingw64-tests >/dev/null
cmake --build --preset mingw64-tests -j "$jobs"
ctest --preset mingw64-tests
