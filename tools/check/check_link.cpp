#include "check_link.h"

#include <array>
#include <atomic>
#include <cstring>
#include <optional>
#include <thread>

#include "common/config_file.h"
#include "platform/platform.h"
#include "system_sockets.h"
// system_sockets.h must come first.
#include <udt/udt.h>

namespace {

using Clock = std::chrono::steady_clock;

// A probe: a marker no module record starts with, then its kind.
constexpr std::array<char, 8> kProbeMark = {'M', 'S', 'C', 'H', 'E', 'C', 'K', '1'};
constexpr std::size_t kProbeSize = 12;
// From the datagram port to the peer's: shows the peer that the port lets
// datagrams in.
constexpr std::uint8_t kPortProbe = 0;
// From a port of the system's choice to the peer's datagram port, which
// answers it there: an answer shows that our datagrams reach the peer's port,
// even when nothing can reach our own datagram port.
constexpr std::uint8_t kAsk = 1;
constexpr std::uint8_t kAnswer = 2;
constexpr unsigned kProbePeriodMs = 100;
// Once everything worked, probes go on this long so that the peer learns it.
constexpr auto kLinger = std::chrono::seconds(2);
constexpr auto kConnectPause = std::chrono::milliseconds(500);

std::array<std::uint8_t, kProbeSize> Probe(std::uint8_t kind) {
  std::array<std::uint8_t, kProbeSize> probe{};
  std::memcpy(probe.data(), kProbeMark.data(), kProbeMark.size());
  probe[8] = kind;
  return probe;
}

// The kind of a probe in `buffer`, or nothing for anything else.
std::optional<std::uint8_t> ProbeKind(const std::uint8_t* buffer, long length) {
  if (length != static_cast<long>(kProbeSize) ||
      std::memcmp(buffer, kProbeMark.data(), kProbeMark.size()) != 0) {
    return std::nullopt;
  }
  return buffer[8];
}

class LinkCheck {
 public:
  explicit LinkCheck(const LinkSettings& settings) : settings_(settings) {}

  LinkResult Run() {
    const auto peer = ParsePeerAddress(settings_.peerAddress);
    if (!peer) {
      result_.setupError = "\"" + settings_.peerAddress + "\" is not an IPv4 address";
      return result_;
    }
    peer_ = *peer;
    if (platform::SocketsStartup() != 0) {
      result_.setupError = "the socket library did not start";
      return result_;
    }
    // Probing our own address would answer every probe ourselves.
    if (platform::IsOwnAddress(peer_)) {
      platform::SocketsCleanup();
      result_.setupError = settings_.peerAddress +
                           " on line 1 of SharedConfig.cfg is this computer's own address; "
                           "it must name the other computer";
      return result_;
    }
    UDT::startup();
    if (OpenPorts()) Exchange();
    if (udp_ != platform::kInvalidSocket) platform::CloseSocket(udp_);
    if (asker_ != platform::kInvalidSocket) platform::CloseSocket(asker_);
    if (listener_ != UDT::INVALID_SOCK) UDT::close(listener_);
    UDT::cleanup();
    platform::SocketsCleanup();
    return result_;
  }

 private:
  bool OpenPorts() {
    const std::uint16_t datagramPort = DatagramPortOf(settings_.basePort);
    udp_ = platform::OpenUdpSocket();
    if (udp_ == platform::kInvalidSocket || !platform::SetNonBlocking(udp_) ||
        platform::BindAnyAddress(udp_, datagramPort) != 0) {
      result_.setupError = "UDP port " + std::to_string(datagramPort) +
                           " is in use on this computer: end the simulator (or whatever else "
                           "holds it) and run the check again";
      return false;
    }
    asker_ = platform::OpenUdpSocket();
    if (asker_ == platform::kInvalidSocket || !platform::SetNonBlocking(asker_) ||
        platform::BindAnyAddress(asker_, 0) != 0) {
      result_.setupError = "no UDP socket could be opened";
      return false;
    }
    listener_ = UDT::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    // Unconverted, as the module stores it: the wire port is P swapped.
    address.sin_port = static_cast<std::uint16_t>(settings_.basePort);
    address.sin_addr.s_addr = INADDR_ANY;
    // Accepts must not block the probe loop.
    const bool no = false;
    UDT::setsockopt(listener_, 0, UDT_RCVSYN, &no, sizeof no);
    if (UDT::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
            UDT::ERROR ||
        UDT::listen(listener_, 4) == UDT::ERROR) {
      result_.setupError = "UDP port " + std::to_string(ReliableWirePortOf(settings_.basePort)) +
                           " is in use on this computer: end the simulator (or whatever else "
                           "holds it) and run the check again";
      return false;
    }
    return true;
  }

  // Connects to the peer's listener until it works or time is up; each
  // attempt blocks until UDT gives up (about 3 s).
  void ConnectLoop(Clock::time_point deadline) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = static_cast<std::uint16_t>(settings_.basePort);
    address.sin_addr.s_addr = peer_;
    while (Clock::now() < deadline) {
      const UDTSOCKET socket = UDT::socket(AF_INET, SOCK_STREAM, 0);
      const bool connected = UDT::connect(socket, reinterpret_cast<const sockaddr*>(&address),
                                          sizeof address) != UDT::ERROR;
      UDT::close(socket);
      if (connected) {
        reliableOut_.store(true);
        return;
      }
      std::this_thread::sleep_for(kConnectPause);
    }
  }

  void Exchange() {
    const auto deadline = Clock::now() + settings_.limit;
    std::thread connector([this, deadline] { ConnectLoop(deadline); });
    std::optional<Clock::time_point> allWorkedAt;
    while (Clock::now() < deadline) {
      const std::uint16_t peerPort = DatagramPortOf(settings_.basePort);
      const auto probe = Probe(kPortProbe);
      const auto ask = Probe(kAsk);
      platform::SendTo(udp_, probe.data(), probe.size(), peer_, peerPort);
      platform::SendTo(asker_, ask.data(), ask.size(), peer_, peerPort);
      ReadProbes();
      ReadAnswers();
      sockaddr_in from{};
      int fromLength = sizeof from;
      const UDTSOCKET accepted =
          UDT::accept(listener_, reinterpret_cast<sockaddr*>(&from), &fromLength);
      if (accepted != UDT::INVALID_SOCK) {
        if (from.sin_addr.s_addr == peer_) result_.reliableIn = true;
        UDT::close(accepted);
      }
      const bool allWorked =
          result_.datagramIn && result_.datagramOut && reliableOut_.load() && result_.reliableIn;
      if (allWorked && !allWorkedAt) allWorkedAt = Clock::now();
      if (allWorkedAt && Clock::now() - *allWorkedAt >= kLinger) break;
      platform::SleepMs(kProbePeriodMs);
    }
    connector.join();
    result_.reliableOut = reliableOut_.load();
  }

  // Probes and asks on our datagram port: the peer's datagrams get in. An
  // ask is answered where it came from. Only the peer's count: a probe from
  // anywhere else proves nothing about the link.
  void ReadProbes() {
    std::array<std::uint8_t, 64> buffer{};
    std::uint32_t from = 0;
    std::uint16_t fromPort = 0;
    long n = 0;
    while ((n = platform::ReceiveFromSender(udp_, buffer.data(), buffer.size(), &from,
                                            &fromPort)) >= 0) {
      const auto kind = ProbeKind(buffer.data(), n);
      if (from != peer_ || !kind || (*kind != kPortProbe && *kind != kAsk)) continue;
      result_.datagramIn = true;
      if (*kind == kAsk) {
        const auto answer = Probe(kAnswer);
        platform::SendTo(udp_, answer.data(), answer.size(), from, fromPort);
      }
    }
  }

  void ReadAnswers() {
    std::array<std::uint8_t, 64> buffer{};
    std::uint32_t from = 0;
    long n = 0;
    while ((n = platform::ReceiveFrom(asker_, buffer.data(), buffer.size(), &from)) >= 0) {
      if (from == peer_ && ProbeKind(buffer.data(), n) == kAnswer) result_.datagramOut = true;
    }
  }

  LinkSettings settings_;
  LinkResult result_;
  std::uint32_t peer_ = 0;
  platform::Socket udp_ = platform::kInvalidSocket;
  platform::Socket asker_ = platform::kInvalidSocket;
  UDTSOCKET listener_ = UDT::INVALID_SOCK;
  std::atomic<bool> reliableOut_{false};
};

std::string InboundFix(bool here, const std::string& peer, std::uint16_t port) {
  const std::string where = here ? "this computer" : "the other computer (" + peer + ")";
  const std::string router = here ? "this computer's router" : "the other computer's router";
  return "    fix: on " + where + ", allow inbound UDP " + std::to_string(port) +
         " in the firewall (Windows: Windows Defender Firewall, Advanced settings, Inbound "
         "Rules, New Rule, Port, UDP, " +
         std::to_string(port) + "); if the computers meet over the internet, forward UDP " +
         std::to_string(port) + " on " + router + " to that computer";
}

void Verdict(std::vector<std::string>& lines, const std::string& what, bool works,
             const std::string& fix) {
  lines.push_back(what + ": " + (works ? "works" : "FAILS"));
  if (!works) lines.push_back(fix);
}

}  // namespace

LinkResult RunLinkCheck(const LinkSettings& settings) { return LinkCheck(settings).Run(); }

std::vector<std::string> LinkVerdict(const LinkSettings& settings, const LinkResult& result) {
  std::vector<std::string> lines;
  if (!result.setupError.empty()) {
    lines.push_back("The check could not run: " + result.setupError);
    return lines;
  }
  const std::string peer = settings.peerAddress;
  const std::uint16_t datagram = DatagramPortOf(settings.basePort);
  const std::uint16_t reliable = ReliableWirePortOf(settings.basePort);
  const std::string d = "UDP " + std::to_string(datagram);
  const std::string r = "UDP " + std::to_string(reliable);
  Verdict(lines, d + " from " + peer + " to this computer (datagram channel)", result.datagramIn,
          InboundFix(true, peer, datagram));
  Verdict(lines, d + " from this computer to " + peer + " (datagram channel)", result.datagramOut,
          InboundFix(false, peer, datagram) + "; also allow outbound UDP " +
              std::to_string(datagram) + " here");
  Verdict(lines, r + " from this computer to " + peer + " (reliable channel)", result.reliableOut,
          InboundFix(false, peer, reliable));
  Verdict(lines, r + " from " + peer + " to this computer (reliable channel)", result.reliableIn,
          InboundFix(true, peer, reliable));
  if (!result.datagramIn && !result.reliableIn) {
    lines.push_back("Nothing at all came from " + peer +
                    ": is the checker running there at the same time, with this computer's "
                    "address on line 1 of its SharedConfig.cfg?");
  }
  return lines;
}
