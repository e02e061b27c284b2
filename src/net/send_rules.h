// The send rules: how a send pass sends the change of one table entry, by
// its category, tried in a fixed order until one takes the entry.
#pragma once

#include <cstdint>

#include "net/role_loop.h"

// Polls every entry of the table and sends what changed by the first rule
// that takes it; under ReliableChangeRule::kEndsScan the scan ends at the
// first reliable change.
void ScanTable(const RoleOutput& output, ReliableChangeRule rule, std::int64_t nowMs);
