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

namespace {

// Sends from `data` what UDT takes; how many bytes it took, or -1 when the
// connection is gone (reported then).
long SendWhatFits(ReliableLink& link, const std::uint8_t* data, std::size_t size) {
  std::size_t sent = 0;
  while (sent < size) {
    const int n = UDT::send(link.socket, reinterpret_cast<const char*>(data + sent),
                            static_cast<int>(size - sent), 0);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    const int error = UDT::getlasterror().getErrorCode();
    if (error == udt_error::kNoBufferSpace) break;
    std::printf("send failed with error: %d\n", error);
    std::fflush(stdout);
    sendFailures.Log("send failed with error: " + std::to_string(error));
    return -1;
  }
  return static_cast<long>(sent);
}

// What the held queue drops when it is full; reported with a count.
LogLimit heldDrops;

void Hold(ReliableLink& link, const std::uint8_t* data, std::size_t size) {
  if (link.held.size() + size > kHeldBytesAtMost) {
    heldDrops.Log(
        "Reliable records for the peer are held past " + std::to_string(kHeldBytesAtMost / 1024) +
        " KiB (the link is too slow): " + std::to_string(size / kMessageSize) + " records dropped");
    return;
  }
  link.held.insert(link.held.end(), data, data + size);
}

// sendGuard held.
void SendHeldLocked(ReliableLink& link) {
  if (link.held.empty()) return;
  const long sent = SendWhatFits(link, link.held.data(), link.held.size());
  if (sent < 0) {
    link.held.clear();
    return;
  }
  link.held.erase(link.held.begin(), link.held.begin() + sent);
}

}  // namespace

void SendRecords(ReliableLink& link, const std::uint8_t* records, std::size_t size) {
  std::lock_guard<std::mutex> lock(link.sendGuard);
  SendHeldLocked(link);
  // Order is kept: nothing goes past what is still held.
  if (!link.held.empty()) {
    Hold(link, records, size);
    return;
  }
  const long sent = SendWhatFits(link, records, size);
  if (sent < 0 || static_cast<std::size_t>(sent) == size) return;
  auto at = static_cast<std::size_t>(sent);
  // The rest of a record UDT took part of must follow it whatever the cap,
  // or every later record would be read out of step.
  const std::size_t begun = at % kMessageSize == 0 ? 0 : kMessageSize - at % kMessageSize;
  link.held.insert(link.held.end(), records + at, records + at + begun);
  at += begun;
  if (at < size) Hold(link, records + at, size - at);
}

void SendHeld(ReliableLink& link) {
  std::lock_guard<std::mutex> lock(link.sendGuard);
  SendHeldLocked(link);
}

bool HasUnsent(ReliableLink& link) {
  std::lock_guard<std::mutex> lock(link.sendGuard);
  if (!link.held.empty()) return true;
  std::int32_t blocks = 0;
  int size = sizeof blocks;
  if (UDT::getsockopt(link.socket, 0, UDT_SNDDATA, &blocks, &size) == UDT::ERROR) return false;
  return blocks > 0;
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
  // A closed connection's unacknowledged records are worth nothing (the
  // exchange after the next hellos settles the cockpits), and UDT's cleanup
  // at a role's end waits for every lingering one: up to half a minute when
  // the peer has gone.
  const linger noLinger{0, 0};
  UDT::setsockopt(socket, 0, UDT_LINGER, &noLinger, sizeof noLinger);
}

void SetTimeouts(UDTSOCKET socket) {
  const int timeout = kTimeoutMs;
  UDT::setsockopt(socket, 0, UDT_RCVTIMEO, &timeout, sizeof timeout);
  UDT::setsockopt(socket, 0, UDT_SNDTIMEO, &timeout, sizeof timeout);
}
