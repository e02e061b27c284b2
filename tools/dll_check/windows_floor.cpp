#include "windows_floor.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace module_check {
namespace {

enum Release { kXp, kVista, kWindows7, kWindows8, kWindows10 };
const char* const kReleaseNames[] = {"Windows XP", "Windows Vista", "Windows 7", "Windows 8",
                                     "Windows 10"};
constexpr Release kSupported = kVista;

struct NewerFunction {
  const char* dll;  // lower case
  const char* name;
  Release since;
};

// Functions of Windows' own libraries that Windows XP SP3 lacks, among them
// those that MinGW-w64's runtime, winpthreads and socket code may import.
constexpr std::array kNewerFunctions{
    NewerFunction{"kernel32.dll", "GetTickCount64", kVista},
    NewerFunction{"kernel32.dll", "InitializeSRWLock", kVista},
    NewerFunction{"kernel32.dll", "AcquireSRWLockExclusive", kVista},
    NewerFunction{"kernel32.dll", "AcquireSRWLockShared", kVista},
    NewerFunction{"kernel32.dll", "ReleaseSRWLockExclusive", kVista},
    NewerFunction{"kernel32.dll", "ReleaseSRWLockShared", kVista},
    NewerFunction{"kernel32.dll", "InitializeConditionVariable", kVista},
    NewerFunction{"kernel32.dll", "SleepConditionVariableCS", kVista},
    NewerFunction{"kernel32.dll", "SleepConditionVariableSRW", kVista},
    NewerFunction{"kernel32.dll", "WakeConditionVariable", kVista},
    NewerFunction{"kernel32.dll", "WakeAllConditionVariable", kVista},
    NewerFunction{"kernel32.dll", "InitOnceExecuteOnce", kVista},
    NewerFunction{"kernel32.dll", "InitOnceBeginInitialize", kVista},
    NewerFunction{"kernel32.dll", "InitOnceComplete", kVista},
    NewerFunction{"kernel32.dll", "InitializeCriticalSectionEx", kVista},
    NewerFunction{"kernel32.dll", "CreateEventExA", kVista},
    NewerFunction{"kernel32.dll", "CreateEventExW", kVista},
    NewerFunction{"kernel32.dll", "CreateMutexExA", kVista},
    NewerFunction{"kernel32.dll", "CreateMutexExW", kVista},
    NewerFunction{"kernel32.dll", "CreateSemaphoreExA", kVista},
    NewerFunction{"kernel32.dll", "CreateSemaphoreExW", kVista},
    NewerFunction{"kernel32.dll", "FlsAlloc", kVista},
    NewerFunction{"kernel32.dll", "FlsFree", kVista},
    NewerFunction{"kernel32.dll", "FlsGetValue", kVista},
    NewerFunction{"kernel32.dll", "FlsSetValue", kVista},
    NewerFunction{"kernel32.dll", "GetErrorMode", kVista},
    NewerFunction{"kernel32.dll", "CancelIoEx", kVista},
    NewerFunction{"kernel32.dll", "GetQueuedCompletionStatusEx", kVista},
    NewerFunction{"kernel32.dll", "GetFileInformationByHandleEx", kVista},
    NewerFunction{"kernel32.dll", "SetFileInformationByHandle", kVista},
    NewerFunction{"kernel32.dll", "GetFinalPathNameByHandleA", kVista},
    NewerFunction{"kernel32.dll", "GetFinalPathNameByHandleW", kVista},
    NewerFunction{"kernel32.dll", "QueryFullProcessImageNameA", kVista},
    NewerFunction{"kernel32.dll", "QueryFullProcessImageNameW", kVista},
    NewerFunction{"kernel32.dll", "CreateSymbolicLinkA", kVista},
    NewerFunction{"kernel32.dll", "CreateSymbolicLinkW", kVista},
    NewerFunction{"kernel32.dll", "GetLocaleInfoEx", kVista},
    NewerFunction{"kernel32.dll", "CompareStringEx", kVista},
    NewerFunction{"kernel32.dll", "LCMapStringEx", kVista},
    NewerFunction{"kernel32.dll", "TryAcquireSRWLockExclusive", kWindows7},
    NewerFunction{"kernel32.dll", "TryAcquireSRWLockShared", kWindows7},
    NewerFunction{"kernel32.dll", "GetActiveProcessorCount", kWindows7},
    NewerFunction{"kernel32.dll", "GetCurrentProcessorNumberEx", kWindows7},
    NewerFunction{"kernel32.dll", "SetDefaultDllDirectories", kWindows8},
    NewerFunction{"kernel32.dll", "AddDllDirectory", kWindows8},
    NewerFunction{"kernel32.dll", "RemoveDllDirectory", kWindows8},
    NewerFunction{"kernel32.dll", "GetSystemTimePreciseAsFileTime", kWindows8},
    NewerFunction{"kernel32.dll", "CreateFile2", kWindows8},
    NewerFunction{"kernel32.dll", "GetCurrentThreadStackLimits", kWindows8},
    NewerFunction{"kernel32.dll", "InitializeSynchronizationBarrier", kWindows8},
    NewerFunction{"kernel32.dll", "EnterSynchronizationBarrier", kWindows8},
    NewerFunction{"kernel32.dll", "DeleteSynchronizationBarrier", kWindows8},
    NewerFunction{"kernel32.dll", "SetThreadDescription", kWindows10},
    NewerFunction{"kernel32.dll", "GetThreadDescription", kWindows10},
    NewerFunction{"ws2_32.dll", "inet_pton", kVista},
    NewerFunction{"ws2_32.dll", "inet_ntop", kVista},
    NewerFunction{"ws2_32.dll", "InetPtonW", kVista},
    NewerFunction{"ws2_32.dll", "InetNtopW", kVista},
    NewerFunction{"ws2_32.dll", "WSAPoll", kVista},
    NewerFunction{"ws2_32.dll", "WSASendMsg", kVista},
    NewerFunction{"ws2_32.dll", "GetAddrInfoExA", kVista},
    NewerFunction{"ws2_32.dll", "GetAddrInfoExW", kVista},
    NewerFunction{"ws2_32.dll", "WSAConnectByNameA", kVista},
    NewerFunction{"ws2_32.dll", "WSAConnectByNameW", kVista},
    NewerFunction{"ws2_32.dll", "GetAddrInfoExCancel", kWindows8},
    NewerFunction{"shell32.dll", "SHGetKnownFolderPath", kVista},
    NewerFunction{"shell32.dll", "SHGetKnownFolderIDList", kVista},
    NewerFunction{"shell32.dll", "SHCreateItemFromParsingName", kVista},
};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

Finding CheckWindowsFloor(const pe::Image& image, const std::string& fileName) {
  std::string error;
  const auto imports = image.Imports(&error);
  if (!imports) return {false, fileName + " import table: " + error};
  Release floor = kXp;
  std::string setBy;
  for (const auto& import : *imports) {
    const std::string dll = Lower(import.dll);
    for (const auto& name : import.functions) {
      const auto newer =
          std::find_if(kNewerFunctions.begin(), kNewerFunctions.end(),
                       [&](const NewerFunction& f) { return f.dll == dll && f.name == name; });
      if (newer == kNewerFunctions.end()) continue;
      floor = std::max(floor, newer->since);
      setBy += std::string(setBy.empty() ? "" : ", ") + import.dll + " " + name + " (" +
               kReleaseNames[newer->since] + ")";
    }
  }
  const bool ok = floor <= kSupported;
  return {ok, fileName + (ok ? " loads on " : " does not load on ") + kReleaseNames[kSupported] +
                  ": it needs " + kReleaseNames[floor] + " or later" +
                  (setBy.empty() ? std::string() : ", for " + setBy)};
}

}  // namespace module_check
