// The end-to-end harness for the Windows build: the stand-in simulator built
// for Windows (simhost.exe beside its SimConnect.dll and udt.dll) loads
// MultiShared.dll under Wine, one Wine prefix per side. By default that is
// the 64-bit build under the host's wine64; a derived test names another
// build and what runs its Wine. The prefixes are made once and kept in the
// build folder; each side's Windows documents folder is pointed at the side's
// run folder, so the harness finds the module's files where it always does.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "shared_flight.h"
#include "wine_prefixes.h"

namespace e2e {

class WineFlightTest : public SharedFlightTest {
 protected:
  struct WineSetup {
    WinePrefixes prefixes;
    std::string simDir;      // simhost.exe, SimConnect.dll and udt.dll
    std::string modulePath;  // MultiShared.dll
  };
  // The build and Wine to run, or nothing and why the test is skipped.
  virtual std::optional<WineSetup> Setup(std::string* whyNot);

  void SetUp() override;
  void TearDown() override;
  std::vector<std::string> SimulatorCommand(int side, const std::string& base,
                                            const std::string& duration,
                                            const std::string& run) const override;
  // A Wine program of the side's prefix with its arguments, as run from Linux.
  std::vector<std::string> WineCommand(int side, const std::vector<std::string>& argv) const {
    return setup_.prefixes.Command(side, argv);
  }
  const WineSetup& Wine() const { return setup_; }

  // Further simhost arguments for each side.
  std::vector<std::string> simhostExtra_[2];

 private:
  WineSetup setup_;
  bool started_ = false;
};

// The shared cockpit of two Windows instances: follow and swap, a reliable
// and a datagram variable each way, a relayed key event, the stop handshake
// and whole log lines, checked in the traces and logs.
class WineCockpitScenario : public WineFlightTest {
 protected:
  void FlyAndCheck();
  // After FlyAndCheck: the greatest distance in metres between the following
  // aircraft and the flying one before the swap, once easing has settled
  // (-1 when it never followed).
  double followMetres_ = -1.0;
  // Seconds by which the server's actions from the variables on come later,
  // for a client whose simulator takes that much longer to start.
  int serverLead_ = 0;
};

}  // namespace e2e
