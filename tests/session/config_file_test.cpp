// SharedConfig.cfg's grammar: the one reading of line 1 and line 2 that every
// use of the peer's address and port goes through, and line ends of any
// editor.
#include "common/config_file.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

std::optional<std::uint32_t> SystemReading(const std::string& text) {
  in_addr address{};
  if (::inet_pton(AF_INET, text.c_str(), &address) != 1) return std::nullopt;
  return address.s_addr;
}

TEST(PeerAddressTest, ReadsPlainDottedAddressesOnly) {
  EXPECT_EQ(ParsePeerAddress("192.168.1.20"), htonl(0xC0A80114));
  EXPECT_EQ(ParsePeerAddress("0.0.0.0"), 0u);
  EXPECT_EQ(ParsePeerAddress("255.255.255.255"), 0xFFFFFFFFu);
  // Digits and dots alone are tried against the system below.
  for (const char* refused :
       {" 1.2.3.4", "1.2.3.4\r", "0x1.2.3.4", "+1.2.3.4", "1.2.3.-4", "peer-pc"}) {
    EXPECT_EQ(ParsePeerAddress(refused), std::nullopt) << refused;
  }
}

// Against the system's strict reader (which refuses leading zeros too), over
// many texts of digits and dots: both accept the same texts and agree on
// the address, so no text can mean one computer here and another there.
TEST(PeerAddressTest, AgreesWithTheSystemsStrictReaderOnRandomText) {
  std::mt19937 random(18);
  const auto below = [&](unsigned n) { return static_cast<unsigned>(random() % n); };
  int accepted = 0;
  for (int i = 0; i < 200000; ++i) {
    // Three to five fields of up to four digits, near an address more often
    // than not; now and then one character swapped for a dot or a digit.
    std::string text;
    const unsigned fields = 3 + below(3);
    for (unsigned f = 0; f < fields; ++f) {
      if (f > 0) text += '.';
      const unsigned digits = below(8) == 0 ? below(5) : 1 + below(3);
      for (unsigned d = 0; d < digits; ++d) text += static_cast<char>('0' + below(10));
    }
    if (!text.empty() && below(4) == 0) text[below(text.size())] = ".07"[below(3)];
    const auto ours = ParsePeerAddress(text);
    ASSERT_EQ(ours, SystemReading(text)) << '"' << text << '"';
    accepted += ours.has_value();
  }
  EXPECT_GT(accepted, 10000);  // the sample reached the accepted texts too
}

TEST(BasePortTest, ReadsDigitsFromOneTo65534WithoutOverflow) {
  EXPECT_EQ(ParseBasePort("5000"), 5000);
  EXPECT_EQ(ParseBasePort("1"), 1);
  EXPECT_EQ(ParseBasePort("65534"), 65534);
  for (const char* refused : {"0", "65535", "99999", "4294967297", "4294972296", "5000x", "5000 ",
                              " 5000", "+5000", "-1", "", "5e3"}) {
    EXPECT_EQ(ParseBasePort(refused), std::nullopt) << refused;
    EXPECT_EQ(PortNumberOf(refused), 0) << refused;
  }
}

TEST(ConfigLinesTest, EveryEditorsLineEndsSeparateTheLines) {
  for (const char* text : {"10.0.0.2\n5000\nany\n", "10.0.0.2\r\n5000\r\nany\r\n",
                           "10.0.0.2\r5000\rany\r", "10.0.0.2\r5000\r\nany",
                           "\xEF\xBB\xBF"
                           "10.0.0.2\n5000\rany"}) {
    std::istringstream in(text);
    const ConfigLines lines = ReadConfigLines(in);
    EXPECT_EQ(lines.peerAddress, "10.0.0.2") << text;
    EXPECT_EQ(lines.basePort, "5000") << text;
    EXPECT_TRUE(lines.AnySource()) << text;
  }
  // An empty line is a line; the end of the text is none.
  std::istringstream in("\r\r5000");
  const ConfigLines lines = ReadConfigLines(in);
  EXPECT_EQ(lines.peerAddress, "");
  EXPECT_EQ(lines.basePort, "");
  EXPECT_EQ(lines.options, std::vector<std::string>{"5000"});
}

// The lines after line 2 are option words in any order; today's files, "any"
// on line 3 and "no upnp" on line 4, read as before; an unknown word is named
// with the words that exist.
TEST(ConfigLinesTest, OptionWordsInAnyOrderAndAnUnknownOneNamedWithThem) {
  for (const auto& [file, any, router, close] :
       std::vector<std::tuple<const char*, bool, bool, bool>>{
           {"a\n1\n", false, true, false},
           {"a\n1\nany\nno upnp\n", true, false, false},
           {"a\n1\n\nno upnp\n", false, false, false},
           {"a\r\n1\r\nno upnp\r\n\r\nclose follow\r\nany\r\n", true, false, true}}) {
    std::istringstream in(file);
    const ConfigLines lines = ReadConfigLines(in);
    EXPECT_EQ(std::tuple(lines.AnySource(), lines.RouterMapping(), lines.CloseFollow()),
              std::tuple(any, router, close))
        << file;
    EXPECT_TRUE(lines.Extension()) << file;
  }
  std::istringstream plain("10.0.0.2\n5000\nplain protocol\n");
  EXPECT_FALSE(ReadConfigLines(plain).Extension());
  std::istringstream in("10.0.0.2\n5000\nany\nclose folow\nClose follow\n");
  const auto problems = ConfigProblems(ReadConfigLines(in));
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[0],
            "SharedConfig.cfg line 4: \"close folow\" is ignored; the options, one a line after "
            "line 2 in any order, are any (records from every address), no upnp (do not ask the "
            "router to open the ports), close follow (the following aircraft flies where the "
            "other is now) and plain protocol (no hello: the protocol only)");
}

}  // namespace
