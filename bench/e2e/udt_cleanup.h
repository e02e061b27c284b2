// What UDT's own teardown takes: a connected pair of UDT sockets on the
// loopback interface, closed, then the library cleaned up.
#pragma once

#include <vector>

namespace e2e_bench {

// Milliseconds of close and cleanup, one a run; a run whose connection
// could not be made is left out.
std::vector<double> TimeUdtCleanup(int runs);

}  // namespace e2e_bench
