// Datagrams that load a module's receive thread, from any address of the
// namespace it runs in (the peer's own, or a stranger's):
//   e2e_datagrams LOCAL_ADDRESS TARGET_ADDRESS PORT MODE RATE SECONDS [INDEX]
// MODE junk: random bytes, 24 to 1,400 of them, RATE datagrams a second.
// MODE buttons: 20 VarValueRecords of value 1 to table entry INDEX each.
// MODE values: 2,700 VarValueRecords (64,800 bytes) to entry INDEX, all
// values different, so that every one is applied and would be logged.
// Prints how many datagrams it sent and in how many seconds.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "net/wire_records.h"

namespace {

sockaddr_in Address(const char* text, int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  inet_pton(AF_INET, text, &a.sin_addr);
  return a;
}

std::vector<std::uint8_t> VarValues(int count, int index, double first, double step) {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < count; ++i) {
    const MessageBytes encoded =
        EncodeMessage(MakeMessage(kind::kVarValue, index, first + step * i, 0.0));
    bytes.insert(bytes.end(), encoded.begin(), encoded.end());
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 7) {
    std::fprintf(stderr, "usage: %s LOCAL TARGET PORT junk|buttons|values RATE SECONDS [INDEX]\n",
                 argv[0]);
    return 2;
  }
  const std::string mode = argv[4];
  const double rate = std::atof(argv[5]);
  const int index = argc > 7 ? std::atoi(argv[7]) : 0;
  const sockaddr_in local = Address(argv[1], 0);
  const sockaddr_in target = Address(argv[2], std::atoi(argv[3]));
  const int udp = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (::bind(udp, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    std::perror("bind");
    return 1;
  }
  std::mt19937 random(18);
  std::vector<std::uint8_t> bytes(1400);
  const auto start = std::chrono::steady_clock::now();
  const auto end = start + std::chrono::duration<double>(std::atof(argv[6]));
  long sent = 0;
  // Paced by the clock, not by sleeps, so that a late wake-up sends the
  // datagrams it owes at once and the rate holds on a loaded machine.
  for (auto now = start; now < end; now = std::chrono::steady_clock::now()) {
    const double due = rate * std::chrono::duration<double>(now - start).count();
    for (; sent < static_cast<long>(due) + 1; ++sent) {
      std::size_t length = 0;
      if (mode == "junk") {
        for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
        length = 24 + random() % 1377;
      } else if (mode == "buttons") {
        bytes = VarValues(20, index, 1.0, 0.0);
        length = bytes.size();
      } else if (mode == "values") {
        bytes = VarValues(2700, index, 1000.0 + 2700.0 * static_cast<double>(sent), 1.0);
        length = bytes.size();
      } else {
        std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
        return 2;
      }
      ::sendto(udp, bytes.data(), length, 0, reinterpret_cast<const sockaddr*>(&target),
               sizeof target);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("datagrams %ld seconds %.3f\n", sent, seconds);
  return 0;
}
