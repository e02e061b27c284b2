// Drives the transport over real sockets on the loopback interface: the
// module is started on the stand-in simulator, the peer is 127.0.0.1, and the
// test plays the other instance with its own UDP socket and UDT connection.
#pragma once

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/config_file.h"
#include "common/lvar_entry.h"
#include "common/module_state.h"
#include "net/extension_records.h"
#include "net/receive_messages.h"
#include "net/reliable_link.h"
#include "net/wire_records.h"
#include "platform/platform.h"
#include "support/module_fixture.h"

// Base ports that no two tests share, so that ctest may run them at once.
// P + 1 (datagrams) stays below the ephemeral range and below every P with
// its bytes swapped (the reliable channel), which lie from 20560 on.
inline int TestBasePort(int k) { return 0x1000 + (k << 8) + 0x50; }
inline std::uint16_t SwappedPort(int p) {
  return static_cast<std::uint16_t>(((p & 0xFF) << 8) | ((p >> 8) & 0xFF));
}

// The peer's kind-1 records (index, value) as one datagram, applied as the
// receive pass applies it.
inline void WalkPeerDatagram(const std::vector<std::pair<int, double>>& records) {
  std::vector<std::uint8_t> bytes;
  for (const auto& [index, value] : records) {
    const MessageBytes m = EncodeMessage(MakeMessage(kind::kVarValue, index, value, 0));
    bytes.insert(bytes.end(), m.begin(), m.end());
  }
  ReceiveLimits limits;
  WalkDatagram(bytes.data(), bytes.size(), limits);
}

class NetFixture : public ModuleFixture {
 protected:
  void SetUp() override {
    ModuleFixture::SetUp();
    StartModule();
    CreateGauge();
    roleSetup.peerAddress = "127.0.0.1";
    UDT::startup();
  }

  void TearDown() override {
    for (UDTSOCKET s : udtSockets_) UDT::close(s);
    UDT::cleanup();
    if (udpSocket_ != platform::kInvalidSocket) platform::CloseSocket(udpSocket_);
    if (strangerSocket_ != platform::kInvalidSocket) platform::CloseSocket(strangerSocket_);
    ModuleFixture::TearDown();
  }

  void UseBasePort(int k) {
    port_ = TestBasePort(k);
    roleSetup.basePort = std::to_string(port_);
  }

  // Shared-table entries, by name and category, as the table file gives them.
  static void AddEntries(const std::vector<std::pair<std::string, LVarCategory>>& entries) {
    for (const auto& [name, category] : entries) {
      auto entry = std::make_unique<LVarEntry>();
      entry->name = name;
      entry->category = category;
      simThread.lvarTable.push_back(std::move(entry));
    }
    Store(simThread.lvarCount, simThread.lvarTable.size());
  }

  static double Named(const std::string& name) { return standin::ReadNamed(name).value_or(-999.0); }

  // One datagram to the module's datagram port.
  void SendDatagramBytes(const std::uint8_t* data, std::size_t length) {
    if (udpSocket_ == platform::kInvalidSocket) udpSocket_ = platform::OpenUdpSocket();
    platform::SendTo(udpSocket_, data, length, *ParsePeerAddress("127.0.0.1"),
                     static_cast<std::uint16_t>(port_ + 1));
  }

  // One datagram to the module's datagram port from another loopback
  // address than the configured peer's.
  void SendStrangerDatagram(const std::uint8_t* data, std::size_t length) {
    if (strangerSocket_ == platform::kInvalidSocket) {
      strangerSocket_ = platform::OpenUdpSocket();
      sockaddr_in local{};
      local.sin_family = AF_INET;
      local.sin_addr.s_addr = *ParsePeerAddress(kStranger);
      ASSERT_EQ(::bind(static_cast<int>(strangerSocket_), reinterpret_cast<sockaddr*>(&local),
                       sizeof local),
                0);
    }
    platform::SendTo(strangerSocket_, data, length, *ParsePeerAddress("127.0.0.1"),
                     static_cast<std::uint16_t>(port_ + 1));
  }

  // A UDT connection to the module's listener (blocking connect), from
  // `from` when given (a loopback address) or from the peer's address.
  UDTSOCKET ConnectToServer(const char* from = nullptr, bool greet = true) {
    const UDTSOCKET s = UDT::socket(AF_INET, SOCK_STREAM, 0);
    udtSockets_.push_back(s);
    if (from != nullptr) {
      sockaddr_in local{};
      local.sin_family = AF_INET;
      local.sin_addr.s_addr = *ParsePeerAddress(from);
      EXPECT_NE(UDT::bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local), UDT::ERROR);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(SwappedPort(port_));
    address.sin_addr.s_addr = *ParsePeerAddress("127.0.0.1");
    EXPECT_NE(UDT::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address), UDT::ERROR)
        << UDT::getlasterror().getErrorMessage();
    // A guest greets first; until then the server keeps the connection in its
    // gate. A connection the server refused never acknowledges the greeting,
    // and UDT's close would wait for that: no lingering.
    const linger noLinger{0, 0};
    UDT::setsockopt(s, 0, UDT_LINGER, &noLinger, sizeof noLinger);
    const MessageBytes greeting = EncodeMessage(MakeMessage(kind::kGreeting, 0, 0, 0));
    if (greet) UDT::send(s, reinterpret_cast<const char*>(greeting.data()), int{kMessageSize}, 0);
    return s;
  }

  // The next record on `s` that the protocol defines: the extension's records
  // are skipped, as a peer that speaks only the protocol skips them, and
  // their types counted into `skipped`. None when a read fails.
  static std::optional<MessageRecord> NextProtocolRecord(UDTSOCKET s,
                                                         std::vector<int>* skipped = nullptr) {
    for (;;) {
      std::array<char, kMessageSize> bytes{};
      int got = 0;
      while (got < int{kMessageSize}) {
        const int n = UDT::recv(s, bytes.data() + got, int{kMessageSize} - got, 0);
        if (n <= 0) return std::nullopt;
        got += n;
      }
      const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
      if (DecodeKind(data) != kind::kExtension) return DecodeMessage(data);
      if (skipped != nullptr) skipped->push_back(data[4]);
    }
  }

  // A UDT listener where the module's client connects.
  UDTSOCKET ListenForClient() {
    const UDTSOCKET s = UDT::socket(AF_INET, SOCK_STREAM, 0);
    udtSockets_.push_back(s);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(SwappedPort(port_));
    address.sin_addr.s_addr = INADDR_ANY;
    EXPECT_NE(UDT::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), UDT::ERROR);
    EXPECT_NE(UDT::listen(s, 4), UDT::ERROR);
    return s;
  }

  UDTSOCKET Accept(UDTSOCKET listener) {
    const UDTSOCKET s = UDT::accept(listener, nullptr, nullptr);
    if (s != UDT::INVALID_SOCK) udtSockets_.push_back(s);
    return s;
  }

  static void SendBytes(UDTSOCKET s, const std::uint8_t* data, int length) {
    int sent = 0;
    while (sent < length) {
      const int n = UDT::send(s, reinterpret_cast<const char*>(data) + sent, length - sent, 0);
      ASSERT_GT(n, 0) << UDT::getlasterror().getErrorMessage();
      sent += n;
    }
  }
  static void SendMessage(UDTSOCKET s, std::int32_t kind, double index, double value,
                          double extra) {
    const MessageBytes bytes = EncodeMessage(MakeMessage(kind, index, value, extra));
    SendBytes(s, bytes.data(), static_cast<int>(bytes.size()));
  }
  void SendVarDatagram(double index, double value) {
    const MessageBytes bytes = EncodeMessage(MakeMessage(kind::kVarValue, index, value, 0.0));
    SendDatagramBytes(bytes.data(), bytes.size());
  }

  // Runs `pump` until `done` holds, for at most five seconds.
  template <typename Pump, typename Done>
  static bool PumpUntil(Pump pump, Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
      pump();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }

  int port_ = 0;
  // A loopback address that is not the configured peer's.
  static constexpr const char* kStranger = "127.0.0.2";

 private:
  std::vector<UDTSOCKET> udtSockets_;
  platform::Socket udpSocket_ = platform::kInvalidSocket;
  platform::Socket strangerSocket_ = platform::kInvalidSocket;
};
