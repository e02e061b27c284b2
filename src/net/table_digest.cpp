#include "net/table_digest.h"

#include <algorithm>
#include <bit>

#include "common/module_state.h"
#include "net/extension_records.h"

namespace {

constexpr std::uint32_t kFnvOffset = 2166136261u;
constexpr std::uint32_t kFnvPrime = 16777619u;

void Mix(std::uint32_t& hash, std::uint32_t word) {
  for (int i = 0; i < 4; ++i) {
    hash ^= (word >> (8 * i)) & 0xFFu;
    hash *= kFnvPrime;
  }
}

}  // namespace

std::uint32_t DigestBlockCount() {
  return (LoadedEntryCount() + kDigestBlockEntries - 1) / kDigestBlockEntries;
}

std::uint32_t BlockHash(std::uint32_t block, const Switches& switches) {
  const std::uint32_t count = LoadedEntryCount();
  const std::uint32_t from = std::min(block * kDigestBlockEntries, count);
  const std::uint32_t to = std::min(from + kDigestBlockEntries, count);
  std::uint32_t hash = kFnvOffset;
  for (std::uint32_t i = from; i < to; ++i) {
    const LVarEntry& e = *simThread.lvarTable[i];
    if (!Shared(e.category, switches)) continue;
    const float value = Load(e.value);
    Mix(hash, i);
    Mix(hash, value == 0.0f ? 0u : std::bit_cast<std::uint32_t>(value));
  }
  return hash;
}

std::vector<std::uint8_t> DigestRecords(const Switches& switches) {
  const std::uint32_t blocks = DigestBlockCount();
  std::vector<std::uint8_t> bytes;
  bytes.reserve((blocks / kDigestHashesPerRecord + 1) * kMessageSize);
  for (std::uint32_t first = 0; first < blocks; first += kDigestHashesPerRecord) {
    Digest digest;
    digest.firstBlock = first;
    digest.blockEntries = kDigestBlockEntries;
    digest.count =
        static_cast<std::uint8_t>(std::min<std::uint32_t>(kDigestHashesPerRecord, blocks - first));
    for (std::uint8_t k = 0; k < digest.count; ++k)
      digest.hashes[k] = BlockHash(first + k, switches);
    const MessageBytes record = EncodeDigest(digest);
    bytes.insert(bytes.end(), record.begin(), record.end());
  }
  return bytes;
}
