// The reliable channel's byte stream, cut into reads of varying length as the
// library may hand it over, joined into whole records and applied. The first
// byte of each piece of the input gives the length of the read that follows.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_module.h"
#include "net/peer_talk.h"
#include "net/receive_messages.h"
#include "net/reliable_link.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  StartFuzzModule();
  // Each input is a connection of its own: its hello, if any, counts only there.
  peerTalk = PeerTalk{};
  static ReliableLink link;
  link.fragmentSize = 0;
  std::vector<std::uint8_t> buffer(size + kMessageSize);
  ReceiveLimits limits;
  std::size_t streamed = 0;
  std::size_t applied = 0;
  std::size_t at = 0;
  while (at < size) {
    const std::size_t wanted = std::size_t{data[at++]} % 100 + 1;
    const std::size_t read = wanted < size - at ? wanted : size - at;
    const std::size_t kept = PrependFragment(link, buffer.data());
    std::memcpy(buffer.data() + kept, data + at, read);
    at += read;
    streamed += read;
    const std::size_t whole = KeepFragment(link, buffer.data(), kept + read);
    // Whole records only, and not one byte of the stream lost or doubled.
    if (whole % kMessageSize != 0 || link.fragmentSize >= kMessageSize) __builtin_trap();
    applied += whole;
    if (applied + link.fragmentSize != streamed) __builtin_trap();
    ApplyReliableRecords(buffer.data(), whole, limits, [](const std::uint8_t*, std::size_t) {});
  }
  CheckAfterInput();
  return 0;
}
