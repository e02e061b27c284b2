// The end-to-end harness for the Windows build: the stand-in simulator built
// for 64-bit Windows (simhost.exe beside its SimConnect.dll and udt.dll) loads
// the 64-bit MultiShared.dll under wine64, one Wine prefix per side. The
// prefixes are made once and kept in the build folder; each side's Windows
// documents folder is pointed at the side's run folder, so the harness finds
// the module's files where it always does.
#pragma once

#include <string>
#include <vector>

#include "shared_flight.h"

namespace e2e {

class WineFlightTest : public SharedFlightTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::vector<std::string> SimulatorCommand(int side, const std::string& base,
                                            const std::string& duration,
                                            const std::string& run) const override;

 private:
  std::string Prefix(int side) const;
  // Every Wine program of the prefix ended, so that the next run's wineserver
  // starts inside the namespace it is run in.
  void StopWineServer(int side) const;

  std::string wine_;
  std::string wineServer_;
};

// A Linux path as a Windows program under Wine names it (Wine's Z: drive).
std::string WindowsPath(const std::string& path);

}  // namespace e2e
