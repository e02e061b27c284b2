#!/usr/bin/env bash
# A long shared flight: two stand-in simulators in two network namespaces,
# the host flying gentle turns, both cockpits changing a reliable variable
# every second (the host also a datagram one). Once a minute the resident
# memory and CPU time of both simulators are sampled. At the end it checks
# that every reliable change arrived once and in order, and prints the table.
#   ./scripts/soak.sh [MINUTES]    (30 unless given; needs root)
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
  echo "soak.sh makes two network namespaces and so must run as root" >&2
  exit 1
fi
./scripts/install-deps.sh

minutes=${1:-30}
seconds=$((minutes * 60))
out=soak-output
run=$out/run
rm -rf "$out"
mkdir -p "$run"
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target MultiShared simhost >"$out/build.log" 2>&1
# Copies, so that a rebuild during the run does not touch the running programs.
mkdir -p "$out/bin"
cp build/default/standin/simhost build/default/src/libMultiShared.so "$out/bin/"
simhost=$out/bin/simhost
module=$out/bin/libMultiShared.so

. scripts/sim-pair.sh
sim_pair_up soak "$run"

# Value of change k (1, 2, ...): consecutive values differ by 1, so that every
# change is one the send loop sees.
value_of() { echo $(($1 % 50 + 1)); }
{
  echo "0.1 set MP_CONN 0"
  echo "0.2 set MP_START 1"
  for ((k = 1; k < seconds; k++)); do
    t=$((k + 2))
    echo "$t set QV_ENG_MASTER_1 $(value_of "$k")"
    [ $((k % 120)) -eq 0 ] && echo "$t.2 fly $(((k / 120) % 2 == 0 ? 20 : -20)) 0 250 0"
    echo "$t.5 set QV_FCU_HDG $((k % 360))"
  done
  echo "$((seconds + 5)) quit"
} >"$run/host/script.txt"
{
  echo "0.1 set MP_CONN 1"
  echo "0.2 set MP_START 1"
  echo "0.3 fly 0 0 250 0"
  for ((k = 1; k < seconds; k++)); do
    echo "$((k + 2)).7 set QV_ENG_MASTER_2 $(value_of "$k")"
  done
  echo "$((seconds + 4)) quit"
} >"$run/guest/script.txt"

start_sim() { # side namespace
  ip netns exec "$2" "$simhost" --module "$module" --documents "$run/$1" \
    --script "$run/$1/script.txt" --duration $((seconds + 30)) \
    >"$run/$1/console.txt" 2>&1 &
  pids+=($!)
}
start_sim host "$ns_host"
host_pid=$!
wait_for_host_role "$run"
start_sim guest "$ns_guest"
guest_pid=$!

# rss in KiB and CPU seconds (user + system) of one process.
sample() {
  local rss ticks
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0)
  ticks=$(awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0)
  echo "$rss $(awk -v t="$ticks" -v hz="$(getconf CLK_TCK)" 'BEGIN {printf "%.1f", t / hz}')"
}
table=$out/samples.txt
echo "minute host_rss_kib host_cpu_s guest_rss_kib guest_cpu_s" >"$table"
for ((m = 0; m <= minutes; m++)); do
  echo "$m $(sample "$host_pid") $(sample "$guest_pid")" >>"$table"
  [ "$m" -lt "$minutes" ] && sleep 60
done

host_rc=0
guest_rc=0
wait "$host_pid" || host_rc=$?
wait "$guest_pid" || guest_rc=$?
pids=()

# Every reliable change of one side, as the other side's log applied it.
check_changes() { # variable, receiving side, changes sent
  local applied expected
  applied=$(grep -c "^LvarsSet: $1 Value: " "$run/$2/Veltrana/Quelvo/SharedDetails.log" || true)
  expected=$(for ((k = 1; k <= $3; k++)); do value_of "$k"; done | tr '\n' ' ')
  if [ "$(grep "^LvarsSet: $1 Value: " "$run/$2/Veltrana/Quelvo/SharedDetails.log" |
    sed 's/.* Value: //' | tr '\n' ' ')" = "$expected" ]; then
    echo "$1: $3 changes sent, $applied applied by the $2, all once and in order"
  else
    echo "$1: $3 changes sent, $applied applied by the $2: LOST, DOUBLED OR OUT OF ORDER"
    return 1
  fi
}
sent_host=$(grep -c " set QV_ENG_MASTER_1 " "$run/host/script.txt")
sent_guest=$(grep -c " set QV_ENG_MASTER_2 " "$run/guest/script.txt")
status=0
echo "Soak of $minutes min: host exit $host_rc, guest exit $guest_rc" | tee "$out/summary.txt"
check_changes QV_ENG_MASTER_1 guest "$sent_host" | tee -a "$out/summary.txt" || status=1
check_changes QV_ENG_MASTER_2 host "$sent_guest" | tee -a "$out/summary.txt" || status=1
echo "datagram changes applied by the guest: $(grep -c '^LvarsSet: QV_FCU_HDG ' \
  "$run/guest/Veltrana/Quelvo/SharedDetails.log" || true) of $(grep -c ' set QV_FCU_HDG ' \
  "$run/host/script.txt")" | tee -a "$out/summary.txt"
column -t "$table" | tee -a "$out/summary.txt"
[ "$host_rc" -eq 0 ] && [ "$guest_rc" -eq 0 ] || status=1
exit $status
