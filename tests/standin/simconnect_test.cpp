// SimConnect as the stand-in offers it: the connection's messages, the data of
// a request with the changed-only flag, and writes that move the aircraft.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "common/shared_state.h"
#include "standin.h"
#include "trace.h"
#include "trace_reader.h"

namespace {

struct Delivered {
  SimConnectDword id;
  SimConnectDword size;
  std::vector<unsigned char> bytes;

  template <typename Record>
  Record As() const {
    Record record{};
    std::memcpy(&record, bytes.data(), std::min(sizeof(Record), bytes.size()));
    return record;
  }
  std::vector<double> Data() const {
    const auto header = As<SimConnectRecvSimObjectData>();
    std::vector<double> values(header.dwDefineCount);
    std::memcpy(values.data(), bytes.data() + 40, values.size() * sizeof(double));
    return values;
  }
};

std::vector<Delivered> delivered;
void* deliveredContext = nullptr;

void MS_STDCALL Collect(SimConnectRecv* message, SimConnectDword size, void* context) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(message);
  delivered.push_back({message->dwID, size, {bytes, bytes + size}});
  deliveredContext = context;
}

class SimConnectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    standin::Reset();
    delivered.clear();
  }
  void TearDown() override { standin::Reset(); }

  // An open connection with the dispatch callback registered and its first
  // messages delivered.
  void Open() {
    ASSERT_EQ(SimConnect_Open(&handle_, "QuelvoMultiplayer", nullptr, 0, nullptr, 0), 0);
    ASSERT_EQ(SimConnect_CallDispatch(handle_, Collect, &context_), 0);
  }
  void DefineAircraftState() {
    for (const auto& field : kAircraftStateFields) {
      ASSERT_EQ(
          SimConnect_AddToDataDefinition(handle_, 34, field.simVar, field.unit,
                                         simconnect::kDataTypeFloat64, 0.0f, simconnect::kUnused),
          0);
    }
  }
  void RequestAircraftState() {
    ASSERT_EQ(SimConnect_RequestDataOnSimObject(handle_, 0, 34, simconnect::kObjectIdUser,
                                                simconnect::kPeriodSimFrame,
                                                simconnect::kDataRequestFlagChanged, 0, 0, 0),
              0);
  }
  std::vector<Delivered> DataMessages() const {
    std::vector<Delivered> data;
    for (const auto& message : delivered) {
      if (message.id == simconnect::kRecvIdSimObjectData) data.push_back(message);
    }
    return data;
  }

  SimConnectHandle handle_ = nullptr;
  int context_ = 0;
};

TEST_F(SimConnectTest, FailNextOpenFailsOnceAndCallsNeedAnOpenConnection) {
  standin::FailNextOpen(static_cast<SimConnectResult>(0x80004005u));
  EXPECT_NE(SimConnect_Open(&handle_, "QuelvoMultiplayer", nullptr, 0, nullptr, 0), 0);
  EXPECT_FALSE(standin::ConnectionOpen());
  EXPECT_NE(SimConnect_CallDispatch(handle_, Collect, nullptr), 0);
  EXPECT_NE(SimConnect_AddToDataDefinition(handle_, 1, "G FORCE", "GForce", 4, 0.0f, 0), 0);
  EXPECT_TRUE(standin::Definitions().empty());

  Open();
  EXPECT_TRUE(standin::ConnectionOpen());
  EXPECT_EQ(SimConnect_Close(handle_), 0);
  EXPECT_FALSE(standin::ConnectionOpen());
  EXPECT_NE(SimConnect_TransmitClientEvent(handle_, 0, 56, 1, 0, 0), 0);
  EXPECT_TRUE(standin::ClientEventCalls().empty());
}

TEST_F(SimConnectTest, MessagesWaitForDeliveryOpenComesFirstThenSubscribedSimStart) {
  Open();
  EXPECT_TRUE(delivered.empty());
  standin::DeliverMessages();
  // Not subscribed yet when the open message came: no flight start.
  ASSERT_EQ(delivered.size(), 1u);
  EXPECT_EQ(delivered[0].id, simconnect::kRecvIdOpen);
  EXPECT_EQ(delivered[0].size, sizeof(SimConnectRecvOpen));
  EXPECT_EQ(deliveredContext, &context_);

  ASSERT_EQ(SimConnect_SubscribeToSystemEvent(handle_, 0, "SimStart"), 0);
  standin::QueueSimStart();
  standin::QueueClientEvent(301, 0xFFFFC001u);
  standin::DeliverMessages();
  ASSERT_EQ(delivered.size(), 3u);
  const auto simStart = delivered[1].As<SimConnectRecvEvent>();
  EXPECT_EQ(simStart.dwID, simconnect::kRecvIdEvent);
  EXPECT_EQ(simStart.uEventID, 0u);
  const auto clientEvent = delivered[2].As<SimConnectRecvEvent>();
  EXPECT_EQ(clientEvent.dwSize, sizeof(SimConnectRecvEvent));
  EXPECT_EQ(clientEvent.uGroupID, 0u);
  EXPECT_EQ(clientEvent.uEventID, 301u);
  EXPECT_EQ(clientEvent.dwData, 0xFFFFC001u);
  EXPECT_EQ(standin::SystemEventSubscriptions().at(0).second, "SimStart");
}

TEST_F(SimConnectTest, AircraftStateIsDeliveredInDefinitionOrderOnlyWhenItChanged) {
  Open();
  DefineAircraftState();
  standin::DeliverMessages();
  RequestAircraftState();
  standin::DeliverMessages();
  auto data = DataMessages();
  ASSERT_EQ(data.size(), 1u) << "the first delivery of a request always carries the data";
  const auto header = data[0].As<SimConnectRecvSimObjectData>();
  EXPECT_EQ(header.dwRequestID, 0u);
  EXPECT_EQ(header.dwDefineID, 34u);
  EXPECT_EQ(header.dwFlags, simconnect::kDataRequestFlagChanged);
  EXPECT_EQ(header.dwDefineCount, kAircraftStateFieldCount);
  EXPECT_EQ(data[0].size, 40 + kAircraftStateFieldCount * 8);
  const auto values = data[0].Data();
  for (std::size_t i = 0; i < kAircraftStateFieldCount; ++i) {
    EXPECT_EQ(values[i], standin::AircraftVariable(kAircraftStateFields[i].simVar))
        << kAircraftStateFields[i].simVar;
  }
  EXPECT_EQ(values[13], 47.0);   // PLANE LATITUDE
  EXPECT_EQ(values[1], 3000.0);  // PLANE ALTITUDE

  standin::DeliverMessages();
  EXPECT_EQ(DataMessages().size(), 1u) << "nothing changed, nothing sent";

  standin::SetAircraftVariable("COM ACTIVE FREQUENCY:2", 123.45);
  standin::DeliverMessages();
  data = DataMessages();
  ASSERT_EQ(data.size(), 2u);
  EXPECT_EQ(data[1].Data()[40], 123.45);

  standin::AdvanceAircraft(0.1);
  standin::DeliverMessages();
  EXPECT_EQ(DataMessages().size(), 3u) << "time passing changes the state";

  // Made again (a new flight start): the data comes again at once.
  RequestAircraftState();
  standin::DeliverMessages();
  EXPECT_EQ(DataMessages().size(), 4u);
  EXPECT_EQ(standin::DataRequests().size(), 2u);
}

TEST_F(SimConnectTest, SetDataMovesTheAircraftVariableTheDefinitionNamesAndIsTraced) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("ms-simconnect-trace-" + std::to_string(::getpid()) + ".jsonl");
  standin::Trace trace(path.string(), standin::MonotonicNs());
  standin::SetTrace(&trace);
  Open();
  ASSERT_EQ(SimConnect_AddToDataDefinition(handle_, 31, "PLANE LATITUDE", "degrees", 4, 0.0f,
                                           simconnect::kUnused),
            0);
  ASSERT_EQ(SimConnect_AddToDataDefinition(handle_, 32, "GEAR HANDLE POSITION", "bool", 4, 0.0f,
                                           simconnect::kUnused),
            0);
  double latitude = 46.5;
  EXPECT_EQ(SimConnect_SetDataOnSimObject(handle_, 31, 0, 0, 0, 8, &latitude), 0);
  EXPECT_EQ(standin::AircraftVariable("PLANE LATITUDE"), 46.5);

  // The module's receive thread writes the gear handle while frames run.
  std::thread receiver([this] {
    double gear = 1.0;
    for (int i = 0; i < 100; ++i) SimConnect_SetDataOnSimObject(handle_, 32, 0, 0, 0, 8, &gear);
  });
  for (int i = 0; i < 100; ++i) standin::AdvanceAircraft(0.01);
  receiver.join();
  EXPECT_EQ(standin::AircraftVariable("GEAR HANDLE POSITION"), 1.0);

  EXPECT_EQ(SimConnect_TransmitClientEvent(handle_, 0, 56, 0xFFFFFF9Cu, 1900000000u, 16), 0);
  standin::SetTrace(nullptr);

  const auto calls = standin::SetDataCalls();
  ASSERT_EQ(calls.size(), 101u);
  EXPECT_EQ(calls[0].defineId, 31u);
  EXPECT_EQ(calls[0].value, 46.5);
  const auto events = standin::ClientEventCalls();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].eventId, 56u);
  EXPECT_EQ(events[0].groupId, 1900000000u);
  EXPECT_EQ(events[0].flags, 16u);

  const auto records = ReadTrace(path);
  std::filesystem::remove(path);
  const auto setData = OfType(records, "set_data");
  ASSERT_EQ(setData.size(), 101u);
  EXPECT_EQ(setData[0]["definition"], 31);
  EXPECT_EQ(setData[0]["value"], 46.5);
  const auto clientEvents = OfType(records, "client_event");
  ASSERT_EQ(clientEvents.size(), 1u);
  EXPECT_EQ(clientEvents[0]["event"], 56);
  EXPECT_EQ(clientEvents[0]["data"], 0xFFFFFF9Cu);
}

TEST_F(SimConnectTest, DefinitionsAreRecordedInCallOrderWithTheirNamesAndUnits) {
  Open();
  DefineAircraftState();
  ASSERT_EQ(SimConnect_AddToDataDefinition(handle_, 37, "Airspeed indicated", "knots", 4, 0.0f,
                                           simconnect::kUnused),
            0);
  const auto definitions = standin::Definitions();
  ASSERT_EQ(definitions.size(), kAircraftStateFieldCount + 1);
  EXPECT_EQ(definitions[0].simVar, "TOTAL WEIGHT");
  EXPECT_EQ(definitions[0].unit, "Pounds");
  EXPECT_EQ(definitions[0].datumType, simconnect::kDataTypeFloat64);
  EXPECT_EQ(definitions[0].datumId, simconnect::kUnused);
  EXPECT_EQ(definitions.back().defineId, 37u);
  // SimConnect names compare without regard to case.
  standin::SetAircraftVariable("AIRSPEED INDICATED", 180.0);
  EXPECT_EQ(standin::AircraftVariable("Airspeed indicated"), 180.0);
}

}  // namespace
