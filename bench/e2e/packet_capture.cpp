#include "packet_capture.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <netinet/ip.h>
#include <netinet/udp.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "log_watch.h"

namespace e2e_bench {

namespace {

// RcvbufErrors + InErrors of the "Udp:" lines of this thread's namespace.
std::int64_t UdpReceiveErrors() {
  std::ifstream snmp("/proc/thread-self/net/snmp");
  std::string names, values;
  while (std::getline(snmp, names)) {
    if (names.rfind("Udp: ", 0) != 0 || !std::getline(snmp, values)) continue;
    std::istringstream n(names), v(values);
    std::string name, value;
    std::int64_t errors = 0;
    while (n >> name && v >> value) {
      if (name == "InErrors" || name == "RcvbufErrors") errors += std::stoll(value);
    }
    return errors;
  }
  return 0;
}

}  // namespace

PacketCapture::PacketCapture(const std::string& netns, Direction direction, std::uint16_t port,
                             std::size_t payloadSize)
    : direction_(direction), port_(port), payloadSize_(payloadSize) {
  thread_ = std::thread(&PacketCapture::Run, this, netns);
}

PacketCapture::~PacketCapture() { Stop(); }

void PacketCapture::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void PacketCapture::Run(std::string netns) {
  // Entering a network namespace changes only the calling thread's.
  const int nsFd = ::open(("/run/netns/" + netns).c_str(), O_RDONLY | O_CLOEXEC);
  if (nsFd < 0 || ::setns(nsFd, CLONE_NEWNET) != 0) {
    error_ = "cannot enter namespace " + netns + ": " + std::strerror(errno);
    if (nsFd >= 0) ::close(nsFd);
    return;
  }
  ::close(nsFd);
  // Outgoing packets reach only sockets of every protocol.
  const int s = ::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ALL));
  if (s < 0) {
    error_ = std::string("cannot open a packet socket: ") + std::strerror(errno);
    return;
  }
  const timeval wake{0, 100'000};
  ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &wake, sizeof wake);
  const std::int64_t dropsBefore = UdpReceiveErrors();
  const unsigned char wanted = direction_ == Direction::kIncoming ? PACKET_HOST : PACKET_OUTGOING;
  unsigned char packet[2048];
  while (!stop_) {
    sockaddr_ll from{};
    socklen_t fromLength = sizeof from;
    const ssize_t n =
        ::recvfrom(s, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n <= 0 || from.sll_pkttype != wanted || from.sll_protocol != htons(ETH_P_IP)) continue;
    const auto size = static_cast<std::size_t>(n);
    if (size < sizeof(iphdr)) continue;
    iphdr ip{};
    std::memcpy(&ip, packet, sizeof ip);
    const std::size_t ipLength = static_cast<std::size_t>(ip.ihl) * 4;
    if (ip.protocol != IPPROTO_UDP || size < ipLength + sizeof(udphdr)) continue;
    udphdr udp{};
    std::memcpy(&udp, packet + ipLength, sizeof udp);
    if (ntohs(udp.dest) != port_ || ntohs(udp.len) != payloadSize_ + sizeof(udphdr)) continue;
    times_.push_back(MonotonicNowNs());
  }
  drops_ = UdpReceiveErrors() - dropsBefore;
  ::close(s);
}

}  // namespace e2e_bench
