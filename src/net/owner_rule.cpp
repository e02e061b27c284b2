#include "net/owner_rule.h"

#include <cstddef>

const OwnerRow& OwnerRowOf(LVarCategory category) {
  const auto row = static_cast<std::size_t>(category);
  // The loader gives only the eight categories; anything else is treated as
  // an entry without a category.
  return row < std::size(kOwnerTable) ? kOwnerTable[row] : kOwnerTable[0];
}

bool Shared(LVarCategory category, const Switches& switches) {
  const OwnerRow& row = OwnerRowOf(category);
  if (row.owner == Owner::kNobody) return false;
  switch (row.gate) {
    case Gate::kDisplaySync:
      return switches.displayHere && switches.displayPeer;
    case Gate::kWeatherSync:
      return switches.weatherHere && switches.weatherPeer;
    case Gate::kAlways:
      break;
  }
  return true;
}

namespace {
bool HostsValueWins(const Disagreement& d) { return !d.hereIsHost; }
}  // namespace

bool PeerWins(const Disagreement& d) {
  if (OwnerRowOf(d.category).owner == Owner::kFlyingSide) {
    // While a swap crosses the link both may fly, or neither, for a moment.
    if (d.peerFlies != d.hereFlies) return d.peerFlies;
    return HostsValueWins(d);
  }
  if (d.exchange && d.prevails == Prevails::kPeer) return true;
  if (d.exchange && d.prevails == Prevails::kHere) return false;
  // Saturating: kNeverStamp minus the tie would wrap.
  if (d.peerStampMs > d.localStampMs && d.peerStampMs - d.localStampMs > kStampTieMs) return true;
  if (d.localStampMs > d.peerStampMs && d.localStampMs - d.peerStampMs > kStampTieMs) return false;
  return HostsValueWins(d);
}
