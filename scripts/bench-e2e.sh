#!/usr/bin/env bash
# The end-to-end benchmark suite: two stand-in simulators in two network
# namespaces, measured as pilots meet the module. Writes results.json, the
# plots' data and PNG plots into one folder (default bench-output).
#   ./scripts/bench-e2e.sh [--smoke] [--flight-only] [--reliable-p99-limit-ms N] [--output DIR]
# --smoke: a run of under a minute that checks the suite works; its figures
# are too few to read. --flight-only: the shared flight alone (delays, state,
# lag), without plots. --reliable-p99-limit-ms: fail when the reliable
# channel's delay p99 is over N ms.
set -euo pipefail
cd "$(dirname "$0")/.."

out=bench-output
options=()
flight_only=no
while [ $# -gt 0 ]; do
  case "$1" in
    --smoke) options+=(--smoke) ;;
    --flight-only) options+=(--flight-only); flight_only=yes ;;
    --reliable-p99-limit-ms) options+=(--reliable-p99-limit-ms "$2"); shift ;;
    --output) out=$2; shift ;;
    *) echo "usage: $0 [--smoke] [--flight-only] [--reliable-p99-limit-ms N] [--output DIR]" >&2
       exit 2 ;;
  esac
  shift
done
if [ "$(id -u)" -ne 0 ]; then
  echo "bench-e2e.sh makes two network namespaces and so must run as root, e.g.: sudo $0" >&2
  exit 1
fi

./scripts/install-deps.sh
build=build/default
mkdir -p "$out"
echo "Building the module, simhost and the suite (cmake preset \"default\") ..."
if ! { cmake --preset default && cmake --build --preset default -j "$(nproc)" \
         --target MultiShared simhost ms_e2e_bench; } >"$out/build.log" 2>&1; then
  tail -n 40 "$out/build.log" >&2
  echo "The build failed; the whole log is in $out/build.log" >&2
  exit 1
fi

code=$(git rev-parse --short HEAD 2>/dev/null || echo unknown)
"$build/bench/ms_e2e_bench" --simhost "$build/standin/simhost" \
  --module "$build/src/libMultiShared.so" --output "$out" --code "$code" "${options[@]}" \
  >"$out/console.txt"
echo "Results: $out/results.json"
[ "$flight_only" = yes ] && exit 0
gnuplot -e "dir='$out'" bench/e2e/plots.gp
echo "Plots: $out/delay.png $out/state_interarrival.png $out/lag.png $out/follow.png $out/cpu.png" \
  "$out/stop.png"
