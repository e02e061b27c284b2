// Arrival times of UDP datagrams of one size to one port, seen at the network
// interfaces of a network namespace: what the wire carried, independent of
// when the module reads it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace e2e_bench {

class PacketCapture {
 public:
  enum class Direction { kIncoming, kOutgoing };

  // Starts capturing in namespace `netns` (a name of `ip netns`).
  PacketCapture(const std::string& netns, Direction direction, std::uint16_t port,
                std::size_t payloadSize);
  ~PacketCapture();
  PacketCapture(const PacketCapture&) = delete;
  PacketCapture& operator=(const PacketCapture&) = delete;

  // Ends the capture; afterwards the results below are complete.
  void Stop();
  // CLOCK_MONOTONIC of each datagram, in order.
  const std::vector<std::int64_t>& TimesNs() const { return times_; }
  // UDP datagrams the namespace's sockets dropped (receive buffer full or
  // other receive errors) while the capture ran.
  std::int64_t SocketDrops() const { return drops_; }
  // Empty, or why nothing could be captured.
  const std::string& Error() const { return error_; }

 private:
  void Run(std::string netns);

  Direction direction_;
  std::uint16_t port_;
  std::size_t payloadSize_;
  std::atomic<bool> stop_{false};
  std::vector<std::int64_t> times_;
  std::int64_t drops_ = 0;
  std::string error_;
  std::thread thread_;
};

}  // namespace e2e_bench
