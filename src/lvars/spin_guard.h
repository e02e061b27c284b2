// A lock for very short sections that two threads rarely want at once: a
// table entry's poll against a value applied from the peer. Unlocking is a
// plain release store, where a mutex needs an atomic read-modify-write and a
// check for sleepers; the send pass takes one for every entry it polls.
#pragma once

#include <atomic>
#include <thread>

class SpinGuard {
 public:
  void lock() {
    while (held_.test_and_set(std::memory_order_acquire)) {
      // The holder may have been preempted: give it the processor.
      std::this_thread::yield();
    }
  }
  void unlock() { held_.clear(std::memory_order_release); }

 private:
  std::atomic_flag held_ = ATOMIC_FLAG_INIT;
};
