#include <shlobj.h>
#include <windows.h>

#include <limits>

#include "platform/platform.h"

namespace platform {

namespace {
// The locked byte lies at 2^62, where no log file ever reaches.
constexpr DWORD kLockOffsetHigh = 0x40000000;
}  // namespace

std::optional<std::string> DocumentsFolder() {
  char folder[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathA(nullptr, folder, CSIDL_PERSONAL, FALSE) || folder[0] == '\0') {
    return std::nullopt;
  }
  return std::string(folder);
}

char PathSeparator() { return '\\'; }

bool AppendLine(const std::string& path, const std::string& line) {
  // The log is a text file: every line end, including one inside the text,
  // is CR LF on disk.
  std::string record;
  record.reserve(line.size() + 2);
  for (const char c : line) {
    if (c == '\n') record += '\r';
    record += c;
  }
  record += "\r\n";
  if (record.size() > std::numeric_limits<DWORD>::max()) return false;

  // An append-only handle makes each write land at the end of the file. Wine
  // places such a write in two steps, so a lock on one byte far past any real
  // end also keeps writers in other threads and processes from landing on
  // the same spot; it never covers the text, so readers are not held up.
  const HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  OVERLAPPED lockPlace{};
  lockPlace.OffsetHigh = kLockOffsetHigh;
  const BOOL locked = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockPlace);
  DWORD written = 0;
  const BOOL ok =
      WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  if (locked) UnlockFileEx(file, 0, 1, 0, &lockPlace);
  CloseHandle(file);
  return ok && written == record.size();
}

}  // namespace platform
