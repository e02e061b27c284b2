#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/platform.h"

namespace platform {

namespace {
int Fd(Socket s) { return static_cast<int>(s); }
}  // namespace

int SocketsStartup() { return 0; }
void SocketsCleanup() {}

Socket OpenUdpSocket() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  return fd < 0 ? kInvalidSocket : static_cast<Socket>(fd);
}

bool SetReuseAddress(Socket s) {
  const int one = 1;
  return ::setsockopt(Fd(s), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) == 0;
}

bool SetNonBlocking(Socket s) {
  const int flags = ::fcntl(Fd(s), F_GETFL, 0);
  return flags >= 0 && ::fcntl(Fd(s), F_SETFL, flags | O_NONBLOCK) == 0;
}

int BindAnyAddress(Socket s, std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(port);
  if (::bind(Fd(s), reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0) {
    return errno;
  }
  return 0;
}

bool IsOwnAddress(std::uint32_t networkOrderAddress) {
  const Socket probe = OpenUdpSocket();
  if (probe == kInvalidSocket) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = networkOrderAddress;
  const bool own =
      ::bind(Fd(probe), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  CloseSocket(probe);
  return own;
}

bool ResolveIpv4(const char* name, std::uint32_t* networkOrderAddress, std::string* why) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const int result = ::getaddrinfo(name, nullptr, &hints, &found);
  if (result != 0 || found == nullptr) {
    *why = result != 0 ? ::gai_strerror(result) : "no address";
    return false;
  }
  *networkOrderAddress = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  ::freeaddrinfo(found);
  return true;
}

long SendTo(Socket s, const void* data, std::size_t length, std::uint32_t networkOrderAddress,
            std::uint16_t port) {
  sockaddr_in destination{};
  destination.sin_family = AF_INET;
  destination.sin_addr.s_addr = networkOrderAddress;
  destination.sin_port = htons(port);
  return ::sendto(Fd(s), data, length, MSG_NOSIGNAL,
                  reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
}

long ReceiveFromSender(Socket s, void* buffer, std::size_t length, std::uint32_t* address,
                       std::uint16_t* port) {
  sockaddr_in source{};
  socklen_t sourceLength = sizeof source;
  const long n =
      ::recvfrom(Fd(s), buffer, length, 0, reinterpret_cast<sockaddr*>(&source), &sourceLength);
  *address = source.sin_addr.s_addr;
  *port = ntohs(source.sin_port);
  return n;
}

std::uint16_t LocalPort(Socket s) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(Fd(s), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

void CloseSocket(Socket s) {
  if (s != kInvalidSocket) ::close(Fd(s));
}

int LastSocketError() { return errno; }

}  // namespace platform
