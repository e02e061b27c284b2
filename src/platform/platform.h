// The few operating-system services the module needs. One implementation per
// OS lives beside this header (posix/, win/), chosen by CMake, so that module
// code never tests the OS itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// ---- Files -------------------------------------------------------------

// The user's documents folder, or nothing when the OS cannot tell.
std::optional<std::string> DocumentsFolder();

// The separator between folder names in a path ('/' or '\').
char PathSeparator();

// Opens `path` for appending (created when missing, never its folder), writes
// `line` and one line end with a single write, and closes it again. Several
// threads and processes may append to one file at once; every line arrives
// whole. Returns false when the file could not be opened or written.
bool AppendLine(const std::string& path, const std::string& line);

// ---- Sockets -----------------------------------------------------------

using Socket = std::uintptr_t;
inline constexpr Socket kInvalidSocket = ~Socket{0};

// Start and stop the socket library (reference counted on Windows, nothing
// to do elsewhere). SocketsStartup returns 0 on success.
int SocketsStartup();
void SocketsCleanup();

// A UDP socket (AF_INET, SOCK_DGRAM, IPPROTO_UDP), or kInvalidSocket.
Socket OpenUdpSocket();
// SO_REUSEADDR = 1.
bool SetReuseAddress(Socket s);
// Receives return at once with an error when nothing is waiting.
bool SetNonBlocking(Socket s);
// Binds to INADDR_ANY:port. Returns 0, or the OS socket error code.
int BindAnyAddress(Socket s, std::uint16_t port);
// True when the IPv4 address (network order) is one of this computer's own
// interface addresses.
bool IsOwnAddress(std::uint32_t networkOrderAddress);
// The first IPv4 address of a host name (getaddrinfo), or false and the
// resolver's reason. Waits as long as the system's resolver does.
bool ResolveIpv4(const char* name, std::uint32_t* networkOrderAddress, std::string* why);
// sendto() the IPv4 address (network order) and host-order port. Returns the
// byte count or -1.
long SendTo(Socket s, const void* data, std::size_t length, std::uint32_t networkOrderAddress,
            std::uint16_t port);
// recvfrom() with a 16-byte source address. Returns the byte count, or -1
// when nothing is waiting or the read failed, with the sender's IPv4 address
// (network order) and port (host order).
long ReceiveFromSender(Socket s, void* buffer, std::size_t length, std::uint32_t* address,
                       std::uint16_t* port);
// As ReceiveFromSender; on success the sender's address goes to
// `sourceAddress` when one is given.
inline long ReceiveFrom(Socket s, void* buffer, std::size_t length,
                        std::uint32_t* sourceAddress = nullptr) {
  std::uint32_t address = 0;
  std::uint16_t port = 0;
  const long received = ReceiveFromSender(s, buffer, length, &address, &port);
  if (received >= 0 && sourceAddress != nullptr) *sourceAddress = address;
  return received;
}
// The port a socket is bound to (host order), 0 when unknown.
std::uint16_t LocalPort(Socket s);
void CloseSocket(Socket s);
// The last socket error code of this thread (errno, WSAGetLastError).
int LastSocketError();

// ---- Threads -----------------------------------------------------------

using ThreadHandle = std::intptr_t;
inline constexpr ThreadHandle kNoThread = -1;

using JoinableRoutine = unsigned (*)(void*);

// Starts a thread whose handle is kept; kNoThread when none could be had.
ThreadHandle StartJoinableThread(JoinableRoutine routine, void* argument);
// Waits, without a time limit, for a joinable thread to end, and releases it.
void WaitThread(ThreadHandle handle);
void SleepMs(unsigned milliseconds);
// Gives the calling thread a name that profilers and the system's thread
// lists show (at most 15 characters); nothing happens where the OS cannot.
void NameThisThread(const char* name);
// A number for the calling thread, never 0, unique among the running threads.
std::uint64_t CurrentThreadId();

// While alive, the calling thread computes doubles at double precision, and
// afterwards it has its own setting back. On 32-bit x86 every result goes
// through the x87 unit, whose precision the simulator may have set to single
// on its thread (Direct3D 9 does): each sum would be rounded to 24 bits, a
// latitude to some 0.4 m, and an eased aircraft would stop metres short.
class DoublePrecisionScope {
 public:
  DoublePrecisionScope();
  ~DoublePrecisionScope();
  DoublePrecisionScope(const DoublePrecisionScope&) = delete;
  DoublePrecisionScope& operator=(const DoublePrecisionScope&) = delete;

 private:
  [[maybe_unused]] std::uint16_t saved_ = 0;
};

}  // namespace platform
