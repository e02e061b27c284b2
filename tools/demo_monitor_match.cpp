#include "demo_monitor_match.h"

namespace trace {
namespace {

// The first record of `records` from `fromNs` on, within the match window,
// that `matches`; nothing when there is none.
template <typename Body, typename Matches>
std::optional<std::int64_t> FirstWithin(const std::vector<Record>& records, std::int64_t fromNs,
                                        Matches matches) {
  for (const auto& r : records) {
    if (r.monoNs < fromNs) continue;
    if (r.monoNs > fromNs + kMatchWindowNs) break;
    if (const auto* body = std::get_if<Body>(&r.body); body != nullptr && matches(*body)) {
      return r.monoNs;
    }
  }
  return std::nullopt;
}

}  // namespace

std::vector<Arrival> Arrivals(const std::vector<Record>& origin, const std::vector<Record>& peer,
                              const std::set<std::string>& shared) {
  std::vector<Arrival> arrivals;
  for (const auto& o : origin) {
    const auto* change = std::get_if<LvarWrite>(&o.body);
    if (change == nullptr || change->by != By::kScript || !shared.count(change->name)) continue;
    // Values travel as single precision.
    const double sent = static_cast<float>(change->value);
    const auto arrived = FirstWithin<LvarWrite>(peer, o.monoNs, [&](const LvarWrite& w) {
      return w.by == By::kModule && w.name == change->name && w.value == sent;
    });
    if (arrived) arrivals.push_back({o.monoNs, *arrived, change->name});
  }
  return arrivals;
}

std::vector<KeyRelay> KeyRelays(const std::vector<Record>& origin,
                                const std::vector<Record>& peer) {
  std::vector<KeyRelay> relays;
  for (const auto& o : origin) {
    const auto* key = std::get_if<KeyEvent>(&o.body);
    if (key == nullptr || key->by != By::kScript) continue;
    const auto same = [key](const KeyEvent& e) {
      return e.by == By::kModule && e.id == key->id && e.data == key->data;
    };
    KeyRelay relay{o.monoNs, key->id, key->data, FirstWithin<KeyEvent>(peer, o.monoNs, same)};
    relay.echoed =
        relay.replayedNs && FirstWithin<KeyEvent>(origin, *relay.replayedNs, same).has_value();
    relays.push_back(relay);
  }
  return relays;
}

}  // namespace trace
