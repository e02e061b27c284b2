#include "net/reliable_link.h"

#include <cstdio>
#include <cstring>

#include "common/log.h"
#include "common/log_limit.h"
#include "common/module_state.h"
#include "platform/platform.h"

namespace {

constexpr int kTimeoutMs = 5000;

// Sends fail every pass while the link is down; the log gets a sample.
LogLimit sendFailures;

bool ConnectionGone(int error) {
  return error == udt_error::kConnectionLost || error == udt_error::kNoConnection ||
         error == udt_error::kInvalidSocket;
}

void ReportClosed(ReliableLink& link) {
  if (!link.open) return;
  link.open = false;
  PrintAndLog("Connection closed");
  Store(linkState.connectionStatus, connection_status::kFailedOrClosed);
}

// Whether a read can return anything but "nothing yet": bytes are waiting,
// or the connection is no longer plainly up (the read then reports its end).
// UDT reports an empty non-blocking read by throwing inside the library,
// which costs more than the whole rest of an idle receive pass, so an idle
// connection is not read at all.
bool WorthReading(UDTSOCKET socket) {
  if (UDT::getsockstate(socket) != CONNECTED) return true;
  int waiting = 0;
  int length = sizeof waiting;
  return UDT::getsockopt(socket, 0, UDT_RCVDATA, &waiting, &length) == UDT::ERROR || waiting > 0;
}

}  // namespace

void SendRecord(ReliableLink& link, const MessageBytes& record) {
  SendRecords(link, record.data(), record.size());
}

void SendRecords(ReliableLink& link, const std::uint8_t* records, std::size_t size) {
  const auto* data = reinterpret_cast<const char*>(records);
  const int kSize = static_cast<int>(size);
  std::lock_guard<std::mutex> lock(link.sendGuard);
  int sent = 0;
  while (sent < kSize) {
    const int n = UDT::send(link.socket, data + sent, kSize - sent, 0);
    if (n > 0) {
      sent += n;
      continue;
    }
    const int error = UDT::getlasterror().getErrorCode();
    if (sent == 0) {
      std::printf("send failed with error: %d\n", error);
      std::fflush(stdout);
      sendFailures.Log("send failed with error: " + std::to_string(error));
      return;
    }
    // The rest of records already begun must follow, or every later record
    // would be read out of step. Only a lost connection or a stop
    // request ends the wait, and then the stream has no future anyway.
    if (error != udt_error::kNoBufferSpace || Load(roleState.shutdownState) != 0) return;
    platform::SleepMs(1);
  }
}

std::size_t PrependFragment(const ReliableLink& link, std::uint8_t* buffer) {
  std::memcpy(buffer, link.fragment.data(), link.fragmentSize);
  return link.fragmentSize;
}

std::size_t KeepFragment(ReliableLink& link, std::uint8_t* buffer, std::size_t total) {
  const std::size_t whole = total - total % kMessageSize;
  link.fragmentSize = total - whole;
  std::memcpy(link.fragment.data(), buffer + whole, link.fragmentSize);
  return whole;
}

std::size_t ReadRecords(ReliableLink& link, std::uint8_t* buffer, int& lastResult) {
  if (!WorthReading(link.socket)) {
    lastResult = UDT::ERROR;
    return 0;
  }
  const std::size_t kept = PrependFragment(link, buffer);
  const int n =
      UDT::recv(link.socket, reinterpret_cast<char*>(buffer + kept), kReliableReadSize, 0);
  lastResult = n;
  if (n <= 0) {
    if (n == 0 || ConnectionGone(UDT::getlasterror().getErrorCode())) ReportClosed(link);
    return 0;
  }
  return KeepFragment(link, buffer, kept + static_cast<std::size_t>(n));
}

void SetNoBlocking(UDTSOCKET socket) {
  const bool no = false;
  UDT::setsockopt(socket, 0, UDT_SNDSYN, &no, sizeof no);
  UDT::setsockopt(socket, 0, UDT_RCVSYN, &no, sizeof no);
}

void SetTimeouts(UDTSOCKET socket) {
  const int timeout = kTimeoutMs;
  UDT::setsockopt(socket, 0, UDT_RCVTIMEO, &timeout, sizeof timeout);
  UDT::setsockopt(socket, 0, UDT_SNDTIMEO, &timeout, sizeof timeout);
}
