// Whose cockpit wins when the two disagree, between two instances that
// exchanged hellos. One table says, for each category, whether its entries
// are shared at all and who owns them; the fixed parts of the cockpit (the
// gear handle, who flies) follow the same rule in net/peer_talk.cpp.
//
//   category        shared                          a disagreement goes to
//   none, FCU, FCUh always, both ways               the newest change
//   FCTL            always                          the side that flies
//   DISP            while both display switches on  the newest change
//   TERRWX          while both weather switches on  the newest change
//   MBTN, BTN       never (a press is not a state)  -
//
// "Newest" compares when each side's value came about, on one clock (the
// peer's stamps are carried over by the clock samples). Changes closer than
// kStampTieMs cannot be ordered across the link; then the host's value wins,
// which both sides know alike. In the exchange that follows the hellos, a
// side that kept its session prevails over one that has just started, so
// that a restarted simulator takes over the cockpit it rejoins.
#pragma once

#include <cstdint>

#include "common/lvar_entry.h"

inline constexpr std::int64_t kStampTieMs = 50;

enum class Owner : std::uint8_t { kNobody, kNewest, kFlyingSide };
enum class Gate : std::uint8_t { kAlways, kDisplaySync, kWeatherSync };

struct OwnerRow {
  LVarCategory category;
  Owner owner;
  Gate gate;
};

// The table above, one row per category, in category order.
inline constexpr OwnerRow kOwnerTable[] = {
    {LVarCategory::kNone, Owner::kNewest, Gate::kAlways},
    {LVarCategory::kFctl, Owner::kFlyingSide, Gate::kAlways},
    {LVarCategory::kMbtn, Owner::kNobody, Gate::kAlways},
    {LVarCategory::kFcu, Owner::kNewest, Gate::kAlways},
    {LVarCategory::kFcuHeading, Owner::kNewest, Gate::kAlways},
    {LVarCategory::kDisp, Owner::kNewest, Gate::kDisplaySync},
    {LVarCategory::kTerrWx, Owner::kNewest, Gate::kWeatherSync},
    {LVarCategory::kBtn, Owner::kNobody, Gate::kAlways},
};
static_assert(std::size(kOwnerTable) == 8);

const OwnerRow& OwnerRowOf(LVarCategory category);

// The sync switches of both sides, as far as this side knows them.
struct Switches {
  bool displayHere = false;
  bool displayPeer = false;
  bool weatherHere = false;
  bool weatherPeer = false;
};

// Whether entries of `category` are shared now.
bool Shared(LVarCategory category, const Switches& switches);

// Who prevails in the exchange after the hellos.
enum class Prevails : std::uint8_t { kNeither, kHere, kPeer };

// One disagreement over a shared entry, stamps on this side's clock.
struct Disagreement {
  LVarCategory category = LVarCategory::kNone;
  std::int64_t localStampMs = 0;
  std::int64_t peerStampMs = 0;
  bool hereFlies = false;
  bool peerFlies = false;
  bool hereIsHost = false;
  // The peer's value came in the exchange after the hellos (or an answer to it).
  bool exchange = false;
  Prevails prevails = Prevails::kNeither;
};

// True when the peer's value wins over this side's.
bool PeerWins(const Disagreement& d);
