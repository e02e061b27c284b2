// The server polls its listener every pass; with nothing pending, that poll
// must not throw inside the reliable library (costly every 2 ms, and on 32-bit
// Windows dependent on the unwinder finding the library's frames). Every C++
// throw in this program is counted by interposing the runtime's throw.
#include <dlfcn.h>

#include <atomic>

#include "net/server_network.h"
#include "net_fixture.h"

namespace {

std::atomic<int> throws{0};

}  // namespace

extern "C" [[noreturn]] void __cxa_throw(void* thrown, void* type, void (*destroy)(void*)) {
  using Throw = void (*)(void*, void*, void (*)(void*));
  static const auto real = reinterpret_cast<Throw>(::dlsym(RTLD_NEXT, "__cxa_throw"));
  throws.fetch_add(1, std::memory_order_relaxed);
  real(thrown, type, destroy);
  __builtin_unreachable();
}

namespace {

class QuietAcceptTest : public NetFixture {};

TEST_F(QuietAcceptTest, PollingAnIdleListenerThrowsNothingAndAPendingClientIsStillAccepted) {
  UseBasePort(60);
  ServerNetwork network;
  // The count works: a throw caught here is seen.
  const int before = throws.load();
  try {
    throw 1;
  } catch (int) {
  }
  ASSERT_EQ(throws.load(), before + 1);

  const int idle = throws.load();
  for (int pass = 0; pass < 500; ++pass) ASSERT_FALSE(network.AcceptNewClient(0));
  EXPECT_EQ(throws.load(), idle);
  EXPECT_EQ(UDT::getlasterror().getErrorCode(), CUDTException::EASYNCRCV);

  ConnectToServer();
  EXPECT_TRUE(PumpUntil([] {}, [&] { return network.AcceptNewClient(0); }));
  EXPECT_EQ(network.NextClientId(std::nullopt), std::optional<std::uint32_t>(0));
}

}  // namespace
