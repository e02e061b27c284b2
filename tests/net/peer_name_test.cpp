// Line 1 as a host name: which texts count as names (and so are looked up)
// and which are mistakes; and the option "no upnp", the router switch, read
// with lines 1 and 2 keeping their meaning.
#include <gtest/gtest.h>

#include <sstream>

#include "common/config_file.h"

namespace {

TEST(PeerName, NamesAreLabelsOfLettersDigitsAndInnerHyphens) {
  const std::string label63(63, 'a');
  const std::string name253 = label63 + "." + label63 + "." + label63 + "." + std::string(61, 'b');
  for (const std::string& name :
       std::vector<std::string>{"copilot.example.net", "home-pc", "a", "x1.dyn.example",
                                "2nd.example", label63, name253}) {
    EXPECT_TRUE(IsHostName(name)) << name;
  }
  for (const std::string& text : std::vector<std::string>{
           "", "copilot pc", " home.example", "-a.b", "a-.b", "a..b", ".a", "a.", "a_b",
           "h\xC3\xB6me.example", "192.168.1.300", "10.0.0", "1234", label63 + "a", name253 + "b",
           std::string("home\0x", 6),
           // Numeric forms a resolver reads as addresses.
           "0x7f.1", "0x7f000001", "127.1", "1.2.3.4", "192.168.1.020", "a.1e3"}) {
    EXPECT_FALSE(IsHostName(text)) << text;
  }
}

// Line 1 is an address through the one strict parser or a name, never both:
// a leading zero stays refused and named, a name is no mistake.
TEST(PeerName, LineOneIsAnAddressOrANameAndAMistakeIsNamedAsSuch) {
  struct Case {
    std::string line;
    bool address;
    bool name;
    std::string problem;  // a fragment of the one line logged, or empty
  };
  for (const Case& c : std::vector<Case>{
           {"10.0.0.2", true, false, ""},
           {"copilot.example.net", false, true, ""},
           {"192.168.1.020", false, false, "leading zero, which some programs read as octal"},
           {"0x7f.1", false, false, "is neither an IPv4 address"},
           {"copilot pc", false, false, "nor a host name such as copilot.example.net"},
       }) {
    std::istringstream in(c.line + "\n5000\n");
    const ConfigLines lines = ReadConfigLines(in);
    EXPECT_EQ(ParsePeerAddress(c.line).has_value(), c.address) << c.line;
    EXPECT_EQ(IsHostName(c.line), c.name) << c.line;
    const auto problems = ConfigProblems(lines);
    if (c.problem.empty()) {
      EXPECT_TRUE(problems.empty()) << c.line;
    } else {
      ASSERT_EQ(problems.size(), 1u) << c.line;
      EXPECT_NE(problems[0].find(c.problem), std::string::npos) << problems[0];
    }
  }
}

TEST(PeerName, NoUpnpTurnsTheRouterOffOnlyWhenExactAndLeavesLinesOneAndTwoAlone) {
  struct Case {
    std::string file;
    bool routerMapping;
    std::size_t problems;
  };
  for (const Case& c : std::vector<Case>{
           {"home.example\n5000\n", true, 0},
           {"home.example\n5000\nany\nno upnp\n", false, 0},
           {"10.0.0.2\r\n5000\r\n\r\nno upnp\r\n", false, 0},
           {"10.0.0.2\n5000\n\nNo UPnP\n", true, 1},
           {"10.0.0.2\n5000\n\nno upnp \n", true, 1},
           {"10.0.0.2\n5000\nno upnp\n", false, 0},  // options come in any order
       }) {
    std::istringstream in(c.file);
    const ConfigLines lines = ReadConfigLines(in);
    EXPECT_EQ(lines.RouterMapping(), c.routerMapping) << c.file;
    EXPECT_EQ(ConfigProblems(lines).size(), c.problems) << c.file;
    EXPECT_EQ(lines.basePort.value_or(""), "5000") << c.file;
  }
}

}  // namespace
