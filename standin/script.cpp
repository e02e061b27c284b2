#include "script.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>
#include <optional>
#include <sstream>

namespace standin {

namespace {

using Kind = ScriptCommand::Kind;

struct CommandShape {
  Kind kind;
  std::size_t arguments;
  const char* usage;
};

const std::map<std::string, CommandShape>& Commands() {
  static const std::map<std::string, CommandShape> commands = {
      {"set", {Kind::kSet, 2, "set NAME VALUE"}},
      {"key", {Kind::kKey, 2, "key ID DATA"}},
      {"event", {Kind::kEvent, 2, "event ID DATA"}},
      {"simstart", {Kind::kSimStart, 0, "simstart"}},
      {"fly", {Kind::kFly, 4, "fly BANK_DEG PITCH_DEG SPEED_KT VS_FPM"}},
      {"gear", {Kind::kGear, 1, "gear 0|1"}},
      {"parkingbrake", {Kind::kParkingBrake, 1, "parkingbrake 0|1"}},
      {"reload", {Kind::kReload, 0, "reload"}},
      {"exception", {Kind::kException, 3, "exception CODE SEND_ID PARAMETER"}},
      {"simconnectquit", {Kind::kSimConnectQuit, 0, "simconnectquit"}},
      {"quit", {Kind::kQuit, 0, "quit"}},
  };
  return commands;
}

std::optional<double> ParseDouble(const std::string& text) {
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno == ERANGE) return std::nullopt;
  return value;
}

std::optional<double> ParseFinite(const std::string& text) {
  const auto value = ParseDouble(text);
  if (!value || !std::isfinite(*value)) return std::nullopt;
  return value;
}

// Decimal or 0x-hex; with allowNegative, -2^31.. as the 32-bit pattern of the
// signed value (event data is a signed integer for some events).
std::optional<std::uint32_t> ParseWord(const std::string& text, bool allowNegative) {
  const bool negative = !text.empty() && text[0] == '-';
  if (negative && !allowNegative) return std::nullopt;
  const std::string digits = negative ? text.substr(1) : text;
  if (digits.empty() || digits[0] == '-' || digits[0] == '+') return std::nullopt;
  const bool hex = digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
  if (negative && hex) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(digits.c_str(), &end, hex ? 16 : 10);
  if (*end != '\0' || errno == ERANGE || end == digits.c_str()) return std::nullopt;
  if (negative) {
    if (value > 0x80000000ull) return std::nullopt;
    return static_cast<std::uint32_t>(-static_cast<std::int64_t>(value));
  }
  if (value > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

// Fills the command's arguments, or says what is wrong with them.
std::optional<std::string> ParseArguments(ScriptCommand& command,
                                          const std::vector<std::string>& args) {
  switch (command.kind) {
    case Kind::kSet: {
      command.name = args[0];
      const auto value = ParseDouble(args[1]);
      if (!value) return "value '" + args[1] + "' is not a number";
      command.value = *value;
      return std::nullopt;
    }
    case Kind::kKey:
    case Kind::kEvent: {
      const auto id = ParseWord(args[0], false);
      if (!id) return "id '" + args[0] + "' is not a 32-bit number (decimal or 0x-hex)";
      const auto data = ParseWord(args[1], true);
      if (!data) return "data '" + args[1] + "' is not a 32-bit number (decimal or 0x-hex)";
      command.id = *id;
      command.data = *data;
      return std::nullopt;
    }
    case Kind::kException: {
      static const char* const kNames[3] = {"code", "send id", "parameter"};
      std::uint32_t* const fields[3] = {&command.id, &command.data, &command.index};
      for (int i = 0; i < 3; ++i) {
        const auto word = ParseWord(args[i], false);
        if (!word) return std::string(kNames[i]) + " '" + args[i] + "' is not a 32-bit number";
        *fields[i] = *word;
      }
      return std::nullopt;
    }
    case Kind::kFly: {
      static const char* const kNames[4] = {"bank", "pitch", "speed", "vertical speed"};
      for (int i = 0; i < 4; ++i) {
        const auto value = ParseFinite(args[i]);
        if (!value) return std::string(kNames[i]) + " '" + args[i] + "' is not a number";
        command.fly[i] = *value;
      }
      if (!(std::fabs(command.fly[0]) < 90.0)) return "bank must lie between -90 and 90 degrees";
      if (!(std::fabs(command.fly[1]) <= 90.0)) return "pitch must lie between -90 and 90 degrees";
      if (command.fly[2] < 0.0) return "speed must not be negative";
      return std::nullopt;
    }
    case Kind::kGear:
    case Kind::kParkingBrake:
      if (args[0] != "0" && args[0] != "1") return "expected 0 or 1, not '" + args[0] + "'";
      command.on = args[0] == "1";
      return std::nullopt;
    case Kind::kSimStart:
    case Kind::kReload:
    case Kind::kSimConnectQuit:
    case Kind::kQuit:
      return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

std::variant<std::vector<ScriptCommand>, ScriptError> ParseScript(std::istream& in) {
  std::vector<ScriptCommand> commands;
  std::string text;
  int line = 0;
  double lastTime = 0.0;
  while (std::getline(in, text)) {
    ++line;
    if (const auto hash = text.find('#'); hash != std::string::npos) text.erase(hash);
    std::istringstream words(text);
    std::vector<std::string> tokens;
    for (std::string word; words >> word;) tokens.push_back(word);
    if (tokens.empty()) continue;

    ScriptCommand command;
    command.line = line;
    const auto time = ParseFinite(tokens[0]);
    if (!time || *time < 0.0) {
      return ScriptError{line, "time '" + tokens[0] + "' is not a number of seconds"};
    }
    if (*time < lastTime)
      return ScriptError{line, "time " + tokens[0] + " is before the line above"};
    command.time = lastTime = *time;
    if (tokens.size() < 2) return ScriptError{line, "command missing after the time"};
    const auto shape = Commands().find(tokens[1]);
    if (shape == Commands().end()) return ScriptError{line, "unknown command '" + tokens[1] + "'"};
    command.kind = shape->second.kind;
    const std::vector<std::string> args(tokens.begin() + 2, tokens.end());
    if (args.size() != shape->second.arguments) {
      return ScriptError{line, std::string("expected TIME ") + shape->second.usage};
    }
    if (auto wrong = ParseArguments(command, args)) return ScriptError{line, *wrong};
    commands.push_back(std::move(command));
  }
  return commands;
}

}  // namespace standin
