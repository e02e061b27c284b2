# Sourced by demo.sh and soak.sh: two "computers" on this machine, network
# namespaces joined by a virtual Ethernet pair (removed again on exit), and a
# documents folder for each side holding the samples, each naming the other.
addr_host=198.18.0.1
addr_guest=198.18.0.2
pids=()

sim_pair_cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  ip netns delete "$ns_host" 2>/dev/null || true
  ip netns delete "$ns_guest" 2>/dev/null || true
}

# sim_pair_up NAME RUN: namespaces ms-NAME-host-PID and ms-NAME-guest-PID,
# documents folders RUN/host and RUN/guest.
sim_pair_up() {
  ns_host=ms-$1-host-$$
  ns_guest=ms-$1-guest-$$
  trap sim_pair_cleanup EXIT
  trap 'exit 130' INT TERM
  ip netns add "$ns_host"
  ip netns add "$ns_guest"
  ip link add veth0 netns "$ns_host" type veth peer name veth0 netns "$ns_guest"
  ip -n "$ns_host" addr add "$addr_host/30" dev veth0
  ip -n "$ns_guest" addr add "$addr_guest/30" dev veth0
  for ns in "$ns_host" "$ns_guest"; do
    ip -n "$ns" link set veth0 up
    ip -n "$ns" link set lo up
  done
  local side folder peer
  for side in host guest; do
    folder=$2/$side/Veltrana/Quelvo
    mkdir -p "$folder"
    cp samples/LVars.cfg "$folder/LVars.cfg"
    peer=$addr_guest
    [ "$side" = guest ] && peer=$addr_host
    { echo "$peer"; tail -n +2 samples/SharedConfig.cfg; } >"$folder/SharedConfig.cfg"
  done
}

# The guest's reliable connect waits only about 3 s: it starts once the host
# listens (at most 10 s from now).
wait_for_host_role() { # RUN
  for _ in $(seq 100); do
    grep -qx 'serverLoop start' "$1/host/Veltrana/Quelvo/SharedDetails.log" 2>/dev/null && break
    sleep 0.1
  done
}
