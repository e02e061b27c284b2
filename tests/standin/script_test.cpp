// simhost's script: what a line may say and how a wrong line is reported.
#include "script.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using standin::ScriptCommand;
using Kind = ScriptCommand::Kind;

std::vector<ScriptCommand> Parse(const std::string& text) {
  std::istringstream in(text);
  auto result = standin::ParseScript(in);
  if (auto* error = std::get_if<standin::ScriptError>(&result)) {
    ADD_FAILURE() << "script:" << error->line << ": " << error->what;
    return {};
  }
  return std::get<std::vector<ScriptCommand>>(result);
}

int ErrorLine(const std::string& text) {
  std::istringstream in(text);
  auto result = standin::ParseScript(in);
  const auto* error = std::get_if<standin::ScriptError>(&result);
  return error == nullptr ? 0 : error->line;
}

TEST(ScriptTest, ReadsEveryCommandSkippingCommentsAndBlankLines) {
  const auto commands = Parse(
      "# a shared flight\n"
      "\n"
      "0 set MP_CONN 1   # client\n"
      "0.25 key 0x10001 -1\n"
      "0.5 event 301 42\n"
      "0.5 simstart\n"
      "1 fly -20 2.5 240 -500\n"
      "1.5 gear 1\n"
      "1.5 parkingbrake 0\n"
      "2 reload\n"
      "2.5 exception 3 0x20 7\n"
      "2.5 simconnectquit\n"
      "  3   quit  \n");
  ASSERT_EQ(commands.size(), 11u);
  EXPECT_EQ(commands[0].kind, Kind::kSet);
  EXPECT_EQ(commands[0].name, "MP_CONN");
  EXPECT_EQ(commands[0].value, 1.0);
  EXPECT_EQ(commands[0].line, 3);
  EXPECT_EQ(commands[1].kind, Kind::kKey);
  EXPECT_EQ(commands[1].time, 0.25);
  EXPECT_EQ(commands[1].id, 0x10001u);
  EXPECT_EQ(commands[1].data, 0xFFFFFFFFu);  // -1 as its 32-bit pattern
  EXPECT_EQ(commands[2].kind, Kind::kEvent);
  EXPECT_EQ(commands[2].id, 301u);
  EXPECT_EQ(commands[2].data, 42u);
  EXPECT_EQ(commands[3].kind, Kind::kSimStart);
  EXPECT_EQ(commands[4].kind, Kind::kFly);
  EXPECT_EQ(commands[4].fly[0], -20.0);
  EXPECT_EQ(commands[4].fly[1], 2.5);
  EXPECT_EQ(commands[4].fly[2], 240.0);
  EXPECT_EQ(commands[4].fly[3], -500.0);
  EXPECT_EQ(commands[5].kind, Kind::kGear);
  EXPECT_TRUE(commands[5].on);
  EXPECT_EQ(commands[6].kind, Kind::kParkingBrake);
  EXPECT_FALSE(commands[6].on);
  EXPECT_EQ(commands[7].kind, Kind::kReload);
  EXPECT_EQ(commands[8].kind, Kind::kException);
  EXPECT_EQ(commands[8].id, 3u);
  EXPECT_EQ(commands[8].data, 0x20u);
  EXPECT_EQ(commands[8].index, 7u);
  EXPECT_EQ(commands[9].kind, Kind::kSimConnectQuit);
  EXPECT_EQ(commands[10].kind, Kind::kQuit);
  EXPECT_EQ(commands[10].line, 13);
}

TEST(ScriptTest, AWrongLineIsReportedByItsNumber) {
  EXPECT_EQ(ErrorLine("0 quit\nx quit\n"), 2);                    // time not a number
  EXPECT_EQ(ErrorLine("-1 quit\n"), 1);                           // negative time
  EXPECT_EQ(ErrorLine("1 simstart\n0.5 quit\n"), 2);              // out of time order
  EXPECT_EQ(ErrorLine("# c\n\n0 jump\n"), 3);                     // unknown command
  EXPECT_EQ(ErrorLine("0\n"), 1);                                 // no command
  EXPECT_EQ(ErrorLine("0 set MP_CONN\n"), 1);                     // argument missing
  EXPECT_EQ(ErrorLine("0 set 0TURB ENG CORRECTED N1:1 5\n"), 1);  // names are one word
  EXPECT_EQ(ErrorLine("0 set MP_CONN one\n"), 1);                 // value not a number
  EXPECT_EQ(ErrorLine("0 key 0x1G 0\n"), 1);                      // bad hex id
  EXPECT_EQ(ErrorLine("0 key -5 0\n"), 1);                        // negative id
  EXPECT_EQ(ErrorLine("0 key 4294967296 0\n"), 1);                // id beyond 32 bits
  EXPECT_EQ(ErrorLine("0 event 1 -2147483649\n"), 1);             // data beyond 32 bits
  EXPECT_EQ(ErrorLine("0 gear 2\n"), 1);
  EXPECT_EQ(ErrorLine("0 fly 90 0 250 0\n"), 1);  // bank of 90 cannot turn
  EXPECT_EQ(ErrorLine("0 fly 0 0 -1 0\n"), 1);    // negative speed
  EXPECT_EQ(ErrorLine("0 fly 0 0 nan 0\n"), 1);
  EXPECT_EQ(ErrorLine("0 exception 3 1\n"), 1);         // parameter missing
  EXPECT_EQ(ErrorLine("0 exception 3 -1 0\n"), 1);      // send ids are not negative
  EXPECT_EQ(ErrorLine("0 quit now\n"), 1);              // extra argument
  EXPECT_EQ(ErrorLine("0 simstart\n0 simstart\n"), 0);  // equal times are in order
}

}  // namespace
