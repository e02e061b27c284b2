#!/usr/bin/env bash
# Long fuzz runs: builds the "fuzz" preset and runs each libFuzzer target for
# RUNS inputs (10^7 unless given), then prints per target the inputs executed,
# the time taken and the outcome. A crash leaves its input in
# build/fuzz/fuzz/artifacts/; it becomes a seed under fuzz/corpus/ once mended.
# Inputs are at most 1 KiB: a datagram or a read of that size already holds
# dozens of records, and longer ones only slow the run down. libFuzzer's check
# for leaks after single inputs is off: the stand-in simulator keeps a record
# of every call the module makes, which that check takes for leaks and then
# stops the world for; AddressSanitizer still checks for leaks at the end.
#   ./scripts/fuzz.sh [RUNS [TARGET...]]
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
runs=${1:-10000000}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] &&
  targets=(datagram_walk_fuzz reliable_stream_fuzz lvar_file_fuzz session_config_fuzz
    udt_listener_fuzz)

# UDT's listener is fuzzed as every build makes it: from its source beside the
# checkout, with the project's patches.
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

out=build/fuzz/fuzz
mkdir -p "$out/artifacts"
status=0
for target in "${targets[@]}"; do
  work=$out/corpus-long/$target
  log=$out/$target-long.log
  mkdir -p "$work"
  start=$(date +%s)
  if "$out/$target" -runs="$runs" -max_len=1024 -detect_leaks=0 -print_final_stats=1 \
    -artifact_prefix="$out/artifacts/" \
    "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
    outcome="no crash"
  else
    outcome="FAILED, see $log"
    status=1
  fi
  executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  printf '%s: %s inputs in %s s, %s\n' "$target" "${executed:-?}" "$(($(date +%s) - start))" \
    "$outcome"
done
exit $status
