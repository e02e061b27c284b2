// Reads a stand-in trace back as JSON objects, one per line.
#pragma once

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

inline std::vector<nlohmann::json> ReadTrace(const std::filesystem::path& path) {
  std::vector<nlohmann::json> records;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) records.push_back(nlohmann::json::parse(line));
  return records;
}

inline std::vector<nlohmann::json> OfType(const std::vector<nlohmann::json>& records,
                                          const std::string& type) {
  std::vector<nlohmann::json> found;
  for (const auto& record : records) {
    if (record.at("type") == type) found.push_back(record);
  }
  return found;
}
