#include "common/log.h"

#include <cstdio>

#include "platform/platform.h"

namespace {
// MAX_PATH: room for 259 characters and the terminator.
constexpr std::size_t kMaxPathCharacters = 259;
}  // namespace

std::optional<std::string> ModuleFolder() {
  const auto documents = platform::DocumentsFolder();
  if (!documents) return std::nullopt;
  const char sep = platform::PathSeparator();
  return *documents + sep + "Veltrana" + sep + "Quelvo";
}

std::optional<std::string> ModuleFilePath(const char* fileName) {
  const auto folder = ModuleFolder();
  if (!folder) return std::nullopt;
  std::string path = *folder + platform::PathSeparator() + fileName;
  if (path.size() > kMaxPathCharacters) return std::nullopt;
  return path;
}

void LogMessage(std::string text) {
  if (const auto path = ModuleFilePath("SharedDetails.log")) {
    platform::AppendLine(*path, text);
  }
}

void PrintAndLog(const std::string& text) {
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
  LogMessage(text);
}
