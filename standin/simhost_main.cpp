// simhost: the stand-in simulator as a program. It loads the module, drives
// it frame by frame, plays a script of cockpit actions and traces what it sees.
#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "host.h"
#include "host_os.h"
#include "script.h"
#include "standin.h"
#include "trace.h"

namespace {

constexpr int kUsageError = 2;

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"simhost: the stand-in simulator that loads and drives the MultiShared module"};
  standin::HostOptions options;
  // Script times, the duration and the trace's "t" all count from here.
  options.startNs = standin::MonotonicNs();
  std::string documents;
  std::optional<std::string> scriptPath;
  std::optional<std::string> tracePath;
  app.add_option("--module", options.modulePath, "module library to load")->required();
#ifndef _WIN32
  app.add_option("--documents", documents, "the module's documents folder (XDG_DOCUMENTS_DIR)")
      ->required();
#endif
  app.add_option("--script", scriptPath, "script of timed cockpit and simulator actions");
  app.add_option("--rate", options.rateHz, "frames per second")
      ->capture_default_str()
      ->check(CLI::Range(0.1, 10000.0));
  app.add_option("--duration", options.durationSeconds, "seconds to run when no quit comes")
      ->capture_default_str()
      ->check(CLI::NonNegativeNumber);
  app.add_option("--trace", tracePath, "JSON Lines trace file");
  bool x87Single = false;
  app.add_flag("--x87-single", x87Single,
               "run the frames with the x87 precision set to single, as Direct3D 9 sets it");
  std::vector<std::string> loadFirst;
  app.add_option("--load-first", loadFirst,
                 "a library to load before the module and keep, as another add-on would");
  app.add_option("--aircraft-variables", options.aircraftVariables,
                 "named variables the aircraft's gauges make known before the module loads "
                 "(identifiers from 0, in this order)")
      ->delimiter(',');
  std::uint32_t failOpen = 0;
  app.add_option("--fail-open", failOpen,
                 "the module's SimConnect open fails with this result (non-zero, such as "
                 "0x80004005)")
      ->check(CLI::Range(1u, 0xFFFFFFFFu));
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& success) {
    return app.exit(success);
  } catch (const CLI::ParseError& error) {
    app.exit(error);
    return kUsageError;
  }

  // This thread runs every frame, so its floating-point state is the module's.
  if (x87Single && !standin::SetX87SinglePrecision()) {
    std::cerr << "simhost: --x87-single needs a 32-bit x86 build\n";
    return kUsageError;
  }
  options.failOpen = static_cast<SimConnectResult>(failOpen);

  // Another add-on's libraries stay loaded for the whole run, as in the simulator.
  for (const std::string& path : loadFirst) {
    std::string error;
    if (standin::OpenLibrary(path, &error) == nullptr) {
      std::cerr << "simhost: cannot load " << path << ": " << error << '\n';
      return kUsageError;
    }
  }

  std::vector<standin::ScriptCommand> script;
  if (scriptPath) {
    std::ifstream in(*scriptPath);
    if (!in) {
      std::cerr << "simhost: cannot read script " << *scriptPath << '\n';
      return kUsageError;
    }
    auto parsed = standin::ParseScript(in);
    if (const auto* error = std::get_if<standin::ScriptError>(&parsed)) {
      std::cerr << "script:" << error->line << ": " << error->what << '\n';
      return kUsageError;
    }
    script = std::move(std::get<std::vector<standin::ScriptCommand>>(parsed));
  }

  std::unique_ptr<standin::Trace> trace;
  if (tracePath) {
    trace = std::make_unique<standin::Trace>(*tracePath, options.startNs);
    if (!trace->IsOpen()) {
      std::cerr << "simhost: cannot write trace " << *tracePath << '\n';
      return kUsageError;
    }
    standin::SetTrace(trace.get());
  }

  // The module finds its files under the documents folder it is given; on
  // Windows under the user's.
  if (!documents.empty() && !standin::SetDocumentsFolder(documents)) {
    std::cerr << "simhost: cannot set the documents folder " << documents << '\n';
    return kUsageError;
  }
  const int result = standin::RunHost(options, script);
  standin::SetTrace(nullptr);
  return result;
}
