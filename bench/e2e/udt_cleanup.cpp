#include "udt_cleanup.h"

#include <arpa/inet.h>
#include <udt/udt.h>

#include <chrono>

namespace e2e_bench {

namespace {

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

std::vector<double> TimeUdtCleanup(int runs) {
  std::vector<double> ms;
  for (int run = 0; run < runs; ++run) {
    UDT::startup();
    const UDTSOCKET listener = UDT::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    int length = sizeof address;
    bool connected = false;
    UDTSOCKET client = UDT::INVALID_SOCK;
    UDTSOCKET accepted = UDT::INVALID_SOCK;
    if (UDT::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        UDT::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
        UDT::listen(listener, 1) == 0) {
      client = UDT::socket(AF_INET, SOCK_STREAM, 0);
      const sockaddr_in server = Loopback(ntohs(address.sin_port));
      if (UDT::connect(client, reinterpret_cast<const sockaddr*>(&server), sizeof server) == 0) {
        sockaddr_in peer{};
        int peerLength = sizeof peer;
        accepted = UDT::accept(listener, reinterpret_cast<sockaddr*>(&peer), &peerLength);
        connected = accepted != UDT::INVALID_SOCK;
      }
    }
    const auto start = std::chrono::steady_clock::now();
    for (UDTSOCKET s : {accepted, client, listener}) {
      if (s != UDT::INVALID_SOCK) UDT::close(s);
    }
    UDT::cleanup();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    if (connected) ms.push_back(took.count());
  }
  return ms;
}

}  // namespace e2e_bench
