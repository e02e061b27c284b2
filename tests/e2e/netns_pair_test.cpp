// The harness itself: a pair of namespaces comes up with its link and goes
// away again, and leftovers of test processes that died are removed.
#include "netns_pair.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "process.h"

namespace e2e {
namespace {

bool NamespaceExists(const std::string& name) {
  const CommandResult list = RunCommand({"ip", "netns", "list"});
  return list.output.find(name + "\n") != std::string::npos ||
         list.output.find(name + " ") != std::string::npos;
}

// Skips the test, with the reason, when this machine cannot make namespaces.
#define MAKE_PAIR_OR_SKIP(pair)                 \
  std::string whyNot##pair;                     \
  auto pair = NetnsPair::Create(&whyNot##pair); \
  if (!pair) GTEST_SKIP() << "no network namespaces: " << whyNot##pair

TEST(NetnsPair, ComesUpWithTheLinkAndIsRemovedAfterwards) {
  std::string names[2];
  {
    MAKE_PAIR_OR_SKIP(pair);
    for (int side : {0, 1}) {
      names[side] = pair->Namespace(side);
      EXPECT_TRUE(NamespaceExists(names[side]));
      const CommandResult link = RunCommand({"ip", "-n", names[side], "-br", "addr", "show"});
      EXPECT_NE(link.output.find(std::string(NetnsPair::Address(side)) + "/30"), std::string::npos)
          << link.output;
      const CommandResult up = RunCommand({"ip", "-n", names[side], "-br", "link", "show", "up"});
      EXPECT_NE(up.output.find("lo "), std::string::npos) << up.output;
      EXPECT_NE(up.output.find("e2e0@"), std::string::npos) << up.output;
    }
    EXPECT_NE(names[0], names[1]);
  }
  EXPECT_FALSE(NamespaceExists(names[0]));
  EXPECT_FALSE(NamespaceExists(names[1]));
}

TEST(NetnsPair, TwoPairsOfOneProcessDoNotCollide) {
  MAKE_PAIR_OR_SKIP(first);
  MAKE_PAIR_OR_SKIP(second);
  EXPECT_NE(first->Namespace(0), second->Namespace(0));
  EXPECT_TRUE(NamespaceExists(first->Namespace(0)));
}

TEST(NetnsPair, LeftoversOfEndedProcessesAreRemovedButLiveOnesStay) {
  {
    // Only to learn whether this machine lets us make namespaces at all.
    MAKE_PAIR_OR_SKIP(probe);
  }
  // A pid that surely ended: a child we made and reaped.
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  const std::string stale = NamespaceName(child, 7, 0);
  const std::string live = NamespaceName(::getpid(), 9999, 1);
  ASSERT_EQ(RunCommand({"ip", "netns", "add", stale}).exitCode, 0);
  ASSERT_EQ(RunCommand({"ip", "netns", "add", live}).exitCode, 0);

  RemoveStaleNamespaces();

  EXPECT_FALSE(NamespaceExists(stale));
  EXPECT_TRUE(NamespaceExists(live));
  RunCommand({"ip", "netns", "delete", stale});
  RunCommand({"ip", "netns", "delete", live});
}

}  // namespace
}  // namespace e2e
