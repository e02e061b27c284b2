// The panel service table as the module uses it: named variables by
// identifier from any thread, key events queued and performed in order.
#include "common/panel_services.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "module/module_records.h"
#include "standin.h"
#include "trace.h"
#include "trace_reader.h"

namespace {

class PanelServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    standin::Reset();
    ImportTable.panels = standin::PanelTable();
    received.clear();
  }
  void TearDown() override { standin::Reset(); }

  struct Received {
    std::uint32_t id, data;
    void* user;
  };
  static inline std::vector<Received> received;
  static void Handler(std::uint32_t id, std::uint32_t data, void* user) {
    received.push_back({id, data, user});
  }
  static void ReraisingHandler(std::uint32_t id, std::uint32_t data, void*) {
    if (id == 1) panel::TriggerKeyEvent(2, data);
  }
};

// The simulator's own answers: identifiers from 0 in the order names become
// known, -1 from find for a name it does not know.
TEST_F(PanelServicesTest, NamedVariablesHaveStableIdsFromZeroAndKeepTheirValues) {
  const auto find = reinterpret_cast<std::int32_t(MS_STDCALL*)(const char*)>(
      standin::PanelTable()[panel::SlotIndex(panel::kFindNamedValue)]);
  const auto create = reinterpret_cast<std::int32_t(MS_STDCALL*)(const char*)>(
      standin::PanelTable()[panel::SlotIndex(panel::kCreateNamedValue)]);
  EXPECT_EQ(find("MP_CONN"), -1);
  EXPECT_EQ(panel::FindNamedValue("MP_CONN"), std::nullopt);
  EXPECT_EQ(panel::ReadNamedValue(0), 0.0);

  EXPECT_EQ(create("MP_CONN"), 0);
  EXPECT_EQ(find("MP_CONN"), 0);
  const std::uint32_t id = panel::FindNamedValue("MP_CONN").value();
  EXPECT_EQ(id, 0u);
  EXPECT_EQ(panel::ReadNamedValue(id), 0.0);
  panel::WriteNamedValue(id, 2.5);

  // Creating it again neither moves nor clears it; other names get other ids.
  panel::CreateNamedValue("MP_CONN");
  panel::CreateNamedValue("MP_START");
  EXPECT_EQ(panel::FindNamedValue("MP_CONN"), id);
  EXPECT_EQ(panel::FindNamedValue("MP_START"), 1u);
  EXPECT_EQ(create("MP_START"), 1);
  EXPECT_EQ(panel::ReadNamedValue(id), 2.5);
  EXPECT_EQ(standin::ReadNamed("MP_CONN"), 2.5);

  // The cockpit's writes reach the same variable.
  standin::WriteNamed("MP_CONN", -1.0);
  EXPECT_EQ(panel::ReadNamedValue(id), -1.0);

  // An identifier nobody handed out reads 0 and takes no write.
  panel::WriteNamedValue(id + 100, 7.0);
  EXPECT_EQ(panel::ReadNamedValue(id + 100), 0.0);
  EXPECT_FALSE(standin::ReadNamed("never made").has_value());

  // Identifier -1 (all bits set) is none either.
  panel::WriteNamedValue(0xFFFFFFFFu, 7.0);
  EXPECT_EQ(panel::ReadNamedValue(0xFFFFFFFFu), 0.0);
  EXPECT_EQ(panel::ReadNamedValue(id), -1.0);

  standin::Reset();
  EXPECT_EQ(panel::FindNamedValue("MP_CONN"), std::nullopt);
}

TEST_F(PanelServicesTest, ThreadsCreatingTheSameNamesAgreeOnTheirIds) {
  constexpr int kThreads = 4;
  constexpr int kNames = 200;
  std::vector<std::vector<std::uint32_t>> ids(kThreads, std::vector<std::uint32_t>(kNames));
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &ids] {
      for (int n = 0; n < kNames; ++n) {
        const std::string name = "VAR_" + std::to_string(n);
        panel::CreateNamedValue(name.c_str());
        ids[t][n] = panel::FindNamedValue(name.c_str()).value();
        panel::WriteNamedValue(ids[t][n], n);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int n = 0; n < kNames; ++n) {
    for (int t = 1; t < kThreads; ++t) EXPECT_EQ(ids[t][n], ids[0][n]) << n;
    EXPECT_EQ(panel::ReadNamedValue(ids[0][n]), n);
  }
  // Every call of the threads was counted as off the simulator's thread, and
  // none of this one's reads: it called Reset(), so it is that thread.
  const auto calls = standin::OffThreadCalls();
  std::map<std::string, std::uint64_t> counts;
  for (const auto& c : calls) counts[c.service] = c.count;
  constexpr std::uint64_t kCalls = kThreads * kNames;
  EXPECT_EQ(counts, (std::map<std::string, std::uint64_t>{{"CreateNamedValue", kCalls},
                                                          {"FindNamedValue", kCalls},
                                                          {"WriteNamedValue", kCalls}}));
}

TEST_F(PanelServicesTest, KeyEventsFromAnyThreadArePerformedInOrderThroughEveryHook) {
  int user = 0;
  panel::HookKeyEvents(Handler, &user);
  panel::HookKeyEvents(Handler, nullptr);
  panel::HookKeyEvents(Handler, nullptr);  // the same hook twice counts once
  EXPECT_EQ(standin::HookedHandlerCount(), 2u);

  std::thread module([] {
    for (std::uint32_t i = 0; i < 50; ++i) panel::TriggerKeyEvent(0x10000 + i, i);
  });
  module.join();
  EXPECT_TRUE(received.empty()) << "nothing is performed before the simulator thread's turn";

  standin::PerformKeyEvents();
  ASSERT_EQ(received.size(), 100u);
  for (std::uint32_t i = 0; i < 50; ++i) {
    EXPECT_EQ(received[2 * i].id, 0x10000 + i);
    EXPECT_EQ(received[2 * i].data, i);
    EXPECT_EQ(received[2 * i].user, &user);
    EXPECT_EQ(received[2 * i + 1].id, 0x10000 + i);
    EXPECT_EQ(received[2 * i + 1].user, nullptr);
  }
  const auto performed = standin::PerformedKeyEvents();
  ASSERT_EQ(performed.size(), 50u);
  EXPECT_EQ(performed.front().by, standin::By::kModule);

  panel::UnhookKeyEvents(Handler, &user);
  EXPECT_EQ(standin::HookedHandlerCount(), 1u);
  received.clear();
  standin::RaiseKeyEvent(7, 8);
  standin::PerformKeyEvents();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].user, nullptr);
  EXPECT_EQ(standin::PerformedKeyEvents().back().by, standin::By::kScript);
}

TEST_F(PanelServicesTest, AnEventRaisedByAHandlerWaitsForTheNextFrame) {
  panel::HookKeyEvents(ReraisingHandler, nullptr);
  panel::HookKeyEvents(Handler, nullptr);
  standin::RaiseKeyEvent(1, 9);
  standin::PerformKeyEvents();
  ASSERT_EQ(received.size(), 1u);
  standin::PerformKeyEvents();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[1].id, 2u);
  EXPECT_EQ(received[1].data, 9u);
}

TEST_F(PanelServicesTest, ReleaseAndElementServicesAreCounted) {
  panel::ReleasePanelResources();
  panel::CallElementService(panel::kElementQuery, nullptr);
  panel::InstallElement(nullptr, nullptr);
  panel::CallElementService(panel::kElementKill, nullptr);
  EXPECT_EQ(standin::PanelCalls().releasePanelResources, 1);
  EXPECT_EQ(standin::PanelCalls().elementCalls, 3);
}

TEST_F(PanelServicesTest, WritesAndKeyEventsAreTracedWithWhoMadeThem) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("ms-standin-trace-" + std::to_string(::getpid()) + ".jsonl");
  {
    standin::Trace trace(path.string(), standin::MonotonicNs());
    ASSERT_TRUE(trace.IsOpen());
    standin::SetTrace(&trace);
    panel::CreateNamedValue("MP_STS");
    panel::WriteNamedValue(panel::FindNamedValue("MP_STS").value(), 1.0);
    standin::WriteNamed("MP_START", 1.0);
    panel::TriggerKeyEvent(0x10001, 4);
    standin::PerformKeyEvents();
    standin::SetTrace(nullptr);
  }
  const auto records = ReadTrace(path);
  std::filesystem::remove(path);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0]["type"], "lvar_write");
  EXPECT_EQ(records[0]["name"], "MP_STS");
  EXPECT_EQ(records[0]["value"], 1.0);
  EXPECT_EQ(records[0]["by"], "module");
  EXPECT_EQ(records[1]["name"], "MP_START");
  EXPECT_EQ(records[1]["by"], "script");
  EXPECT_EQ(records[2]["type"], "key_event");
  EXPECT_EQ(records[2]["id"], 0x10001);
  EXPECT_EQ(records[2]["data"], 4);
  EXPECT_EQ(records[2]["by"], "module");
  for (const auto& record : records) {
    EXPECT_GE(record["t"].get<double>(), 0.0);
    EXPECT_GT(record["mono_ns"].get<std::int64_t>(), 0);
  }
  EXPECT_LE(records[0]["mono_ns"].get<std::int64_t>(), records[2]["mono_ns"].get<std::int64_t>());
}

}  // namespace
