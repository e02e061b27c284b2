// What a receiver does with the records of either channel. Both roles read
// their channels into their own buffer and hand the bytes to these.
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/peer_filter.h"
#include "platform/platform.h"

enum class Channel { kReliable, kDatagram };

inline constexpr std::size_t kReceiveBufferSize = 10000000;
inline constexpr std::size_t kDatagramReadSize = 5000000;

// Applies the `bytes` / 24 whole records at `data` that arrived on the
// reliable channel, in order. A record with a number that is not finite
// where a value is used is dropped whole; a stop request ends the walk.
void ApplyReliableRecords(const std::uint8_t* data, std::size_t bytes);

// Reads at most one waiting datagram into `buffer` (kDatagramReadSize bytes)
// and applies the records in it when `filter` admits its sender. Returns at
// once when none is waiting; true when the datagram held a greeting (the peer
// has just started its role).
bool ReceiveDatagram(platform::Socket socket, std::uint8_t* buffer, PeerFilter& filter);

// Applies the records of one datagram of `length` bytes at `data`. A record
// the walk cannot size (an unknown kind, a state record cut short) ends it,
// and so does a stop request; records as ApplyReliableRecords drops them.
// True when a greeting was among them.
bool WalkDatagram(const std::uint8_t* data, std::size_t length);
