// The digest that keeps two cockpits agreed at rest without resending their
// values: the table's positions in blocks of kDigestBlockEntries, one hash a
// block over the values of the entries the two sides share now (the owner
// rule's Shared, so momentary buttons never count). Each side sends its
// digest about once a second; a side that finds a block differing from its
// own answers with that block's stamped values, and the owner rule settles
// each entry as it settles any stamped value. Digests go only while the
// tables are the same, since they name positions.
#pragma once

#include <cstdint>
#include <vector>

#include "net/owner_rule.h"

inline constexpr std::uint16_t kDigestBlockEntries = 64;
inline constexpr std::int64_t kDigestPeriodMs = 1000;

// Blocks covering the loaded table.
std::uint32_t DigestBlockCount();
// FNV-1a over the position and value of each entry of `block` shared under
// `switches`; an equal value hashes alike whatever its sign of zero.
std::uint32_t BlockHash(std::uint32_t block, const Switches& switches);
// The digest records of the whole table, one after another.
std::vector<std::uint8_t> DigestRecords(const Switches& switches);
