// The fixed named variables' identifiers as every thread reaches them: a slot
// is used only once the simulator has named its identifier.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// The identifier in CockpitVars::id[idSlot], or nothing while unresolved.
std::optional<std::uint32_t> FixedId(std::size_t idSlot);
// The variable's value, or nothing while its name is unresolved.
std::optional<double> ReadFixed(std::size_t idSlot);
// Writes the variable; a write to an unresolved name is dropped, since there
// is no identifier to write through.
void WriteFixed(std::size_t idSlot, double value);
// Looks one fixed name up and, when the simulator knows it, fills its slot.
// Simulator thread.
void ResolveFixed(const char* name, std::size_t idSlot);
