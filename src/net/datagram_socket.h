// The datagram channel's socket operations: one non-blocking UDP socket per
// role object, bound to P + 1, sending to the configured peer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// Creates a non-blocking UDP socket with address reuse into `slot`; logs
// "Error opening socket" and leaves kInvalidSocket there when none is had.
void OpenDatagramSocket(platform::Socket& slot);
// Binds to `port` on all local addresses; logs " Bind failed" and the error
// code when that fails. The caller goes on either way.
void BindDatagramSocket(platform::Socket socket, std::uint16_t port);
// Sends `length` bytes to the configured peer's `port`; nothing when
// SharedConfig.cfg names no peer address or no base port. Failures are not
// reported.
void SendDatagram(platform::Socket socket, const void* data, std::uint16_t port,
                  std::size_t length);
void CloseDatagramSocket(platform::Socket socket);
