#include "common/stoppable_thread.h"

#include <system_error>

bool StoppableThread::Start(std::function<void(StoppableThread&)> body) {
  if (thread_.joinable()) return true;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = false;
  }
  try {
    thread_ = std::thread([this, body = std::move(body)] { body(*this); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void StoppableThread::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

bool StoppableThread::WaitForStop(std::chrono::milliseconds time) {
  std::unique_lock<std::mutex> lock(mutex_);
  return wake_.wait_for(lock, time, [this] { return stop_; });
}

bool StoppableThread::StopAsked() {
  std::lock_guard<std::mutex> lock(mutex_);
  return stop_;
}
