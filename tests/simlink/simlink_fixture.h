// Drives the module through the stand-in simulator: started, its SimConnect
// connection open, a flight started and the first aircraft state delivered;
// nothing follows and no role runs.
#pragma once

#include <array>
#include <vector>

#include "lvars/fixed_ids.h"
#include "simlink/dispatch.h"
#include "standin.h"
#include "support/module_fixture.h"

class SimlinkTest : public ModuleFixture {
 protected:
  void SetUp() override {
    ModuleFixture::SetUp();
    StartModule();  // open, "SimStart", then the first aircraft state
    NameSpoilerVariable();
  }
  void TearDown() override {
    // No role runs in these tests; a set flag would make module stop wait
    // for one.
    Store(roleSetup.roleStarted, false);
    ModuleFixture::TearDown();
  }

  static void NameSpoilerVariable() {
    standin::CreateNamed("Spoiler_lv_Anim");
    ResolveFixed("Spoiler_lv_Anim", slot::kSpoilerAnimId);
  }
  static CockpitVars& vars() { return *simThread.sharedState->vars; }
  static AircraftState& aircraft() { return *simThread.sharedState->aircraft; }

  static void SendEvent(SimConnectDword eventId, SimConnectDword data) {
    SimConnectRecvEvent event{
        sizeof(SimConnectRecvEvent), 4, simconnect::kRecvIdEvent, 0, eventId, data};
    SimConnectDispatch(reinterpret_cast<SimConnectRecv*>(&event), sizeof(event), nullptr);
  }
};

// The 41 values of one aircraft-state data message, set by field.
class AircraftValues {
 public:
  AircraftValues& Set(AtomicDouble AircraftState::*field, double value) {
    for (std::size_t i = 0; i < kAircraftStateFieldCount; ++i) {
      if (kAircraftStateFields[i].field == field) values_[i] = value;
    }
    return *this;
  }
  double& operator[](std::size_t i) { return values_[i]; }

  // Hands the values to the dispatch callback as the simulator would.
  void Deliver(SimConnectDword requestId = 0) const {
    standin::DataRequest request{};
    request.requestId = requestId;
    request.defineId = 34;
    standin::RecvMessage message =
        standin::DataMessage(request, std::vector<double>(values_.begin(), values_.end()));
    SimConnectDispatch(message.Recv(), message.size, nullptr);
  }

 private:
  std::array<double, kAircraftStateFieldCount> values_{};
};
