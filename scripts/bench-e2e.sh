#!/usr/bin/env bash
# The end-to-end benchmark suite: two stand-in simulators in two network
# namespaces, measured as pilots meet the module. Writes results.json, the
# plots' data and PNG plots into one folder (default bench-output).
#   ./scripts/bench-e2e.sh [--smoke] [--flight-only] [--windows64 | --windows32]
#                          [--reliable-p99-limit-ms N] [--output DIR]
# --smoke: a run of under a minute that checks the suite works; its figures
# are too few to read. --flight-only: the shared flight alone (delays, state,
# lag), without plots. --windows64: the shared flight of two 64-bit Windows
# instances under wine64 (preset mingw64-tests). --windows32: the same with
# the pilots' 32-bit files in the emulated 32-bit Windows (presets mingw32 and
# mingw32-standin, scripts/win32-env.sh). --reliable-p99-limit-ms: fail when
# the reliable channel's delay p99 is over N ms.
set -euo pipefail
cd "$(dirname "$0")/.."

out=bench-output
options=()
flight_only=no
windows=""
while [ $# -gt 0 ]; do
  case "$1" in
    --smoke) options+=(--smoke) ;;
    --flight-only) flight_only=yes ;;
    --windows64 | --windows32) windows=${1#--}; flight_only=yes ;;
    --reliable-p99-limit-ms) options+=(--reliable-p99-limit-ms "$2"); shift ;;
    --output) out=$2; shift ;;
    *) echo "usage: $0 [--smoke] [--flight-only] [--windows64 | --windows32]" \
         "[--reliable-p99-limit-ms N] [--output DIR]" >&2
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

# Builds the Windows presets named; their output goes to the build log.
build_presets() {
  for preset in "$@"; do
    echo "Building the Windows files (cmake preset \"$preset\") ..."
    if ! { cmake --preset "$preset" && cmake --build --preset "$preset" -j "$(nproc)"; } \
        >>"$out/build.log" 2>&1; then
      tail -n 40 "$out/build.log" >&2
      echo "The build failed; the whole log is in $out/build.log" >&2
      exit 1
    fi
  done
}

simhost=$build/standin/simhost
module=$build/src/libMultiShared.so
case "$windows" in
  windows64)
    build_presets mingw64-tests
    wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
    simhost=build/mingw64-tests/sim/simhost.exe
    module=build/mingw64-tests/sim/Gauges/MultiShared.dll
    options+=(--wine "$wine")
    ;;
  windows32)
    ./scripts/win32-env.sh install
    build_presets mingw32 mingw32-standin
    # The simulator's program as a pilot has it: the stand-in beside the
    # udt.dll of the pilots' zip, the module in Gauges.
    sim=$out/win32-sim
    rm -rf "$sim"
    mkdir -p "$sim/Gauges"
    cp build/mingw32-standin/sim/simhost.exe build/mingw32-standin/sim/SimConnect.dll "$sim/"
    cp build/mingw32/package/MultiShared-*-win32/udt.dll "$sim/"
    cp build/mingw32/package/MultiShared-*-win32/MultiShared.dll "$sim/Gauges/"
    simhost=$sim/simhost.exe
    module=$sim/Gauges/MultiShared.dll
    options+=(--win32-env scripts/win32-env.sh)
    ;;
esac

[ "$flight_only" = yes ] && options+=(--flight-only)
code=$(git rev-parse --short HEAD 2>/dev/null || echo unknown)
"$build/bench/ms_e2e_bench" --simhost "$simhost" --module "$module" --output "$out" \
  --code "$code" "${options[@]}" >"$out/console.txt"
echo "Results: $out/results.json"
[ "$flight_only" = yes ] && exit 0
gnuplot -e "dir='$out'" bench/e2e/plots.gp
echo "Plots: $out/delay.png $out/state_interarrival.png $out/lag.png $out/follow.png $out/cpu.png" \
  "$out/stop.png"
