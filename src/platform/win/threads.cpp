#include <process.h>
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <new>

#include "platform/platform.h"

namespace platform {

namespace {

struct JoinableStart {
  JoinableRoutine routine;
  void* argument;
};

// _beginthreadex wants the system's calling convention, which on 32-bit
// Windows is not the one of JoinableRoutine.
unsigned __stdcall RunJoinable(void* raw) {
  const JoinableStart start = *static_cast<JoinableStart*>(raw);
  delete static_cast<JoinableStart*>(raw);
  return start.routine(start.argument);
}

}  // namespace

ThreadHandle StartJoinableThread(JoinableRoutine routine, void* argument) {
  static_assert(sizeof(HANDLE) == sizeof(ThreadHandle));
  auto* start = new (std::nothrow) JoinableStart{routine, argument};
  if (start == nullptr) return kNoThread;
  const std::uintptr_t handle = _beginthreadex(nullptr, 0, RunJoinable, start, 0, nullptr);
  if (handle == 0) {
    delete start;
    return kNoThread;
  }
  return static_cast<ThreadHandle>(handle);
}

void WaitThread(ThreadHandle handle) {
  if (handle == kNoThread) return;
  const HANDLE thread = reinterpret_cast<HANDLE>(handle);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

void SleepMs(unsigned milliseconds) { Sleep(milliseconds); }

std::uint64_t CurrentThreadId() { return GetCurrentThreadId(); }

void NameThisThread(const char* name) {
  // SetThreadDescription exists from Windows 10 on; older systems, where the
  // simulator also runs, simply keep their threads unnamed.
  using SetDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return;
  const auto setDescription = reinterpret_cast<SetDescriptionFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetThreadDescription")));
  if (setDescription == nullptr) return;
  wchar_t wide[16] = {};
  for (std::size_t i = 0; i + 1 < std::size(wide) && name[i] != '\0'; ++i) {
    wide[i] = static_cast<unsigned char>(name[i]);
  }
  setDescription(GetCurrentThread(), wide);
}

#if defined(__i386__)
// The precision field of the x87 control word (bits 8 and 9): 10 is double.
constexpr std::uint16_t kPrecisionMask = 0x0300;
constexpr std::uint16_t kDoublePrecision = 0x0200;

DoublePrecisionScope::DoublePrecisionScope() {
  asm volatile("fnstcw %0" : "=m"(saved_));
  const std::uint16_t wanted = (saved_ & ~kPrecisionMask) | kDoublePrecision;
  asm volatile("fldcw %0" : : "m"(wanted));
}

DoublePrecisionScope::~DoublePrecisionScope() { asm volatile("fldcw %0" : : "m"(saved_)); }
#else
// 64-bit Windows computes doubles in SSE registers, which have no such setting.
DoublePrecisionScope::DoublePrecisionScope() = default;
DoublePrecisionScope::~DoublePrecisionScope() = default;
#endif

}  // namespace platform
