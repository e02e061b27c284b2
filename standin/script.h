// simhost's script: timed cockpit and simulator actions, one a line.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <variant>
#include <vector>

namespace standin {

struct ScriptCommand {
  enum class Kind {
    kSet,
    kKey,
    kEvent,
    kSimStart,
    kFly,
    kGear,
    kParkingBrake,
    kReload,
    kException,
    kSimConnectQuit,
    kQuit
  };
  double time = 0.0;  // seconds from the start of the run
  int line = 0;
  Kind kind = Kind::kQuit;
  std::string name;                      // set
  double value = 0.0;                    // set
  std::uint32_t id = 0, data = 0;        // key, event; exception: code, send id
  std::uint32_t index = 0;               // exception: parameter
  double fly[4] = {0.0, 0.0, 0.0, 0.0};  // bank, pitch, speed, vertical speed
  bool on = false;                       // gear, parkingbrake
};

struct ScriptError {
  int line;
  std::string what;
};

// The whole script, or the first line that is wrong.
std::variant<std::vector<ScriptCommand>, ScriptError> ParseScript(std::istream& in);

}  // namespace standin
