// Two Windows instances share a cockpit under wine64: the 64-bit module in
// the Windows stand-in, with the udt.dll built from UDT's source. One run
// covers what only the Windows code paths do: Winsock datagrams, UDT on
// Windows, the role threads, the documents folder and the appended log.
#include "wine_flight.h"

namespace e2e {
namespace {

class WineSharedCockpitTest : public WineCockpitScenario {};

TEST_F(WineSharedCockpitTest, TwoWindowsInstancesShareACockpit) { FlyAndCheck(); }

}  // namespace
}  // namespace e2e
