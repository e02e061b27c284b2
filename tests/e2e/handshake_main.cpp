// Crafted reliable-channel handshakes, as an attacker would send them: from
// its own address it asks the listener for a cookie, then sends COUNT
// connection requests carrying that cookie and the given segment size and
// flight flag size, each with its own socket id and sequence number, at about
// RATE a second. It prints how the listener answered:
//   accepted N refused N silent N
// (accepted: a connection was built; refused: the listener said no; silent:
// no answer within a second). LOCAL_PORT fixes the source port, so that a
// firewall rule can count what the listener sends back to it.
//   e2e_handshake LOCAL_ADDRESS SERVER_ADDRESS PORT MSS FLIGHT_FLAGS COUNT RATE [LOCAL_PORT]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

// The listener's answers to a connection request.
constexpr std::int32_t kAccepted = -1;
constexpr std::int32_t kRefused = 1002;
constexpr std::int32_t kCookieRequest = 1;
constexpr int kWords = 16;  // 4 header words and 12 handshake words

struct Handshake {
  std::int32_t isn = 0;
  std::int32_t mss = 1500;
  std::int32_t flightFlags = 25600;
  std::int32_t request = kCookieRequest;
  std::int32_t id = 0;
  std::int32_t cookie = 0;
};

// A control packet of type 0 (handshake) to socket 0 (the listener), every
// word in network order: version 4, stream socket, then the fields.
std::array<std::uint32_t, kWords> Encode(const Handshake& h) {
  const std::int32_t words[kWords] = {static_cast<std::int32_t>(0x80000000u),
                                      0,
                                      0,
                                      0,
                                      4,
                                      1,
                                      h.isn,
                                      h.mss,
                                      h.flightFlags,
                                      h.request,
                                      h.id,
                                      h.cookie,
                                      0,
                                      0,
                                      0,
                                      0};
  std::array<std::uint32_t, kWords> out{};
  for (int i = 0; i < kWords; ++i) out[i] = htonl(static_cast<std::uint32_t>(words[i]));
  return out;
}

// The next handshake answer within `ms`, if any.
bool Receive(int fd, int ms, Handshake& answer) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, ms) <= 0) return false;
  std::array<std::uint32_t, kWords> in{};
  if (::recv(fd, in.data(), sizeof in, 0) != static_cast<ssize_t>(sizeof in)) return false;
  answer.request = static_cast<std::int32_t>(ntohl(in[9]));
  answer.cookie = static_cast<std::int32_t>(ntohl(in[11]));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 8 && argc != 9) {
    std::fprintf(stderr, "usage: %s LOCAL SERVER PORT MSS FLIGHT_FLAGS COUNT RATE [LOCAL_PORT]\n",
                 argv[0]);
    return 2;
  }
  sockaddr_in local{};
  local.sin_family = AF_INET;
  if (argc == 9) local.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[8])));
  inet_pton(AF_INET, argv[1], &local.sin_addr);
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[3])));
  inet_pton(AF_INET, argv[2], &server.sin_addr);
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      ::connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0) {
    std::perror("socket");
    return 1;
  }
  Handshake h;
  h.mss = static_cast<std::int32_t>(std::strtol(argv[4], nullptr, 0));
  h.flightFlags = static_cast<std::int32_t>(std::strtol(argv[5], nullptr, 0));
  const long count = std::atol(argv[6]);
  const long rate = std::max(1L, std::atol(argv[7]));

  // The cookie depends on our address and port and the listener's minute.
  Handshake answer;
  const auto ask = Encode(h);
  if (::send(fd, ask.data(), sizeof ask, 0) < 0 || !Receive(fd, 2000, answer)) {
    std::fprintf(stderr, "no cookie from the listener\n");
    return 1;
  }
  h.cookie = answer.cookie;
  h.request = 0;

  long accepted = 0;
  long refused = 0;
  const auto tally = [&](const Handshake& a) {
    accepted += a.request == kAccepted ? 1 : 0;
    refused += a.request == kRefused ? 1 : 0;
  };
  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < count; ++i) {
    h.id = static_cast<std::int32_t>(1000 + i);
    h.isn = static_cast<std::int32_t>(7000 + 13 * i);
    const auto bytes = Encode(h);
    ::send(fd, bytes.data(), sizeof bytes, 0);
    while (Receive(fd, 0, answer)) tally(answer);
    std::this_thread::sleep_until(start + std::chrono::microseconds(1000000 * (i + 1) / rate));
  }
  while (Receive(fd, 1000, answer)) tally(answer);
  std::printf("accepted %ld refused %ld silent %ld\n", accepted, refused,
              count - accepted - refused);
  ::close(fd);
  return 0;
}
