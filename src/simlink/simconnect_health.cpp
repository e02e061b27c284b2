#include "simlink/simconnect_health.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "common/log.h"
#include "common/log_limit.h"

namespace {

constexpr std::int64_t kExceptionWindowMs = 60000;

// Written by the simulator thread, read by the receive thread before it
// writes the gear handle.
std::atomic<bool> connectionLive{false};

// Simulator thread only.
struct ExceptionLog {
  bool windowOpen = false;
  std::int64_t windowStartMs = 0;
  int linesInWindow = 0;
  std::uint64_t unlogged = 0;
  SimConnectRecvException latest{};
};
ExceptionLog exceptionLog;

std::string Hex(SimConnectResult result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(result));
  return text;
}

std::string Describe(const SimConnectRecvException& exception) {
  return std::to_string(exception.dwException) + " (send id " + std::to_string(exception.dwSendID) +
         ", parameter " + std::to_string(exception.dwIndex) + ")";
}

}  // namespace

void NoteSimConnectOpen(SimConnectResult result) {
  exceptionLog = ExceptionLog();
  connectionLive.store(result == 0, std::memory_order_relaxed);
  if (result != 0) {
    LogMessage("SimConnect open failed with result " + Hex(result) +
               ": the aircraft is not read or moved while this simulator runs");
  }
}

bool SimConnectLive() { return connectionLive.load(std::memory_order_relaxed); }

void NoteSimConnectQuit() {
  if (!connectionLive.exchange(false, std::memory_order_relaxed)) return;
  LogMessage(
      "SimConnect quit: the simulator ended the session; the aircraft is no longer read or "
      "moved");
}

void NoteSimConnectClosed() { connectionLive.store(false, std::memory_order_relaxed); }

void NoteSimConnectException(const SimConnectRecvException& exception) {
  ExceptionLog& log = exceptionLog;
  const std::int64_t now = SteadyNowMs();
  if (!log.windowOpen || now - log.windowStartMs >= kExceptionWindowMs) {
    FlushSimConnectExceptions();
    log.windowOpen = true;
    log.windowStartMs = now;
    log.linesInWindow = 0;
  }
  if (log.linesInWindow < kExceptionLinesPerMinute) {
    ++log.linesInWindow;
    LogMessage("SimConnect exception " + Describe(exception));
    return;
  }
  ++log.unlogged;
  log.latest = exception;
}

void FlushSimConnectExceptions() {
  ExceptionLog& log = exceptionLog;
  if (log.unlogged == 0) return;
  LogMessage("SimConnect exceptions: " + std::to_string(log.unlogged) +
             " more not logged, the latest " + Describe(log.latest));
  log.unlogged = 0;
}
