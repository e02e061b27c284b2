#include "demo_monitor_trace.h"

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string_view>

namespace trace {
namespace {

using nlohmann::json;

double Number(const json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end()) return 0.0;
  if (it->is_boolean()) return it->get<bool>() ? 1.0 : 0.0;
  return it->is_number() ? it->get<double>() : 0.0;
}

By WhoWrote(const json& object) {
  const std::string by = object.value("by", "");
  if (by == "module") return By::kModule;
  if (by == "script") return By::kScript;
  return By::kOther;
}

std::uint32_t Word(const json& object, const char* key) {
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(Number(object, key)));
}

}  // namespace

std::optional<Record> ParseTraceLine(const std::string& line) {
  const json object = json::parse(line, nullptr, /*allow_exceptions=*/false);
  if (!object.is_object() || !object.contains("t") || !object.contains("mono_ns") ||
      !object.contains("type") || !object["type"].is_string()) {
    return std::nullopt;
  }
  Record record;
  record.t = Number(object, "t");
  record.monoNs = object["mono_ns"].is_number() ? object["mono_ns"].get<std::int64_t>() : 0;
  const std::string type = object["type"].get<std::string>();
  if (type == "lvar_write") {
    record.body = LvarWrite{object.value("name", ""), Number(object, "value"), WhoWrote(object)};
  } else if (type == "key_event") {
    record.body = KeyEvent{Word(object, "id"), Word(object, "data"), WhoWrote(object)};
  } else if (type == "set_data") {
    record.body = SetData{Word(object, "definition"), Number(object, "value")};
  } else if (type == "client_event") {
    record.body = ClientEvent{Word(object, "event"), Word(object, "data")};
  } else if (type == "aircraft") {
    record.body =
        Aircraft{Number(object, "lat"),     Number(object, "lon"),   Number(object, "alt"),
                 Number(object, "heading"), Number(object, "pitch"), Number(object, "bank"),
                 Number(object, "vs"),      Number(object, "ias"),   Number(object, "gear")};
  }
  return record;
}

std::vector<Record> ReadTraceFile(const std::string& path, int* badLines) {
  std::vector<Record> records;
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    if (auto record = ParseTraceLine(line)) {
      records.push_back(std::move(*record));
    } else if (badLines != nullptr) {
      ++*badLines;
    }
  }
  return records;
}

double DistanceMetres(const Aircraft& a, const Aircraft& b) {
  constexpr double kEarthRadiusMetres = 6371000.0;
  constexpr double kMetresPerFoot = 0.3048;
  constexpr double kRadiansPerDegree = M_PI / 180.0;
  const double lat1 = a.lat * kRadiansPerDegree;
  const double lat2 = b.lat * kRadiansPerDegree;
  const double dLat = lat2 - lat1;
  const double dLon = (b.lon - a.lon) * kRadiansPerDegree;
  // Haversine: well conditioned for the short distances that matter here.
  const double h = std::sin(dLat / 2) * std::sin(dLat / 2) +
                   std::cos(lat1) * std::cos(lat2) * std::sin(dLon / 2) * std::sin(dLon / 2);
  const double ground = 2.0 * kEarthRadiusMetres * std::asin(std::sqrt(std::min(1.0, h)));
  const double vertical = (b.alt - a.alt) * kMetresPerFoot;
  return std::hypot(ground, vertical);
}

std::vector<TableEntry> ReadTable(const std::string& path) {
  std::vector<TableEntry> entries;
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const auto separator = line.find(';');
    entries.push_back({line.substr(0, separator),
                       separator == std::string::npos ? "" : line.substr(separator + 1)});
  }
  return entries;
}

int AppliedValuesIn(const std::string& line) {
  if (line.rfind("LvarsSet: ", 0) == 0) return 1;
  static constexpr std::string_view kBefore = "... and ";
  static constexpr std::string_view kAfter = " more values applied";
  if (line.size() <= kBefore.size() + kAfter.size() || line.rfind(kBefore, 0) != 0 ||
      line.compare(line.size() - kAfter.size(), kAfter.size(), kAfter) != 0) {
    return 0;
  }
  const std::string count =
      line.substr(kBefore.size(), line.size() - kBefore.size() - kAfter.size());
  if (count.find_first_not_of("0123456789") != std::string::npos || count.size() > 9) return 0;
  return std::stoi(count);
}

int CorrectedValues(const std::string& line) {
  static const std::string kPrefix = "Corrected from peer: ";
  static const std::string kMore = " more values";
  if (line.rfind(kPrefix, 0) != 0) return 0;
  const std::string rest = line.substr(kPrefix.size());
  if (rest.size() > kMore.size() &&
      rest.compare(rest.size() - kMore.size(), kMore.size(), kMore) == 0) {
    const std::string count = rest.substr(0, rest.size() - kMore.size());
    if (!count.empty() && count.find_first_not_of("0123456789") == std::string::npos) {
      return std::stoi(count);
    }
  }
  return 1;
}

}  // namespace trace
