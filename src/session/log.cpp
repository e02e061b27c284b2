#include "session/log.h"

#include "platform/platform.h"

namespace {
// MAX_PATH: room for 259 characters and the terminator.
constexpr std::size_t kMaxPathCharacters = 259;
}  // namespace

std::optional<std::string> ModuleFilePath(const char* fileName) {
  const auto documents = platform::DocumentsFolder();
  if (!documents) return std::nullopt;
  const char sep = platform::PathSeparator();
  std::string path = *documents;
  path += sep;
  path += "Veltrana";
  path += sep;
  path += "Quelvo";
  path += sep;
  path += fileName;
  if (path.size() > kMaxPathCharacters) return std::nullopt;
  return path;
}

void LogMessage(std::string text) {
  if (const auto path = ModuleFilePath("SharedDetails.log")) {
    platform::AppendLine(*path, text);
  }
}
