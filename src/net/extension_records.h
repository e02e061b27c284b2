// The records of the extension that two instances of this module speak on
// top of the protocol: a hello that tells what is at the other end, the
// table's names, values stamped with when they changed, a clock sample and
// a digest of the shared values.
// Each is one 24-byte record of kind kExtension on the reliable channel, so
// a peer that speaks only the protocol skips it as a kind it does not know.
// Fields are little-endian at the offsets given; the encoders write them
// byte by byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "net/wire_records.h"

namespace kind {
// Far from the protocol's kinds (0, 1, 2, 8, 23, 24).
inline constexpr std::int32_t kExtension = 0x4D53;  // "SM" read as bytes
}  // namespace kind

inline constexpr std::uint8_t kExtensionVersion = 1;

// What a kExtension record carries: the byte at offset 4.
namespace extension {
inline constexpr std::uint8_t kHello = 1;
inline constexpr std::uint8_t kName = 2;
inline constexpr std::uint8_t kStampedValue = 3;
inline constexpr std::uint8_t kClock = 4;
inline constexpr std::uint8_t kDigest = 5;
}  // namespace extension

// Offsets shared by every extension record.
inline constexpr std::size_t kExtensionKindAt = 0;  // int32 kExtension
inline constexpr std::size_t kExtensionTypeAt = 4;  // uint8 extension::k...

// Hello: sent first on every new reliable connection, and again whenever
// the switches it reports change.
//   @5 uint8 version, @6 uint8 flags (HelloFlag), @7 uint8 0,
//   @8 uint64 fingerprint of the named-variable table,
//   @16 uint64 random id of this side's session.
namespace hello_flag {
inline constexpr std::uint8_t kFlies = 1;
inline constexpr std::uint8_t kDisplaySync = 2;
inline constexpr std::uint8_t kWeatherSync = 4;
inline constexpr std::uint8_t kConnectedBefore = 8;
}  // namespace hello_flag

struct Hello {
  std::uint8_t version = kExtensionVersion;
  bool flies = false;
  bool displaySync = false;
  bool weatherSync = false;
  bool connectedBefore = false;
  std::uint64_t fingerprint = 0;
  std::uint64_t sessionId = 0;
};

// Name: one piece of the name of a table entry, sent after the hellos when
// the two tables' fingerprints differ, entry by entry in table order.
//   @5 uint8 bytes of text in this piece (0 to kNamePieceBytes),
//   @6 uint8 flags (name_flag), @7 uint8 the entry's category,
//   @8 uint32 the entry's position, @12 kNamePieceBytes bytes of text.
inline constexpr std::size_t kNamePieceBytes = 12;
namespace name_flag {
inline constexpr std::uint8_t kNameEnds = 1;   // the last piece of this name
inline constexpr std::uint8_t kTableEnds = 2;  // ... and of the last entry
}  // namespace name_flag

struct NamePiece {
  std::uint32_t position = 0;
  std::uint8_t category = 0;
  bool nameEnds = false;
  bool tableEnds = false;
  std::string text;  // at most kNamePieceBytes bytes
};

// Stamped value: a table entry's value and when it took it, on the sender's
// steady clock (kNeverStamp: never changed in this session). Stamps are
// kept within a quarter of the 64-bit range, so that differences of two never
// overflow.
// A value sent in the exchange that follows the hellos, or in answer to one,
// is marked: there the side that kept its session prevails over a side that
// has just started one.
//   @5 uint8 flags (stamped_flag), @6 uint16 0, @8 uint32 the sender's
//   position of the entry, @12 float32 value, @16 int64 stamp in milliseconds.
inline constexpr std::int64_t kNeverStamp = std::numeric_limits<std::int64_t>::min() / 4;
inline constexpr std::int64_t kLatestStamp = std::numeric_limits<std::int64_t>::max() / 4;
namespace stamped_flag {
inline constexpr std::uint8_t kExchange = 1;
}  // namespace stamped_flag

struct StampedValue {
  std::uint32_t position = 0;
  float value = 0.0f;
  std::int64_t stampMs = kNeverStamp;
  bool exchange = false;
};

// Clock: the sender's steady clock as it sends, in milliseconds.
//   @5..@7 0, @8 int64 milliseconds, @16 8 bytes 0.
struct ClockSample {
  std::int64_t nowMs = 0;
};

// Digest: one hash for each block of table positions, over the values the
// two sides share in it (net/table_digest.h), so that only a block that
// differs is sent as values.
//   @5 uint8 hashes in this record (1 to kDigestHashesPerRecord),
//   @6 uint16 table positions per block, @8 uint32 the first hash's block,
//   @12 kDigestHashesPerRecord uint32 hashes (those past the count 0).
inline constexpr std::size_t kDigestHashesPerRecord = 3;

struct Digest {
  std::uint32_t firstBlock = 0;
  std::uint16_t blockEntries = 0;
  std::uint8_t count = 0;
  std::array<std::uint32_t, kDigestHashesPerRecord> hashes{};
};

MessageBytes EncodeHello(const Hello& hello);
MessageBytes EncodeNamePiece(const NamePiece& piece);
MessageBytes EncodeStampedValue(const StampedValue& value);
MessageBytes EncodeClock(const ClockSample& clock);
MessageBytes EncodeDigest(const Digest& digest);

// The extension type of a record of kind kExtension.
std::uint8_t DecodeExtensionType(const std::uint8_t* bytes);
// Each decoder reads the 24 bytes at `bytes`, a record of its type; none when
// a field is out of its range (a piece longer than kNamePieceBytes, a value
// that is not finite, a digest without hashes or with more than a record
// holds); a stamp beyond the kept range is brought into it.
Hello DecodeHello(const std::uint8_t* bytes);
std::optional<NamePiece> DecodeNamePiece(const std::uint8_t* bytes);
std::optional<StampedValue> DecodeStampedValue(const std::uint8_t* bytes);
ClockSample DecodeClock(const std::uint8_t* bytes);
std::optional<Digest> DecodeDigest(const std::uint8_t* bytes);
