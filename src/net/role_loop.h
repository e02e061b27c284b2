// What the loops of both roles share. A send pass polls the shared table,
// sends what changed by its category's rule, releases the cockpit's key-clear
// request and, while this instance flies, sends the aircraft state.
#pragma once

#include <cstdint>
#include <functional>

#include "net/role_sends.h"
#include "net/wire_records.h"

// Where a pass sends to: the role's reliable channel, its datagram channel
// for VarValueRecords and for the aircraft state.
struct RoleOutput {
  std::function<void(std::int32_t kind, double index, double value, double extra)> reliable;
  std::function<void(double index, double value, double extra)> datagram;
  std::function<void(const AircraftStateRecord& record)> state;
  // Whole 24-byte records on the reliable channel, to every connection: the
  // extension's, or what a pass gathered (net/pass_batch.h).
  std::function<void(const std::uint8_t* records, std::size_t size)> extension;
  // Tells the peer the current isFollower.
  std::function<void()> followerFlag;
  // Whether the reliable channel holds records not yet delivered.
  std::function<bool()> reliableBusy;
  // One datagram of whole VarValueRecords.
  std::function<void(const std::uint8_t* records, std::size_t size)> datagramRecords;
};

enum class ReliableChangeRule {
  kEndsScan,   // the server sends one category-0 change per pass
  kContinues,  // the client sends all of them in the pass that sees them
};

inline constexpr unsigned kSendPauseMs = 5;
inline constexpr unsigned kReceivePauseMs = 2;

// Names the loops give their threads once their role's setup is done, so
// that threads the network library starts during setup keep another name.
inline constexpr const char* kSendThreadName = "ms-send";
inline constexpr const char* kReceiveThreadName = "ms-receive";

// The role's loops run while no stop is requested.
bool RoleRunning();

// The sends of a role object, as a send pass uses them.
template <typename Game>
RoleOutput OutputOf(Game& game) {
  return RoleOutput{[&game](std::int32_t kind, double index, double value, double extra) {
                      SendReliableRecord(game, kind, index, value, extra);
                    },
                    [&game](double index, double value, double extra) {
                      SendVarDatagram(game, index, value, extra);
                    },
                    [&game](const AircraftStateRecord& record) { SendStateDatagram(game, record); },
                    [&game](const std::uint8_t* records, std::size_t size) {
                      SendReliableBytes(game, records, size);
                    },
                    [&game] { SendFollowerFlag(game); },
                    [&game] { return ReliableBusy(game); },
                    [&game](const std::uint8_t* records, std::size_t size) {
                      SendVarDatagrams(game, records, size);
                    }};
}

struct ConvergeState;
// One pass at `nowMs` on the steady clock; `converge` is the loop's own.
void RunSendPass(const RoleOutput& output, ReliableChangeRule rule, ConvergeState& converge,
                 std::int64_t nowMs);

// Writes connectionStatus to "MP_STS" when it differs from what was shown;
// both roles' send loops call it every pass.
void ShowConnectionStatus();

// The cockpit's request to swap who flies ("MP_TGL"), taken by the receive
// loops: flips isFollower, consumes the request, tells the peer, logs it and
// shows the new flag in "MP_CONN".
void TakeToggleRequest(const RoleOutput& output);
