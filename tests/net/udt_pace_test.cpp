// UDT's own congestion control, once its slow start ends, spaces packets by
// the rate at which the receiver saw them arrive: for a sparse stream of
// records that is the stream's own pace, and every record that follows
// another closely waits. The module's control must keep records leaving at
// once for as long as the connection lasts. The Windows platform tests run
// this too, against udt.dll.
#include "net/udt_pace.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

class UdtPaceTest : public ::testing::Test {
 protected:
  void SetUp() override { UDT::startup(); }
  void TearDown() override {
    for (UDTSOCKET s : {accepted_, client_, listener_}) UDT::close(s);
    UDT::cleanup();
  }

  // A connection on the loopback whose flow window is UDT's smallest, 32
  // packets, so that UDT's slow start would end after a few dozen records.
  void Connect() {
    const int window = 32;
    listener_ = UDT::socket(AF_INET, SOCK_STREAM, 0);
    client_ = UDT::socket(AF_INET, SOCK_STREAM, 0);
    for (UDTSOCKET s : {listener_, client_}) {
      UDT::setsockopt(s, 0, UDT_FC, &window, sizeof window);
      UseKeptSlowStart(s);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_NE(UDT::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address),
              UDT::ERROR);
    int length = sizeof address;
    ASSERT_NE(UDT::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length),
              UDT::ERROR);
    ASSERT_NE(UDT::listen(listener_, 1), UDT::ERROR);
    ASSERT_NE(UDT::connect(client_, reinterpret_cast<sockaddr*>(&address), sizeof address),
              UDT::ERROR)
        << UDT::getlasterror().getErrorMessage();
    accepted_ = UDT::accept(listener_, nullptr, nullptr);
    ASSERT_NE(accepted_, UDT::INVALID_SOCK);
  }

  UDTSOCKET listener_ = UDT::INVALID_SOCK;
  UDTSOCKET client_ = UDT::INVALID_SOCK;
  UDTSOCKET accepted_ = UDT::INVALID_SOCK;
};

TEST_F(UdtPaceTest, ASparseStreamOfRecordsIsNeverSpacedOut) {
  ASSERT_NO_FATAL_FAILURE(Connect());
  constexpr int kRecords = 80;
  constexpr int kRecordSize = 24;
  std::thread reader([this] {
    char buffer[kRecords * kRecordSize];
    for (int got = 0; got < static_cast<int>(sizeof buffer);) {
      const int n = UDT::recv(accepted_, buffer + got, static_cast<int>(sizeof buffer) - got, 0);
      if (n <= 0) return;
      got += n;
    }
  });
  // Records 10 ms apart, each acknowledged before the next: more than the
  // flow window in all, at some 100 packets a second.
  const char record[kRecordSize] = {1};
  for (int i = 0; i < kRecords; ++i) {
    ASSERT_EQ(UDT::send(client_, record, kRecordSize, 0), kRecordSize);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  reader.join();
  UDT::TRACEINFO trace{};
  ASSERT_NE(UDT::perfmon(client_, &trace), UDT::ERROR);
  // UDT's own control would now space packets by about 10,000 us.
  EXPECT_LE(trace.usPktSndPeriod, 1.0);
  EXPECT_EQ(trace.pktCongestionWindow, 32);
}

}  // namespace
