// What a receiver does with the records of either channel. Both roles read
// their channels into their own buffer and hand the bytes to these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "common/log_limit.h"
#include "net/peer_filter.h"
#include "platform/platform.h"

enum class Channel { kReliable, kDatagram };

inline constexpr std::size_t kReceiveBufferSize = 10000000;
inline constexpr std::size_t kDatagramReadSize = 5000000;
// A pass reads what waits, up to this many datagrams: far more than the peer
// sends between two passes, so a stranger's flood cannot crowd its
// datagrams out of the socket's buffer, and still a bound on one pass.
inline constexpr int kDatagramsPerPass = 256;
// The longest the momentary buttons of one pass wait, all together.
inline constexpr std::int64_t kButtonWaitPerPassMs = 1000;

// What bounds one receive thread's work and log lines across its passes.
// Used by that thread only.
struct ReceiveLimits {
  // Until when momentary buttons may still wait in this pass; none may
  // before a pass has started.
  std::int64_t buttonWaitEndsMs = 0;
  // This pass has logged its one "Button wait timed out" line.
  bool buttonWaitTimedOut = false;
  LogRateCap appliedValues{"more values applied"};
  LogRateCap keyEvents{"more key events applied"};
};

// Gives a new receive pass its button wait time.
void StartReceivePass(ReceiveLimits& limits);
// Logs the counts of lines the caps left out, when due.
void FinishReceivePass(ReceiveLimits& limits);

// Sends bytes of whole records on the connection a record came from.
using Reply = std::function<void(const std::uint8_t* data, std::size_t size)>;

// Applies the `bytes` / 24 whole records at `data` that arrived on the
// reliable channel, in order; `reply` answers on that connection. A record
// with a number that is not finite where a value is used is dropped whole;
// a stop request ends the walk.
void ApplyReliableRecords(const std::uint8_t* data, std::size_t bytes, ReceiveLimits& limits,
                          const Reply& reply);

// Reads the datagrams waiting, at most kDatagramsPerPass, into `buffer`
// (kDatagramReadSize bytes), and applies the records of those whose sender
// `filter` admits; others are dropped unread. Returns at once when none is
// waiting; true when a greeting was among them (the peer has just started
// its role).
bool ReceiveDatagrams(platform::Socket socket, std::uint8_t* buffer, PeerFilter& filter,
                      ReceiveLimits& limits);

// Applies the records of one datagram of `length` bytes at `data`. A record
// the walk cannot size (an unknown kind, a state record cut short) ends it,
// and so does a stop request; records as ApplyReliableRecords drops them.
// True when a greeting was among them.
bool WalkDatagram(const std::uint8_t* data, std::size_t length, ReceiveLimits& limits);
