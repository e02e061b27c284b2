#!/usr/bin/env bash
# A shared flight on this machine: two stand-in simulators (simhost), each
# loading the module in its own network namespace, joined by a virtual
# Ethernet pair. The host flies a route with turns and climbs, both cockpits
# change variables of every category, control swaps halfway, the following
# pilot's key events are relayed, and both stop cleanly. A status line is
# printed once a second; at the end a report with plots is written.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
  echo "demo.sh makes two network namespaces and so must run as root, e.g.: sudo $0" >&2
  exit 1
fi

# Each stage names itself and, when it is over, how long it took.
stage_start=$SECONDS
stage() {
  printf '\n== %s\n' "$*"
  stage_start=$SECONDS
}
stage_done() { printf '   done in %ds\n' $((SECONDS - stage_start)); }

stage "1/4 Debian packages: installing what is missing (scripts/install-deps.sh)"
./scripts/install-deps.sh
stage_done

build=build/default
stage "2/4 Build: the module, simhost and the monitor (cmake preset \"default\"," \
  "log in demo-output/build.log)"
mkdir -p demo-output
# The build's own progress, one line per file compiled or program linked.
progress() {
  awk 'match($0, /^\[ *[0-9]+%\] (Building|Linking)/) {
         file = $NF; sub(/.*\.dir\//, "", file); sub(/\.o$/, "", file)
         print "   " substr($0, 1, 6) ($0 ~ /\] Linking/ ? " linking " : " compiling ") file
         fflush()
       }'
}
if ! { cmake --preset default && cmake --build --preset default -j "$(nproc)" \
         --target MultiShared simhost demo_monitor; } 2>&1 | tee demo-output/build.log | progress; then
  tail -n 40 demo-output/build.log >&2
  echo "The build failed; the whole log is in demo-output/build.log" >&2
  exit 1
fi
stage_done
simhost=$build/standin/simhost
module=$build/src/libMultiShared.so
monitor=$build/tools/demo_monitor

out=demo-output
run=$out/run
rm -rf "$run" "$out"/*.png "$out"/*.dat "$out"/*.gp "$out"/report.md
flight_seconds=58

# ---- Two computers, their documents folders -----------------------------
. scripts/sim-pair.sh
sim_pair_up demo "$run"
# Both follow closely: the following aircraft flies where the other one is
# now, and the swap moves nobody (the report says so).
for side in host guest; do
  echo "close follow" >>"$run/$side/Veltrana/Quelvo/SharedConfig.cfg"
done

# ---- The two pilots' scripts (seconds since each simulator started) -----
cat >"$run/host/script.txt" <<'SCRIPT'
0.1 set MP_CONN 0
0.2 set MP_START 1
# A climbing right turn.
2 fly 30 4 200 1200
# Cockpit changes of every category while the host flies.
5 set QV_ENG_MASTER_1 1
6 set QV_FLAPS_LEVER 1
7 set QV_MCDU1_KEY_DIR 1
7.2 set MCDU_KeysClear 1
8 set QV_FCU_HDG_MANAGED 1
8.5 set QV_FCU_HDG 180
9 set MP_SYNCDSP 1
9.5 set QV_ND_RANGE_CPT 40
10 set MP_SYNCWX 1
10.5 set QV_WX_RADAR_MODE 2
11 set QV_LIGHT_LANDING 1
16 fly 0 2 210 600
# A climbing left turn.
19 fly -30 5 200 1500
# Releases the momentary button that the guest pressed.
25 set MCDU_KeysClear 1
27 fly 0 0 200 0
# Halfway: the guest takes control.
29 set MP_TGL 1
# Following now: this key event is performed on the guest's side.
42 key 65604 1
57 quit
SCRIPT

cat >"$run/guest/script.txt" <<'SCRIPT'
0.1 set MP_CONN 1
0.2 set MP_START 1
# Its own aircraft keeps the host's speed, so that following needs little correction.
0.3 fly 0 0 200 0
# Following: a key event of this pilot is performed on the host's side.
14 key 65602 7
# Cockpit changes of every category from the guest.
18 set QV_ENG_MASTER_2 1
19 set QV_MCDU1_KEY_PERF 1
19.2 set MCDU_KeysClear 1
20 set QV_FCU_ALT_MANAGED 1
20.5 set QV_FCU_ALT 12000
21 set MP_SYNCDSP 1
21.5 set QV_ND_MODE_CPT 3
22 set MP_SYNCWX 1
22.5 set QV_TERR_ON_ND_CPT 1
23 set QV_CHRONO_CPT 1
# Releases the momentary button that the host pressed.
24 set MCDU_KeysClear 1
# Flying after the swap: a descending right turn, then straight and level.
30 fly 30 -3 200 -1200
# Flight controls travel from the instance that flies.
44 set QV_SPEEDBRAKE_LEVER 1
48 fly 0 0 200 0
56 quit
SCRIPT

# ---- The flight ----------------------------------------------------------
start_sim() {  # side namespace
  ip netns exec "$2" "$simhost" --module "$module" --documents "$run/$1" \
    --script "$run/$1/script.txt" --duration $((flight_seconds + 15)) \
    --trace "$run/$1/trace.jsonl" >"$run/$1/console.txt" 2>&1 &
  pids+=($!)
}

stage "3/4 Shared flight of ${flight_seconds} s: host in namespace $ns_host ($addr_host)," \
  "guest in $ns_guest ($addr_guest)"
start_sim host "$ns_host"
host_pid=$!
wait_for_host_role "$run"
start_sim guest "$ns_guest"
guest_pid=$!
sleep 1
for side in host guest; do
  pid=$host_pid
  [ "$side" = guest ] && pid=$guest_pid
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "The $side simulator ended at once:" >&2
    cat "$run/$side/console.txt" >&2
    exit 1
  fi
done

logs=(--host-log "$run/host/Veltrana/Quelvo/SharedDetails.log"
  --guest-log "$run/guest/Veltrana/Quelvo/SharedDetails.log")
"$monitor" live "$run/host/trace.jsonl" "$run/guest/trace.jsonl" "${logs[@]}" \
  --watch-pid "$host_pid" --watch-pid "$guest_pid"
host_rc=0; guest_rc=0
wait "$host_pid" || host_rc=$?
wait "$guest_pid" || guest_rc=$?
pids=()
if [ "$host_rc" -ne 0 ] || [ "$guest_rc" -ne 0 ]; then
  echo "A simulator failed (host exit $host_rc, guest exit $guest_rc); see $run/*/console.txt" >&2
  exit 1
fi

# ---- The report ----------------------------------------------------------
stage "4/4 Report and plots"
"$monitor" report "$run/host/trace.jsonl" "$run/guest/trace.jsonl" "${logs[@]}" \
  --lvars samples/LVars.cfg --output "$out"
gnuplot -e "dir='$out'" tools/demo_monitor_plots.gp

echo
echo "Both stopped cleanly. Report: $out/report.md"
echo "Plots: $out/track.png $out/altitude.png $out/distance.png $out/delay.png"
echo "Logs and traces: $run/host and $run/guest (Veltrana/Quelvo/SharedDetails.log, trace.jsonl)"
