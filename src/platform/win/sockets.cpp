#include <climits>

#include "platform/platform.h"
#include "system_sockets.h"

namespace platform {

namespace {
SOCKET Handle(Socket s) { return static_cast<SOCKET>(s); }
}  // namespace

// Windows Sockets counts its own start-ups: every successful WSAStartup is
// matched by one WSACleanup, and the library stays up until the last one.
int SocketsStartup() {
  WSADATA data;
  return WSAStartup(MAKEWORD(2, 2), &data);
}

void SocketsCleanup() { WSACleanup(); }

Socket OpenUdpSocket() {
  static_assert(sizeof(SOCKET) == sizeof(Socket) && INVALID_SOCKET == kInvalidSocket);
  return static_cast<Socket>(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
}

bool SetReuseAddress(Socket s) {
  const BOOL one = TRUE;
  return ::setsockopt(Handle(s), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&one),
                      sizeof one) == 0;
}

bool SetNonBlocking(Socket s) {
  u_long nonBlocking = 1;
  return ::ioctlsocket(Handle(s), FIONBIO, &nonBlocking) == 0;
}

int BindAnyAddress(Socket s, std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(port);
  if (::bind(Handle(s), reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
      SOCKET_ERROR) {
    return WSAGetLastError();
  }
  return 0;
}

// The interface list, not a trial bind: Wine lets a socket bind to an address
// the computer does not have, which would take the peer for ourselves.
bool IsOwnAddress(std::uint32_t networkOrderAddress) {
  const Socket probe = OpenUdpSocket();
  if (probe == kInvalidSocket) return false;
  INTERFACE_INFO interfaces[64];
  DWORD bytes = 0;
  const bool listed = ::WSAIoctl(Handle(probe), SIO_GET_INTERFACE_LIST, nullptr, 0, interfaces,
                                 sizeof interfaces, &bytes, nullptr, nullptr) == 0;
  CloseSocket(probe);
  if (!listed) return false;
  for (DWORD i = 0; i < bytes / sizeof(INTERFACE_INFO); ++i) {
    if (interfaces[i].iiAddress.AddressIn.sin_addr.s_addr == networkOrderAddress) return true;
  }
  return false;
}

bool ResolveIpv4(const char* name, std::uint32_t* networkOrderAddress, std::string* why) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const int result = ::getaddrinfo(name, nullptr, &hints, &found);
  if (result != 0 || found == nullptr) {
    *why = "Windows Sockets error " + std::to_string(result);
    return false;
  }
  *networkOrderAddress = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  ::freeaddrinfo(found);
  return true;
}

long SendTo(Socket s, const void* data, std::size_t length, std::uint32_t networkOrderAddress,
            std::uint16_t port) {
  if (length > static_cast<std::size_t>(INT_MAX)) return -1;
  sockaddr_in destination{};
  destination.sin_family = AF_INET;
  destination.sin_addr.s_addr = networkOrderAddress;
  destination.sin_port = htons(port);
  return ::sendto(Handle(s), static_cast<const char*>(data), static_cast<int>(length), 0,
                  reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
}

long ReceiveFromSender(Socket s, void* buffer, std::size_t length, std::uint32_t* address,
                       std::uint16_t* port) {
  // A datagram sent earlier to a port where nothing listened comes back as
  // WSAECONNRESET on the next receive; like WSAEWOULDBLOCK it only means that
  // nothing is waiting now, and the socket stays usable.
  sockaddr_in source{};
  int sourceLength = sizeof source;
  const int capped =
      length > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
  const int received = ::recvfrom(Handle(s), static_cast<char*>(buffer), capped, 0,
                                  reinterpret_cast<sockaddr*>(&source), &sourceLength);
  *address = source.sin_addr.s_addr;
  *port = ntohs(source.sin_port);
  return received == SOCKET_ERROR ? -1 : received;
}

std::uint16_t LocalPort(Socket s) {
  sockaddr_in address{};
  int length = sizeof address;
  if (::getsockname(Handle(s), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

void CloseSocket(Socket s) {
  if (s != kInvalidSocket) ::closesocket(Handle(s));
}

int LastSocketError() { return WSAGetLastError(); }

}  // namespace platform
