// A background thread of the session that sleeps in waits a stop request cuts
// short: the router's lease renewal and the lookup of line 1's host name.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class StoppableThread {
 public:
  // Starts `body` unless a thread runs already; false when none could be had.
  bool Start(std::function<void(StoppableThread&)> body);
  // Asks the thread to stop and waits for it to end.
  void Stop();
  // Sleeps up to `time`; true when a stop was asked for.
  bool WaitForStop(std::chrono::milliseconds time);
  bool StopAsked();

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};
