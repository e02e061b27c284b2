// What travelled between the two simulators of a shared flight, matched from
// their traces: a pilot's change or key event on one side and what the
// peer's module did with it.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "demo_monitor_trace.h"

namespace trace {

// A change that has not arrived within this time is taken as not sent (a
// rule held it back), not as a slow one.
inline constexpr std::int64_t kMatchWindowNs = 2'000'000'000;

// A pilot's change of a shared variable that the peer's module wrote.
struct Arrival {
  std::int64_t changeNs = 0;
  std::int64_t arrivalNs = 0;
  std::string name;
};

// The changes the origin's cockpit (script) made to the `shared` variables
// that the peer's module wrote with the same value, in the origin's order.
std::vector<Arrival> Arrivals(const std::vector<Record>& origin, const std::vector<Record>& peer,
                              const std::set<std::string>& shared);

// A key event a pilot raised, the peer module's replay of it, and whether the
// replay came back to the origin.
struct KeyRelay {
  std::int64_t raisedNs = 0;
  std::uint32_t id = 0;
  std::uint32_t data = 0;
  std::optional<std::int64_t> replayedNs;
  bool echoed = false;
};

// Every key event the origin's pilot (script) raised, in order.
std::vector<KeyRelay> KeyRelays(const std::vector<Record>& origin, const std::vector<Record>& peer);

}  // namespace trace
