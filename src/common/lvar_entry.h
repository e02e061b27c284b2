// One shared named variable of the table file, and its categories.
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <mutex>
#include <string>

enum class LVarCategory : std::int32_t {
  kNone = 0,
  kFctl = 1,
  kMbtn = 2,
  kFcu = 3,
  kFcuHeading = 4,
  kDisp = 5,
  kTerrWx = 6,
  kBtn = 7,
};

// A time long before any steady-clock reading, yet safe to subtract from one.
inline constexpr std::int64_t kNeverMs = std::numeric_limits<std::int64_t>::min() / 4;

// Fields that the role threads share are atomics; category and name are
// fixed once the entry is loaded.
struct LVarEntry {
  // Every identifier value is one the simulator may hand out, 0 included, so
  // whether `id` holds one is kept apart: set (release) after `id` is stored.
  std::atomic<std::uint32_t> id{0};
  std::atomic<bool> resolved{false};
  std::atomic<float> value{0.0f};
  std::atomic<float> previous{0.0f};
  std::atomic<std::int32_t> syncMark{0};
  // Held around a poll (read the variable, move value to previous, store the
  // new value) and around a write through SetLVar, so that a value applied
  // from the peer can never fall between the read and the stores of a poll
  // and then look like a local change that is sent back.
  std::mutex pollGuard;
  // The value both cockpits last agreed on as far as this side knows: the one
  // it sent, or the one it applied from the peer. Not a number until the
  // first send pass takes the value the cockpit started with.
  std::atomic<float> agreed{std::numeric_limits<float>::quiet_NaN()};
  // When a send pass last saw the local cockpit move the variable; a value
  // from the peer does not overwrite a move this fresh.
  std::atomic<std::int64_t> movedAtMs{kNeverMs};
  // When the value the entry holds came about, on this side's steady clock:
  // the send thread's poll that saw the cockpit move it, or the peer's stamp
  // of a value applied from it. Two instances that exchanged hellos settle a
  // disagreement by it (net/owner_rule.h).
  std::atomic<std::int64_t> stampMs{kNeverMs};
  // Receive thread only: a value a peer that speaks the extension sent as a
  // live change, held until its stamped copy comes on the reliable channel.
  // Until then a stamped value of that peer with another value is older
  // (the stream keeps the peer's order), whatever the clocks say.
  bool awaitingStamp = false;
  float awaitedValue = 0.0f;
  LVarCategory category = LVarCategory::kNone;
  std::string name;
};
