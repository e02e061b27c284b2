#!/usr/bin/env bash
# Checks that the folders of src/ include one another only downward, from the
# module's entry to the ground. Prints every upward include that is not on the
# allowed list below, and fails if there is one.
set -euo pipefail
src="${1:-$(dirname "$0")/../src}"

# From the top down; folders on one line stand side by side and do not
# include each other.
levels=(
  "module"
  "session"
  "server client"
  "net"
  "simlink"
  "lvars"
  "common"
  "platform"
)

# Upward includes that stay, each with its reason: "file header".
allowed=(
  # An eased value names its field in the aircraft-state record, whose layout
  # is the wire's; the table is one, so that the two cannot drift apart.
  "simlink/eased_values.h net/wire_records.h"
  # The pilot's key events leave from the simulator's thread, in the wire's
  # key-event record, through whichever role runs above.
  "simlink/key_event_relay.cpp net/wire_records.h"
  "simlink/key_event_relay.cpp session/role_send.h"
)

declare -A level
for i in "${!levels[@]}"; do
  for folder in ${levels[$i]}; do level[$folder]=$i; done
done

status=0
while IFS= read -r file; do
  from="${file#"$src"/}"
  from="${from%%/*}"
  [[ -n "${level[$from]:-}" ]] || continue
  while IFS= read -r header; do
    to="${header%%/*}"
    [[ -n "${level[$to]:-}" && "$to" != "$from" ]] || continue
    if (( level[$to] > level[$from] )); then continue; fi
    entry="${file#"$src"/} $header"
    known=0
    for a in "${allowed[@]}"; do [[ "$a" == "$entry" ]] && known=1; done
    (( known )) && continue
    echo "upward include: ${file#"$src"/} includes $header"
    status=1
  done < <(sed -n 's/^#include "\([a-z_]*\/[a-z_.]*\)".*/\1/p' "$file")
done < <(find "$src" -name '*.h' -o -name '*.cpp' | sort)
exit $status
