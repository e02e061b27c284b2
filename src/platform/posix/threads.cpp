#include <pthread.h>
#include <time.h>

#include <cerrno>
#include <new>

#include "platform/platform.h"

namespace platform {

namespace {

struct JoinableStart {
  JoinableRoutine routine;
  void* argument;
};

void* RunJoinable(void* raw) {
  const JoinableStart start = *static_cast<JoinableStart*>(raw);
  delete static_cast<JoinableStart*>(raw);
  start.routine(start.argument);
  return nullptr;
}

}  // namespace

ThreadHandle StartJoinableThread(JoinableRoutine routine, void* argument) {
  static_assert(sizeof(pthread_t) <= sizeof(ThreadHandle));
  auto* start = new (std::nothrow) JoinableStart{routine, argument};
  if (start == nullptr) return kNoThread;
  pthread_t thread;
  if (pthread_create(&thread, nullptr, RunJoinable, start) != 0) {
    delete start;
    return kNoThread;
  }
  return static_cast<ThreadHandle>(thread);
}

void WaitThread(ThreadHandle handle) {
  if (handle == kNoThread) return;
  pthread_join(static_cast<pthread_t>(handle), nullptr);
}

void SleepMs(unsigned milliseconds) {
  timespec pause{static_cast<time_t>(milliseconds / 1000),
                 static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
  }
}

void NameThisThread(const char* name) { pthread_setname_np(pthread_self(), name); }

std::uint64_t CurrentThreadId() { return static_cast<std::uint64_t>(pthread_self()); }

// The POSIX builds are 64-bit: doubles are computed in SSE (or the
// architecture's own floating-point) registers, which have no precision setting.
DoublePrecisionScope::DoublePrecisionScope() = default;
DoublePrecisionScope::~DoublePrecisionScope() = default;

}  // namespace platform
