// The datagram sends, the same for both roles.
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/wire_records.h"
#include "platform/platform.h"

// A 136-byte greeting (kind 0, the rest zeros) to the peer at `port`.
void SendGreetingDatagram(platform::Socket socket, std::uint16_t port);
// A 24-byte VarValueRecord to the peer's datagram port.
void SendVarDatagramOn(platform::Socket socket, double index, double value, double extra);
// Whole VarValueRecords in one datagram to the peer's datagram port.
void SendVarDatagramsOn(platform::Socket socket, const std::uint8_t* records, std::size_t size);
// The state record as kind 23 to the peer's datagram port.
void SendStateDatagramOn(platform::Socket socket, AircraftStateRecord record);
