// Little-endian field writers and readers for the wire records: every field
// is put at its offset byte by byte, so the bytes on the wire do not depend
// on the compiler's layout or the host's byte order.
#pragma once

#include <bit>
#include <cstdint>

namespace le {

inline void PutU16(std::uint8_t* at, std::uint16_t v) {
  at[0] = static_cast<std::uint8_t>(v);
  at[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutU32(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void PutU64(std::uint8_t* at, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void PutI32(std::uint8_t* at, std::int32_t v) { PutU32(at, static_cast<std::uint32_t>(v)); }
inline void PutI64(std::uint8_t* at, std::int64_t v) { PutU64(at, static_cast<std::uint64_t>(v)); }
inline void PutDouble(std::uint8_t* at, double v) { PutU64(at, std::bit_cast<std::uint64_t>(v)); }
inline void PutFloat(std::uint8_t* at, float v) { PutU32(at, std::bit_cast<std::uint32_t>(v)); }

inline std::uint16_t GetU16(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] | at[1] << 8);
}
inline std::uint32_t GetU32(const std::uint8_t* at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= std::uint32_t{at[i]} << (8 * i);
  return v;
}
inline std::uint64_t GetU64(const std::uint8_t* at) {
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v |= std::uint64_t{at[i]} << (8 * i);
  return v;
}
inline std::int32_t GetI32(const std::uint8_t* at) { return static_cast<std::int32_t>(GetU32(at)); }
inline std::int64_t GetI64(const std::uint8_t* at) { return static_cast<std::int64_t>(GetU64(at)); }
inline double GetDouble(const std::uint8_t* at) { return std::bit_cast<double>(GetU64(at)); }
inline float GetFloat(const std::uint8_t* at) { return std::bit_cast<float>(GetU32(at)); }

}  // namespace le
