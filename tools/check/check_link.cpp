#include "check_link.h"

#include <array>
#include <atomic>
#include <cstring>
#include <optional>
#include <thread>

#include "platform/platform.h"
#include "session/config_file.h"
#include "system_sockets.h"
// system_sockets.h must come first.
#include <udt/udt.h>

namespace {

using Clock = std::chrono::steady_clock;

// A probe on the datagram port: a marker no module record starts with, and
// whether the sender has heard the receiver yet.
constexpr std::array<char, 8> kProbeMark = {'M', 'S', 'C', 'H', 'E', 'C', 'K', '1'};
constexpr std::size_t kProbeSize = 12;
constexpr unsigned kProbePeriodMs = 100;
// Once everything worked, probes go on this long so that the peer learns it.
constexpr auto kLinger = std::chrono::seconds(2);
constexpr auto kConnectPause = std::chrono::milliseconds(500);

std::array<std::uint8_t, kProbeSize> Probe(bool heardYou) {
  std::array<std::uint8_t, kProbeSize> probe{};
  std::memcpy(probe.data(), kProbeMark.data(), kProbeMark.size());
  probe[8] = heardYou ? 1 : 0;
  return probe;
}

class LinkCheck {
 public:
  explicit LinkCheck(const LinkSettings& settings) : settings_(settings) {}

  LinkResult Run() {
    std::uint32_t peer = 0;
    if (!platform::ParseAddress(settings_.peerAddress.c_str(), &peer)) {
      result_.setupError = "\"" + settings_.peerAddress + "\" is not an IPv4 address";
      return result_;
    }
    peer_ = peer;
    if (platform::SocketsStartup() != 0) {
      result_.setupError = "the socket library did not start";
      return result_;
    }
    UDT::startup();
    if (OpenPorts()) Exchange();
    if (udp_ != platform::kInvalidSocket) platform::CloseSocket(udp_);
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
      const auto probe = Probe(result_.datagramIn);
      platform::SendTo(udp_, probe.data(), probe.size(), peer_, DatagramPortOf(settings_.basePort));
      ReadProbes();
      const UDTSOCKET accepted = UDT::accept(listener_, nullptr, nullptr);
      if (accepted != UDT::INVALID_SOCK) {
        result_.reliableIn = true;
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

  void ReadProbes() {
    std::array<std::uint8_t, 64> buffer{};
    long n = 0;
    while ((n = platform::ReceiveFrom(udp_, buffer.data(), buffer.size())) >= 0) {
      if (n != static_cast<long>(kProbeSize) ||
          std::memcmp(buffer.data(), kProbeMark.data(), kProbeMark.size()) != 0) {
        continue;
      }
      result_.datagramIn = true;
      if (buffer[8] == 1) result_.datagramOut = true;
    }
  }

  LinkSettings settings_;
  LinkResult result_;
  std::uint32_t peer_ = 0;
  platform::Socket udp_ = platform::kInvalidSocket;
  UDTSOCKET listener_ = UDT::INVALID_SOCK;
  std::atomic<bool> reliableOut_{false};
};

std::string InboundFix(const std::string& where, std::uint16_t port) {
  return "    fix: on " + where + ", allow inbound UDP " + std::to_string(port) +
         " in the firewall (Windows: Windows Defender Firewall, Advanced settings, Inbound "
         "Rules, New Rule, Port, UDP, " +
         std::to_string(port) + "); if the computers meet over the internet, forward UDP " +
         std::to_string(port) + " on " + where + "'s router to it";
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
  const std::string here = "this computer";
  const std::string there = "the other computer (" + peer + ")";
  const std::uint16_t datagram = DatagramPortOf(settings.basePort);
  const std::uint16_t reliable = ReliableWirePortOf(settings.basePort);
  const std::string d = "UDP " + std::to_string(datagram);
  const std::string r = "UDP " + std::to_string(reliable);
  Verdict(lines, d + " from " + peer + " to this computer (datagram channel)", result.datagramIn,
          InboundFix(here, datagram));
  Verdict(lines, d + " from this computer to " + peer + " (datagram channel)", result.datagramOut,
          InboundFix(there, datagram) + "; also allow outbound UDP " + std::to_string(datagram) +
              " here");
  Verdict(lines, r + " from this computer to " + peer + " (reliable channel)", result.reliableOut,
          InboundFix(there, reliable));
  Verdict(lines, r + " from " + peer + " to this computer (reliable channel)", result.reliableIn,
          InboundFix(here, reliable));
  if (!result.datagramIn && !result.reliableIn) {
    lines.push_back("Nothing at all came from " + peer +
                    ": is the checker running there at the same time, with this computer's "
                    "address on line 1 of its SharedConfig.cfg?");
  }
  return lines;
}
