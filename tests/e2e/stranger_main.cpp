// A stranger on the link: from its own address it sends, for a while, random
// bytes and well-formed records to a module's datagram ports and opens
// reliable connections to its listener, sending records on each.
//   e2e_stranger LOCAL_ADDRESS SERVER_ADDRESS CLIENT_ADDRESS BASE_PORT SECONDS
// Every well-formed record carries the value 77 (key events id 66000, data
// 77), so that a test can tell whether anything of it was applied.
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
// udt.h needs the socket headers first.
#include <udt/udt.h>

namespace {

constexpr double kMark = 77.0;

sockaddr_in Address(const char* text, int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  inet_pton(AF_INET, text, &a.sin_addr);
  return a;
}

void Add(std::vector<std::uint8_t>& bytes, const MessageRecord& record) {
  const MessageBytes encoded = EncodeMessage(record);
  bytes.insert(bytes.end(), encoded.begin(), encoded.end());
}

// Variable values for the first table entries, then (in a datagram) a state
// record far from the real aircraft or (on the reliable channel) a swap, the
// gear and a key event.
std::vector<std::uint8_t> WellFormedRecords(bool datagram) {
  std::vector<std::uint8_t> bytes;
  for (int index = 0; index < 4; ++index) {
    Add(bytes, MakeMessage(kind::kVarValue, index, kMark, 0.0));
  }
  if (datagram) {
    AircraftStateRecord state;
    state.latitude = kMark;
    state.longitude = kMark;
    state.altitude = 77777.0;
    const StateBytes encoded = EncodeState(state);
    bytes.insert(bytes.end(), encoded.begin(), encoded.end());
  } else {
    Add(bytes, MakeMessage(kind::kFollowerFlag, 0, 0.0, 0.0));
    Add(bytes, MakeMessage(kind::kGearHandle, 0, kMark, 0.0));
    Add(bytes, MakeMessage(kind::kKeyEvent, 0, kMark, 66000.0));
  }
  return bytes;
}

// Connects from `local` to the listener; sends the records when it can.
void OpenReliable(const sockaddr_in& local, const sockaddr_in& server,
                  const std::vector<std::uint8_t>& records, std::vector<UDTSOCKET>& open) {
  const UDTSOCKET s = UDT::socket(AF_INET, SOCK_STREAM, 0);
  UDT::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local);
  if (UDT::connect(s, reinterpret_cast<const sockaddr*>(&server), sizeof server) == UDT::ERROR) {
    UDT::close(s);
    return;
  }
  UDT::send(s, reinterpret_cast<const char*>(records.data()), static_cast<int>(records.size()), 0);
  open.push_back(s);
  if (open.size() > 8) {
    UDT::close(open.front());
    open.erase(open.begin());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: %s LOCAL SERVER CLIENT BASE_PORT SECONDS\n", argv[0]);
    return 2;
  }
  const int basePort = std::atoi(argv[4]);
  const int swapped = ((basePort & 0xFF) << 8) | ((basePort >> 8) & 0xFF);
  const sockaddr_in local = Address(argv[1], 0);
  const sockaddr_in targets[] = {Address(argv[2], basePort + 1),
                                 Address(argv[3], basePort + 1)};
  const sockaddr_in listener = Address(argv[2], swapped);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(argv[5]));

  const int udp = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (::bind(udp, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    std::perror("bind");
    return 1;
  }
  UDT::startup();
  const std::vector<std::uint8_t> records = WellFormedRecords(true);
  const std::vector<std::uint8_t> reliableRecords = WellFormedRecords(false);
  std::vector<UDTSOCKET> open;
  std::mt19937 random(77);
  std::vector<std::uint8_t> garbage(1400);
  long datagrams = 0;
  long connections = 0;
  for (int round = 0; std::chrono::steady_clock::now() < end; ++round) {
    for (const sockaddr_in& to : targets) {
      for (auto& b : garbage) b = static_cast<std::uint8_t>(random());
      const auto* where = reinterpret_cast<const sockaddr*>(&to);
      ::sendto(udp, garbage.data(), 24 + random() % 1300, 0, where, sizeof to);
      ::sendto(udp, records.data(), records.size(), 0, where, sizeof to);
      datagrams += 2;
    }
    if (round % 100 == 0) {
      OpenReliable(local, listener, reliableRecords, open);
      ++connections;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  for (const UDTSOCKET s : open) UDT::close(s);
  UDT::cleanup();
  std::printf("datagrams %ld connections %ld\n", datagrams, connections);
  return 0;
}
