// Packets into a listening UDT socket, as the listener sees them from the
// network: an input is a run of packets, each a flags byte, a length byte and
// 4 * length + (flags >> 6) bytes (cut at the input's end). Flag 1 writes the listener's
// current cookie into a handshake's cookie word, so that requests get past the
// cookie check; flag 2 addresses the packet to the connection the listener
// built last, so that control packets reach a live connection. After the
// packets, a cookie request is sent and its answer awaited: the listener's one
// receive thread handles packets in order, so by then it has handled them all.
// Pending connections are accepted and closed, as the module's server does.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
// udt.h needs the socket headers first.
#include <udt/udt.h>

namespace {

constexpr int kHeaderWords = 4;
constexpr int kHandshakeBytes = 64;  // header and 12 handshake words
constexpr int kCookieOffset = 4 * (kHeaderWords + 7);
constexpr int kRequestOffset = 4 * (kHeaderWords + 5);
constexpr int kIdOffset = 4 * (kHeaderWords + 6);
constexpr int kMaxPacket = 1500;

struct Listener {
  UDTSOCKET socket = UDT::INVALID_SOCK;
  int attacker = -1;
  std::uint32_t cookie = 0;          // network order, as it travels
  std::uint32_t lastConnection = 0;  // network order
  std::uint32_t nextId = 1;
};

std::uint32_t Word(const std::uint8_t* at) {
  std::uint32_t w;
  std::memcpy(&w, at, 4);
  return w;
}

void PutWord(std::uint8_t* at, std::uint32_t w) { std::memcpy(at, &w, 4); }

// A cookie request: a handshake of version 4 for a stream socket with request
// type 1, from a socket id of our own.
std::array<std::uint8_t, kHandshakeBytes> CookieRequest(std::uint32_t id) {
  std::array<std::uint8_t, kHandshakeBytes> p{};
  const std::uint32_t words[] = {0x80000000u, 0, 0, 0, 4, 1, 1000, 1500, 25600, 1, id};
  for (std::size_t i = 0; i < sizeof words / sizeof words[0]; ++i) {
    PutWord(p.data() + 4 * i, htonl(words[i]));
  }
  return p;
}

// Sends a cookie request and reads answers until its own comes back; notes
// the cookie and any connection the listener built meanwhile. False when the
// listener stopped answering.
bool Sync(Listener& l) {
  const std::uint32_t id = l.nextId++ & 0x7FFFFFFF;
  const auto request = CookieRequest(id);
  if (::send(l.attacker, request.data(), request.size(), 0) < 0) return false;
  std::array<std::uint8_t, kMaxPacket> in{};
  pollfd p{l.attacker, POLLIN, 0};
  while (::poll(&p, 1, 5000) > 0) {
    const ssize_t n = ::recv(l.attacker, in.data(), in.size(), 0);
    if (n != kHandshakeBytes || (ntohl(Word(in.data())) & 0xFFFF0000u) != 0x80000000u) continue;
    const std::int32_t request = static_cast<std::int32_t>(ntohl(Word(in.data() + kRequestOffset)));
    if (request == -1) l.lastConnection = Word(in.data() + kIdOffset);
    if (request == 1 && ntohl(Word(in.data() + 12)) == id) {
      l.cookie = Word(in.data() + kCookieOffset);
      return true;
    }
  }
  return false;
}

Listener& Start() {
  static Listener l = [] {
    Listener s;
    UDT::startup();
    s.socket = UDT::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool no = false;
    int length = sizeof address;
    if (UDT::bind(s.socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == UDT::ERROR ||
        UDT::setsockopt(s.socket, 0, UDT_RCVSYN, &no, sizeof no) == UDT::ERROR ||
        UDT::listen(s.socket, 8) == UDT::ERROR ||
        UDT::getsockname(s.socket, reinterpret_cast<sockaddr*>(&address), &length) == UDT::ERROR) {
      std::fprintf(stderr, "listener: %s\n", UDT::getlasterror().getErrorMessage());
      std::abort();
    }
    s.attacker = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (::connect(s.attacker, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        !Sync(s)) {
      std::fprintf(stderr, "no cookie from the listener\n");
      std::abort();
    }
    return s;
  }();
  return l;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Listener& l = Start();
  std::array<std::uint8_t, kMaxPacket> packet{};
  std::size_t at = 0;
  while (at + 2 <= size) {
    const std::uint8_t flags = data[at];
    const std::size_t wanted = data[at + 1] * 4u + (flags >> 6);
    const std::size_t length = std::min(wanted, size - at - 2);
    std::memcpy(packet.data(), data + at + 2, length);
    at += 2 + length;
    if ((flags & 1) && length >= kCookieOffset + 4)
      PutWord(packet.data() + kCookieOffset, l.cookie);
    if ((flags & 2) && length >= 16) PutWord(packet.data() + 12, l.lastConnection);
    ::send(l.attacker, packet.data(), length, 0);
  }
  // A listener that stops answering has lost its receive thread.
  if (!Sync(l)) std::abort();
  for (UDTSOCKET s; (s = UDT::accept(l.socket, nullptr, nullptr)) != UDT::INVALID_SOCK;) {
    UDT::close(s);
  }
  return 0;
}
