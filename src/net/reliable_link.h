// One connection of the reliable channel (a UDT stream socket), with what
// keeps its 24-byte records whole in both directions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "net/wire_records.h"
#include "system_sockets.h"
// system_sockets.h must come first.
#include <udt/udt.h>

// UDT error codes the channel tells apart.
namespace udt_error {
inline constexpr int kConnectionLost = 2001;
inline constexpr int kNoConnection = 2002;
inline constexpr int kInvalidSocket = 5004;
inline constexpr int kNoBufferSpace = 6001;
inline constexpr int kNothingPending = 6002;
}  // namespace udt_error

inline constexpr int kReliableReadSize = 5000000;
// A reliable read may prepend a fragment kept from the previous read, so the
// buffer it reads into needs this much room.
inline constexpr std::size_t kReliableReadRoom = kReliableReadSize + kMessageSize;

struct ReliableLink {
  UDTSOCKET socket = UDT::INVALID_SOCK;
  // Sends reach one connection from three threads; each record is sent whole
  // under this guard so that no other record lands inside it.
  std::mutex sendGuard;
  // Receive thread only: the start of a record whose rest has not arrived.
  std::array<std::uint8_t, kMessageSize> fragment{};
  std::size_t fragmentSize = 0;
  // Bytes of records UDT refused for want of buffer space (or the rest of a
  // record it took only part of), sent before any later record; under
  // sendGuard. At most kHeldBytesAtMost.
  std::vector<std::uint8_t> held;
  // Receive thread only: whole records read while the connection waited in
  // the server's gate, to be applied once it is filed.
  std::vector<std::uint8_t> early;
  // Receive thread only (or before it starts): a connection exists and its
  // end has not been reported yet.
  bool open = false;
  // The other end's IPv4 address (network order), as the server accepted it.
  std::uint32_t peer = 0;
};

// Sends one 24-byte record whole, or nothing, never waiting. While UDT's
// send buffer is full, records are held, in order, and sent before any later
// one; a record sent while the connection is gone is dropped with
// "send failed with error: %d\n" on the console.
void SendRecord(ReliableLink& link, const MessageBytes& record);
// Sends `size` bytes of whole records, as SendRecord sends one.
void SendRecords(ReliableLink& link, const std::uint8_t* records, std::size_t size);
// Sends what is held, as far as UDT takes it; each send pass calls it.
void SendHeld(ReliableLink& link);
// Whether records are held or UDT's send buffer still has data the peer has
// not acknowledged.
bool HasUnsent(ReliableLink& link);

// About 43,000 records: far more than a full cockpit's exchange; past it
// records are dropped and the log says how many, once a minute at most.
inline constexpr std::size_t kHeldBytesAtMost = 1 << 20;

// Reads what the connection has (never blocking) into `buffer`, which must
// hold kReliableReadRoom bytes. Returns how many bytes of whole records are at
// the start of `buffer`; a trailing part of a record is kept for the next read.
// The recv result goes to `lastResult`. A connection found gone is reported
// once: "Connection closed\n" on the console and connectionStatus 2.
std::size_t ReadRecords(ReliableLink& link, std::uint8_t* buffer, int& lastResult);

// The two halves of a read around the bytes that arrived: the kept fragment
// is copied to the start of `buffer` (its size returned); then, with `total`
// bytes at the start, the trailing part of a record is kept for the next
// read and the size of the whole records before it is returned.
std::size_t PrependFragment(const ReliableLink& link, std::uint8_t* buffer);
std::size_t KeepFragment(ReliableLink& link, std::uint8_t* buffer, std::size_t total);

// Sends and receives (and accepts) of `socket` return at once, and its
// close does not linger.
void SetNoBlocking(UDTSOCKET socket);
// Receive, then send time-out of 5 s.
void SetTimeouts(UDTSOCKET socket);
