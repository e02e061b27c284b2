// The receive thread's side of the extension: what the other end of the
// current reliable connection is, and what its extension records do here.
//
// Both sides send a hello first on every new connection (the host once the
// guest has greeted). A connection whose first record is anything else is
// a plain peer: it gets the protocol and nothing more. After the hellos
// each side sends, on that connection, its names when the tables' fingerprints
// differ and the gear handle when its cockpit is the one that counts, and
// asks the send thread for the exchange: every entry it shares
// (net/owner_rule.h) as a stamped value, a chunk at a time; a stamped
// value that loses here is answered with this side's own, so that the peer
// settles on it after one exchange. A block of the peer's digest that
// differs from this side's is answered with its stamped values, once for
// each pair of differing hashes, so that a disagreement no exchange settles
// (two cockpits that each hold their own value) is not traded for ever.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/lvar_entry.h"
#include "lvars/table_compare.h"
#include "net/extension_names.h"
#include "net/extension_records.h"
#include "net/owner_rule.h"
#include "net/receive_messages.h"

// A guest that hears nothing from its host this long after connecting
// takes it for a plain peer (the log says so).
inline constexpr std::int64_t kHelloWaitMs = 2000;
// The clock estimate keeps the smallest of the samples of the last one or
// two windows, so that it follows a drift of the two clocks.
inline constexpr std::int64_t kClockWindowMs = 30000;

// This side's hello as the cockpit stands now.
Hello OwnHello();
// Whether the current peer speaks the extension.
bool PeerSpeaksExtension();
// The sync switches of both sides.
Switches CurrentSwitches();
// Whether this side offers its values of `category` stamped: shared now, and
// flight controls only while this side flies (the other side's lose whatever
// their stamp).
bool OffersStamped(LVarCategory category, const Switches& switches);
// A stamped value record of this side's entry at `position`.
MessageBytes StampedRecordOf(std::uint32_t position, bool exchange);

class PeerTalk {
 public:
  // A reliable connection has just been made (guest) or filed (host):
  // forgets what the previous one said and, when the extension is allowed,
  // sends this side's hello and a clock sample on it.
  void NewConnection(const Reply& reply, std::int64_t nowMs);
  // The first record of the connection came and was not a hello.
  void FirstRecordPlain();
  // Once a pass: a guest's wait for its host's first record runs out.
  void Tick(std::int64_t nowMs);
  // Takes a record of kind kExtension that came on the current connection.
  void Take(const std::uint8_t* record, const Reply& reply, ReceiveLimits& limits,
            std::int64_t nowMs);
  // The local position of the entry that the peer's table position names,
  // or none: the same position while the tables are the same (or cannot be
  // compared), by name once the peer's names are in, none while they are
  // still coming or when they could not be taken.
  std::optional<std::uint32_t> LocalPositionOf(std::uint32_t peerPosition) const;
  // A time on the peer's steady clock, on this side's; none before the
  // first clock sample of this connection.
  std::optional<std::int64_t> LocalTimeOf(std::int64_t peerMs, std::int64_t nowMs) const;

 private:
  void TakeHello(const Hello& hello, const Reply& reply);
  void TakeClock(const ClockSample& clock, std::int64_t nowMs);
  void TakeName(const std::uint8_t* record);
  void TakeStamped(const StampedValue& value, const Reply& reply, ReceiveLimits& limits,
                   std::int64_t nowMs);
  void TakeDigest(const Digest& digest, const Reply& reply);
  void DecideWhoFlies(const Hello& hello);
  void SendExchange(const Reply& reply);
  void NamePeerKind(const char* what);

  bool helloSeen_ = false;
  bool firstRecordSeen_ = false;
  std::int64_t helloWaitEndsMs_ = 0;
  std::uint64_t lastPeerSession_ = 0;
  Prevails prevails_ = Prevails::kNeither;
  // The peer's table, when it differs: its names as they come, then the
  // local position of each of its positions.
  bool tablesDiffer_ = false;
  bool namesIn_ = false;
  bool namesFailed_ = false;
  PeerNames peerNames_;
  std::vector<std::size_t> peerToLocal_;
  // The smallest (local arrival - peer send) of the current and the
  // previous clock window.
  std::optional<std::int64_t> clockMinNow_;
  std::optional<std::int64_t> clockMinBefore_;
  std::int64_t clockWindowEndsMs_ = 0;
  bool plainLogged_ = false;
  // For each digest block answered: the peer's hash and this side's then.
  struct AnsweredBlock {
    std::uint32_t peer = 0;
    std::uint32_t here = 0;
  };
  std::vector<std::optional<AnsweredBlock>> answered_;
};

extern PeerTalk peerTalk;
