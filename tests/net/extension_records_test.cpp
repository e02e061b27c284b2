// The extension's records as bytes on the wire, and what a decoder refuses.
#include "net/extension_records.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> Bytes(const MessageBytes& record) { return {record.begin(), record.end()}; }

TEST(ExtensionRecords, MatchTheirByteImagesAndReadBack) {
  Hello hello;
  hello.flies = true;
  hello.displaySync = true;
  hello.fingerprint = 0x0102030405060708u;
  hello.sessionId = 0x1112131415161718u;
  EXPECT_EQ(Bytes(EncodeHello(hello)),
            (std::vector<int>{0x53, 0x4D, 0, 0, 1,    1,    3,    0,    8,    7,    6,    5,
                              4,    3,    2, 1, 0x18, 0x17, 0x16, 0x15, 0x14, 0x13, 0x12, 0x11}));
  const StampedValue stamped{0x01020304u, 1.5f, -2, true};
  EXPECT_EQ(Bytes(EncodeStampedValue(stamped)),
            (std::vector<int>{0x53, 0x4D, 0,    0,    3,    1,    0,    0,    4,    3,    2,   1, 0,
                              0,    0xC0, 0x3F, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Bytes(EncodeClock(ClockSample{0x0A0B})),
            (std::vector<int>{0x53, 0x4D, 0, 0, 4, 0, 0, 0, 0x0B, 0x0A, 0, 0,
                              0,    0,    0, 0, 0, 0, 0, 0, 0,    0,    0, 0}));
  Digest digest;
  digest.firstBlock = 3;
  digest.blockEntries = 64;
  digest.count = 2;
  digest.hashes = {0xAABBCCDDu, 0x01020304u, 0};
  const MessageBytes bytes = EncodeDigest(digest);
  EXPECT_EQ(Bytes(bytes), (std::vector<int>{0x53, 0x4D, 0,    0,    5, 2, 64, 0, 3, 0, 0, 0,
                                            0xDD, 0xCC, 0xBB, 0xAA, 4, 3, 2,  1, 0, 0, 0, 0}));

  const Hello back = DecodeHello(EncodeHello(hello).data());
  EXPECT_TRUE(back.flies && back.displaySync && !back.weatherSync && !back.connectedBefore);
  EXPECT_EQ(back.sessionId, hello.sessionId);
  const auto value = DecodeStampedValue(EncodeStampedValue(stamped).data());
  ASSERT_TRUE(value);
  EXPECT_EQ(value->stampMs, -2);
  const auto read = DecodeDigest(bytes.data());
  ASSERT_TRUE(read);
  EXPECT_EQ(read->firstBlock, 3u);
  EXPECT_EQ(read->blockEntries, 64u);
  EXPECT_EQ(read->hashes, digest.hashes);
}

TEST(ExtensionRecords, DecodersRefuseWhatNoSenderWrites) {
  MessageBytes stamped = EncodeStampedValue(StampedValue{0, 0.0f, 0, false});
  stamped[15] = 0x7F;  // 0x7F800000: infinity
  stamped[14] = 0x80;
  EXPECT_FALSE(DecodeStampedValue(stamped.data()));
  stamped = EncodeStampedValue(StampedValue{0, 1.0f, INT64_MAX, false});
  EXPECT_EQ(DecodeStampedValue(stamped.data())->stampMs, kLatestStamp);
  Digest digest;
  digest.count = 1;
  MessageBytes bytes = EncodeDigest(digest);
  for (std::uint8_t count : {0, 4, 255}) {
    bytes[5] = count;
    EXPECT_FALSE(DecodeDigest(bytes.data())) << int{count} << " hashes";
  }
}

}  // namespace
