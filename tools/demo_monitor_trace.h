// The records of a simhost trace (JSON Lines), read back for the end-to-end
// tests and the demo's monitor, and the distance between two aircraft.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace trace {

// Who wrote a named variable or raised a key event.
enum class By { kModule, kScript, kOther };

struct LvarWrite {
  std::string name;
  double value = 0.0;
  By by = By::kOther;
};
struct KeyEvent {
  std::uint32_t id = 0;
  std::uint32_t data = 0;
  By by = By::kOther;
};
struct SetData {
  std::uint32_t definition = 0;
  double value = 0.0;
};
struct ClientEvent {
  std::uint32_t event = 0;
  std::uint32_t data = 0;
};
struct Aircraft {
  double lat = 0, lon = 0, alt = 0, heading = 0, pitch = 0, bank = 0, vs = 0, ias = 0, gear = 0;
};

struct Record {
  double t = 0.0;           // seconds since that simulator started
  std::int64_t monoNs = 0;  // CLOCK_MONOTONIC, comparable across both simulators
  std::variant<std::monostate, LvarWrite, KeyEvent, SetData, ClientEvent, Aircraft> body;
};

// One line of a trace; nothing when it is not a trace record (not JSON, or
// without "t", "mono_ns" and "type"). Unknown types keep an empty body.
std::optional<Record> ParseTraceLine(const std::string& line);

// Every record of a trace file, in file order; lines that are not records
// are counted in `badLines` when it is given.
std::vector<Record> ReadTraceFile(const std::string& path, int* badLines = nullptr);

// Straight-line distance in metres between two aircraft: great-circle
// distance over the ground combined with the altitude difference.
double DistanceMetres(const Aircraft& a, const Aircraft& b);

// A shared variable of an "LVars.cfg" file: its name and its category (the
// second field, empty for none).
struct TableEntry {
  std::string name;
  std::string category;
};

// The shared variables of an "LVars.cfg" file (one per non-empty line), in
// file order.
std::vector<TableEntry> ReadTable(const std::string& path);

// How many shared-variable values the module applied from its peer that a
// line of SharedDetails.log records: 1 for an "LvarsSet: " line, N for the
// summary "... and N more values applied" of lines the log left out, else 0.
int AppliedValuesIn(const std::string& line);

// How many values a line of SharedDetails.log says the peer's snapshot or
// refresh corrected: 1 for a named one, N for "N more values", else 0.
int CorrectedValues(const std::string& line);

}  // namespace trace
