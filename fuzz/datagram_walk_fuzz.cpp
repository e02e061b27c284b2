// One datagram's bytes, walked and applied as the receive thread does it.
#include <cstddef>
#include <cstdint>

#include "fuzz_module.h"
#include "net/receive_messages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  StartFuzzModule();
  ReceiveLimits limits;
  WalkDatagram(data, size, limits);
  CheckAfterInput();
  return 0;
}
