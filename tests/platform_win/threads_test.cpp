// Threads of the Windows platform layer: the detached send loop and the
// joinable receive loop that the send loop waits for.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <vector>

#include "platform/platform.h"

namespace {

struct Work {
  std::atomic<int> done{0};
  std::atomic<unsigned> counter{0};
};

unsigned SlowJoinable(void* raw) {
  auto* work = static_cast<Work*>(raw);
  platform::SleepMs(50);
  work->done.store(1);
  return 0;
}

unsigned Counting(void* raw) {
  auto* work = static_cast<Work*>(raw);
  for (int i = 0; i < 1000; ++i) work->counter.fetch_add(1);
  return 0;
}

TEST(ThreadsTest, WaitReturnsOnlyAfterTheJoinableThreadEnded) {
  Work work;
  const platform::ThreadHandle thread = platform::StartJoinableThread(SlowJoinable, &work);
  ASSERT_NE(thread, platform::kNoThread);
  platform::WaitThread(thread);
  EXPECT_EQ(work.done.load(), 1);
}

TEST(ThreadsTest, SeveralJoinableThreadsRunAtOnceAndAreAllWaitedFor) {
  Work work;
  std::vector<platform::ThreadHandle> threads;
  for (int i = 0; i < 8; ++i) threads.push_back(platform::StartJoinableThread(Counting, &work));
  for (const auto thread : threads) {
    ASSERT_NE(thread, platform::kNoThread);
    platform::WaitThread(thread);
  }
  EXPECT_EQ(work.counter.load(), 8000u);
}

TEST(ThreadsTest, SleepPausesAtLeastAboutTheTimeAsked) {
  const ULONGLONG before = GetTickCount64();
  platform::SleepMs(60);
  // The system tick is up to about 16 ms coarse.
  EXPECT_GE(GetTickCount64() - before, 40u);
}

}  // namespace
