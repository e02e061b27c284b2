// IPv4 addresses as the log and the checker write them.
#pragma once

#include <cstdint>
#include <string>

// The dotted text of an IPv4 address in network order ("198.18.0.1").
inline std::string AddressText(std::uint32_t networkOrderAddress) {
  // Network order keeps the first byte of the dotted text first in memory.
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&networkOrderAddress);
  return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
         std::to_string(bytes[2]) + "." + std::to_string(bytes[3]);
}
