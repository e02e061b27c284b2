// The suite's measurements. Each returns its figures as JSON and writes the
// data behind its plots into the output folder.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "flight.h"

namespace e2e_bench {

struct SuiteOptions {
  Programs programs;
  std::string output;  // results, plot data and the runs' folders
  bool smoke = false;  // a short run: few samples, figures not meant to be read
  // Seconds more than the Linux stand-in that a simulator takes to start and
  // connect (under Wine): the flight's writes begin that much later.
  double startAllowance = 0.0;
};

// One turning climb at 250 kt while the flying cockpit writes two shared
// variables in turn, one for each channel: their delay to the peer, the
// aircraft-state datagrams on the wire, the follower's lag beside the
// easing's alone, and the client's time to "MP_STS" 1.
nlohmann::json RunFlight(const SuiteOptions& options);

// A 250 kt turning climb that the client follows, with SharedConfig.cfg's
// option "close follow" or without it, then a swap of who flies: the
// follower's distance, time lag and attitude against the leader's, beside
// the easing's alone, and the distance between the aircraft through the swap.
nlohmann::json RunFollow(const SuiteOptions& options, bool closeFollow);

// CPU of each kind of thread of both instances while `variables` shared
// variables are polled and the aircraft state flows.
nlohmann::json RunCpu(const SuiteOptions& options, int variables);

// `runs` short flights: the gauge kill to "Thread Close Process Completed" on
// both sides, the client's time to "MP_STS" 1, and UDT's cleanup by itself.
nlohmann::json RunStops(const SuiteOptions& options, int runs);

}  // namespace e2e_bench
