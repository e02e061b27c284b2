// A hostile device on the home network (router_test.cpp): it answers UPnP
// discovery as an Internet gateway, then serves its description either one
// byte a second ("trickle") or announcing 2 GB and sending as fast as it is
// read ("huge").
//   e2e_hostile_router trickle|huge ADDRESS
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

constexpr int kHttpPort = 5555;

sockaddr_in Address(const char* ip, int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  inet_pton(AF_INET, ip, &a.sin_addr);
  return a;
}

int DiscoverySocket(const std::string& address) {
  const int s = socket(AF_INET, SOCK_DGRAM, 0);
  const int on = 1;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const sockaddr_in any = Address("0.0.0.0", 1900);
  if (bind(s, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
    std::perror("bind 1900");
    std::exit(1);
  }
  ip_mreq group{};
  inet_pton(AF_INET, "239.255.255.250", &group.imr_multiaddr);
  inet_pton(AF_INET, address.c_str(), &group.imr_interface);
  setsockopt(s, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group);
  return s;
}

// Answers every M-SEARCH with the search target it asked for.
void AnswerDiscovery(int s, const std::string& address) {
  char buffer[2048];
  for (;;) {
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t n =
        recvfrom(s, buffer, sizeof buffer - 1, 0, reinterpret_cast<sockaddr*>(&from), &length);
    if (n <= 0) continue;
    buffer[n] = '\0';
    const char* st = strcasestr(buffer, "\nST:");
    if (std::strncmp(buffer, "M-SEARCH", 8) != 0 || st == nullptr) continue;
    std::string target(st + 4, std::strcspn(st + 4, "\r\n"));
    target.erase(0, target.find_first_not_of(' '));
    const std::string answer = "HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=120\r\nST: " + target +
                               "\r\nUSN: uuid:0bad0bad-0000-0000-0000-000000000000::" + target +
                               "\r\nEXT:\r\nSERVER: Linux UPnP/1.1 hostile/1\r\nLOCATION: http://" +
                               address + ":" + std::to_string(kHttpPort) + "/rootDesc.xml\r\n\r\n";
    sendto(s, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), length);
  }
}

void Serve(int connection, bool trickle) {
  char request[4096];
  const ssize_t asked = recv(connection, request, sizeof request - 1, 0);
  request[asked > 0 ? asked : 0] = '\0';
  std::printf("request: %.*s\n", static_cast<int>(std::strcspn(request, "\r\n")), request);
  std::fflush(stdout);
  const std::string head = std::string("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n") +
                           "Content-Length: " + (trickle ? "5000" : "2000000000") + "\r\n\r\n";
  bool open = send(connection, head.data(), head.size(), 0) > 0;
  static const std::string chunk(64 * 1024, 'x');
  while (open) {
    if (trickle) {
      open = send(connection, "<", 1, 0) == 1;
      std::this_thread::sleep_for(std::chrono::seconds(1));
    } else {
      open = send(connection, chunk.data(), chunk.size(), 0) > 0;
    }
  }
  std::printf("closed by the reader\n");
  std::fflush(stdout);
  close(connection);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "trickle") != 0 && std::strcmp(argv[1], "huge") != 0)) {
    std::fprintf(stderr, "usage: %s trickle|huge ADDRESS\n", argv[0]);
    return 2;
  }
  std::signal(SIGPIPE, SIG_IGN);
  const bool trickle = std::strcmp(argv[1], "trickle") == 0;
  const std::string address = argv[2];
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  const int on = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const sockaddr_in local = Address(address.c_str(), kHttpPort);
  if (bind(listener, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      listen(listener, 8) != 0) {
    std::perror("listen");
    return 1;
  }
  std::thread(AnswerDiscovery, DiscoverySocket(address), address).detach();
  std::printf("listening\n");
  std::fflush(stdout);
  for (;;) {
    const int connection = accept(listener, nullptr, nullptr);
    if (connection >= 0) std::thread(Serve, connection, trickle).detach();
  }
}
