// A pass's sends leave together: one reliable send in the order made, and
// variable datagrams of at most 60 records.
#include "net/pass_batch.h"

#include <gtest/gtest.h>

#include <vector>

#include "net/extension_records.h"

namespace {

TEST(PassBatch, GathersAPassIntoOneReliableSendAndFullDatagrams) {
  std::vector<std::vector<std::uint8_t>> reliable, datagrams;
  int states = 0;
  RoleOutput out;
  out.extension = [&](const std::uint8_t* r, std::size_t n) { reliable.emplace_back(r, r + n); };
  out.datagramRecords = [&](const std::uint8_t* r, std::size_t n) {
    datagrams.emplace_back(r, r + n);
  };
  out.state = [&](const AircraftStateRecord&) { ++states; };
  PassBatch batch(out);
  const RoleOutput& pass = batch.Gathering();
  pass.reliable(kind::kVarValue, 3, 1.5, 0);
  const MessageBytes clock = EncodeClock(ClockSample{7});
  pass.extension(clock.data(), clock.size());
  pass.reliable(kind::kGearHandle, 0, 1.0, 0);
  for (int i = 0; i < 61; ++i) pass.datagram(i, 2.0 * i, 0);
  pass.state(AircraftStateRecord{});
  EXPECT_EQ(states, 1) << "the state is not held";
  EXPECT_TRUE(reliable.empty() && datagrams.empty()) << "nothing leaves before the flush";

  batch.Flush();
  ASSERT_EQ(reliable.size(), 1u);
  ASSERT_EQ(reliable[0].size(), 3 * kMessageSize);
  EXPECT_EQ(DecodeMessage(reliable[0].data()).index, 3);
  EXPECT_EQ(DecodeKind(reliable[0].data() + kMessageSize), kind::kExtension);
  EXPECT_EQ(DecodeKind(reliable[0].data() + 2 * kMessageSize), kind::kGearHandle);
  ASSERT_EQ(datagrams.size(), 2u);
  EXPECT_EQ(datagrams[0].size(), kRecordsPerDatagram * kMessageSize);
  EXPECT_EQ(datagrams[1].size(), kMessageSize);
  const MessageRecord last = DecodeMessage(datagrams[1].data());
  EXPECT_EQ(last.kind, kind::kVarValue);
  EXPECT_EQ(last.value, 120.0);

  batch.Flush();
  EXPECT_EQ(reliable.size(), 1u) << "an empty pass sends nothing";
  EXPECT_EQ(datagrams.size(), 2u);
}

}  // namespace
