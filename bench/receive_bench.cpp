// What a receive pass does with the records that arrived: the walk of one
// datagram and the records of the reliable stream.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench_module.h"
#include "common/module_state.h"
#include "net/receive_messages.h"
#include "net/wire_records.h"

namespace {

constexpr std::size_t kTableEntries = 16;

// `count` VarValueRecords, their indices taking a table of `entries` in turn.
std::vector<std::uint8_t> VarRecords(std::size_t count, std::size_t entries = kTableEntries) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < count; ++i) {
    const MessageBytes record = EncodeMessage(MakeMessage(
        kind::kVarValue, static_cast<double>(i % entries), static_cast<double>(i), 0.0));
    bytes.insert(bytes.end(), record.begin(), record.end());
  }
  return bytes;
}

// A table of category-0 entries: no record waits for a momentary button.
void UsePlainTable(std::size_t entries = kTableEntries) {
  UseTable(std::vector<LVarCategory>(entries, LVarCategory::kNone));
}

// Budget: a role's receive loop pauses 2 ms between passes and reads the
// datagrams waiting; a walk must take a small part of that.
void BM_WalkStateDatagram(benchmark::State& state) {
  const ModuleSession session;
  AircraftStateRecord record = StateRecordFrom(*simThread.sharedState->aircraft);
  record.latitude = 25.0;
  record.longitude = 100.0;
  const StateBytes bytes = EncodeState(record);
  ReceiveLimits limits;
  for (auto _ : state) {
    WalkDatagram(bytes.data(), bytes.size(), limits);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_WalkStateDatagram)->Unit(benchmark::kNanosecond);

// Same budget. Argument: records in the datagram; a sender puts one in each,
// 60 (1,440 bytes) is the most that one Ethernet frame carries. Each record
// writes its variable and logs a line (whose file does not open here).
void BM_WalkVarDatagram(benchmark::State& state) {
  const ModuleSession session;
  UsePlainTable();
  const std::vector<std::uint8_t> bytes = VarRecords(static_cast<std::size_t>(state.range(0)));
  ReceiveLimits limits;
  for (auto _ : state) WalkDatagram(bytes.data(), bytes.size(), limits);
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_WalkVarDatagram)->ArgName("records")->Arg(1)->Arg(60)->Unit(benchmark::kMicrosecond);

// Same budget, for the reliable channel: a 4,800-byte read of 200 records,
// each of which writes its variable and logs a line (whose file does not
// open here, so the figure leaves out the disk).
void BM_ApplyReliableRecords(benchmark::State& state) {
  const ModuleSession session;
  UsePlainTable();
  const std::vector<std::uint8_t> bytes = VarRecords(4800 / kMessageSize);
  ReceiveLimits limits;
  for (auto _ : state)
    ApplyReliableRecords(bytes.data(), bytes.size(), limits,
                         [](const std::uint8_t*, std::size_t) {});
  state.SetItemsProcessed(state.iterations() *
                          static_cast<std::int64_t>(bytes.size() / kMessageSize));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_ApplyReliableRecords)->Unit(benchmark::kMicrosecond);

// How the walk's cost grows with the table: one reliable read holding one
// record for each of the table's N entries, so that every entry is applied
// once. Reported per entry.
void BM_ReceiveWalk(benchmark::State& state) {
  const ModuleSession session;
  const auto entries = static_cast<std::size_t>(state.range(0));
  UsePlainTable(entries);
  const std::vector<std::uint8_t> bytes = VarRecords(entries, entries);
  ReceiveLimits limits;
  for (auto _ : state)
    ApplyReliableRecords(bytes.data(), bytes.size(), limits,
                         [](const std::uint8_t*, std::size_t) {});
  state.counters["s/entry"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(entries),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReceiveWalk)
    ->ArgName("entries")
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
