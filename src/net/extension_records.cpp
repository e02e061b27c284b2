#include "net/extension_records.h"

#include <algorithm>
#include <cmath>

#include "net/le_fields.h"

namespace {

constexpr std::size_t kHelloVersionAt = 5;
constexpr std::size_t kHelloFlagsAt = 6;
constexpr std::size_t kHelloFingerprintAt = 8;
constexpr std::size_t kHelloSessionAt = 16;
constexpr std::size_t kStampedFlagsAt = 5;
constexpr std::size_t kStampedPositionAt = 8;
constexpr std::size_t kStampedValueAt = 12;
constexpr std::size_t kStampedStampAt = 16;
constexpr std::size_t kClockAt = 8;
constexpr std::size_t kDigestCountAt = 5;
constexpr std::size_t kDigestBlockEntriesAt = 6;
constexpr std::size_t kDigestFirstBlockAt = 8;
constexpr std::size_t kDigestHashesAt = 12;
static_assert(kDigestHashesAt + 4 * kDigestHashesPerRecord == kMessageSize);

MessageBytes Begin(std::uint8_t type) {
  MessageBytes bytes{};
  le::PutI32(bytes.data() + kExtensionKindAt, kind::kExtension);
  bytes[kExtensionTypeAt] = type;
  return bytes;
}

}  // namespace

MessageBytes EncodeHello(const Hello& hello) {
  MessageBytes bytes = Begin(extension::kHello);
  bytes[kHelloVersionAt] = hello.version;
  bytes[kHelloFlagsAt] = static_cast<std::uint8_t>(
      (hello.flies ? hello_flag::kFlies : 0) | (hello.displaySync ? hello_flag::kDisplaySync : 0) |
      (hello.weatherSync ? hello_flag::kWeatherSync : 0) |
      (hello.connectedBefore ? hello_flag::kConnectedBefore : 0));
  le::PutU64(bytes.data() + kHelloFingerprintAt, hello.fingerprint);
  le::PutU64(bytes.data() + kHelloSessionAt, hello.sessionId);
  return bytes;
}

MessageBytes EncodeStampedValue(const StampedValue& value) {
  MessageBytes bytes = Begin(extension::kStampedValue);
  bytes[kStampedFlagsAt] = value.exchange ? stamped_flag::kExchange : 0;
  le::PutU32(bytes.data() + kStampedPositionAt, value.position);
  le::PutFloat(bytes.data() + kStampedValueAt, value.value);
  le::PutI64(bytes.data() + kStampedStampAt, value.stampMs);
  return bytes;
}

MessageBytes EncodeClock(const ClockSample& clock) {
  MessageBytes bytes = Begin(extension::kClock);
  le::PutI64(bytes.data() + kClockAt, clock.nowMs);
  return bytes;
}

MessageBytes EncodeDigest(const Digest& digest) {
  MessageBytes bytes = Begin(extension::kDigest);
  bytes[kDigestCountAt] = digest.count;
  le::PutU32(bytes.data() + kDigestFirstBlockAt, digest.firstBlock);
  le::PutU16(bytes.data() + kDigestBlockEntriesAt, digest.blockEntries);
  for (std::size_t i = 0; i < digest.count && i < kDigestHashesPerRecord; ++i) {
    le::PutU32(bytes.data() + kDigestHashesAt + 4 * i, digest.hashes[i]);
  }
  return bytes;
}

std::uint8_t DecodeExtensionType(const std::uint8_t* bytes) { return bytes[kExtensionTypeAt]; }

Hello DecodeHello(const std::uint8_t* bytes) {
  const std::uint8_t flags = bytes[kHelloFlagsAt];
  Hello hello;
  hello.version = bytes[kHelloVersionAt];
  hello.flies = (flags & hello_flag::kFlies) != 0;
  hello.displaySync = (flags & hello_flag::kDisplaySync) != 0;
  hello.weatherSync = (flags & hello_flag::kWeatherSync) != 0;
  hello.connectedBefore = (flags & hello_flag::kConnectedBefore) != 0;
  hello.fingerprint = le::GetU64(bytes + kHelloFingerprintAt);
  hello.sessionId = le::GetU64(bytes + kHelloSessionAt);
  return hello;
}

std::optional<StampedValue> DecodeStampedValue(const std::uint8_t* bytes) {
  StampedValue value;
  value.position = le::GetU32(bytes + kStampedPositionAt);
  value.value = le::GetFloat(bytes + kStampedValueAt);
  value.stampMs = std::clamp(le::GetI64(bytes + kStampedStampAt), kNeverStamp, kLatestStamp);
  value.exchange = (bytes[kStampedFlagsAt] & stamped_flag::kExchange) != 0;
  if (!std::isfinite(value.value)) return std::nullopt;
  return value;
}

ClockSample DecodeClock(const std::uint8_t* bytes) {
  return ClockSample{le::GetI64(bytes + kClockAt)};
}

std::optional<Digest> DecodeDigest(const std::uint8_t* bytes) {
  Digest digest;
  digest.count = bytes[kDigestCountAt];
  if (digest.count == 0 || digest.count > kDigestHashesPerRecord) return std::nullopt;
  digest.blockEntries = le::GetU16(bytes + kDigestBlockEntriesAt);
  digest.firstBlock = le::GetU32(bytes + kDigestFirstBlockAt);
  for (std::size_t i = 0; i < digest.count; ++i) {
    digest.hashes[i] = le::GetU32(bytes + kDigestHashesAt + 4 * i);
  }
  return digest;
}
