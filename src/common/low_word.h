// The low 32 bits of a double truncated toward zero, as the wire's record
// index, the relayed key events' data and the tiller's client event carry it.
#pragma once

#include <cstdint>

// `x` truncated toward zero to a 64-bit integer, of which the low 32 bits are
// kept. A value that has no 64-bit integer (not a number, an infinity, 2^63
// or more in size) gives 0, since converting it is undefined.
inline std::uint32_t LowWord(double x) {
  constexpr double kTwoTo63 = 9223372036854775808.0;
  if (!(x >= -kTwoTo63 && x < kTwoTo63)) return 0;
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(x)));
}
