// The sends of one send pass, gathered so that they leave together: the
// reliable channel's records in one send (UDT makes a packet of each send,
// however small), the variable datagrams in as few datagrams as hold them.
// Order within each channel is kept, and a pass's records never wait for
// the next pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "net/role_loop.h"

// 60 records: 1,440 bytes, one Ethernet frame with the IP and UDP headers.
inline constexpr std::size_t kRecordsPerDatagram = 60;

class PassBatch {
 public:
  explicit PassBatch(const RoleOutput& out);
  // An output that gathers the reliable channel's records and the variable
  // datagrams here; the rest goes straight to `out`.
  const RoleOutput& Gathering() const { return gathering_; }
  // Sends what was gathered and empties the batch.
  void Flush();

 private:
  const RoleOutput& out_;
  RoleOutput gathering_;
  std::vector<std::uint8_t> reliable_;
  std::vector<std::uint8_t> datagrams_;
};
