#include "net/udt_pace.h"

#include <udt/ccc.h>

#include <algorithm>
#include <cstdint>

namespace {

// UDT's own control ends its slow start when the window outgrows the flow
// window (1,024 packets on our links: some 20 s of flying) or at the first
// loss, and then spaces packets by the rate at which the receiver saw them
// arrive. Our records come a few dozen a second, so that rate is the
// cockpit's own pace: every record sent within 25 ms of the one before waits
// for it, until the spacing shrinks back. This control keeps slow start for
// good: no spacing, and a window that grows by what is acknowledged up to the
// flow window. The module limits what it sends itself (a bulk goes a chunk
// at a time, each once the one before is delivered); a loss halves the
// window, so that a burst larger than that (the names, when the tables
// differ) does not keep flooding a thin uplink.
class KeptSlowStart : public CCC {
 public:
  void init() override {
    m_dPktSndPeriod = 1.0;
    m_dCWndSize = kFirstWindow;
    lastAck_ = m_iSndCurrSeqNo;
    lastHalvedAt_ = m_iSndCurrSeqNo;
  }

  void onACK(std::int32_t ack) override {
    m_dCWndSize = std::min(m_dCWndSize + Acknowledged(ack), m_dMaxCWndSize);
    lastAck_ = ack;
  }

  // Once for each run of losses: a loss of a packet sent before the last
  // halving is of the same run.
  void onLoss(const std::int32_t* losses, int count) override {
    if (count <= 0 || Offset(lastHalvedAt_, losses[0] & kSequenceMask) <= 0) return;
    m_dCWndSize = std::max(kFirstWindow, m_dCWndSize / 2);
    lastHalvedAt_ = m_iSndCurrSeqNo;
  }

 private:
  static constexpr double kFirstWindow = 16.0;  // UDT's own first window
  static constexpr std::int32_t kSequenceMask = 0x7FFFFFFF;
  static constexpr std::int64_t kSequenceSpan = std::int64_t{kSequenceMask} + 1;

  // From sequence number `from` to `to`, either way; they wrap at 2^31.
  static std::int64_t Offset(std::int32_t from, std::int32_t to) {
    const std::int64_t ahead = (std::int64_t{to} - from + kSequenceSpan) % kSequenceSpan;
    return ahead < kSequenceSpan / 2 ? ahead : ahead - kSequenceSpan;
  }

  // Packets acknowledged since the last ACK.
  double Acknowledged(std::int32_t ack) const {
    return static_cast<double>(std::max<std::int64_t>(0, Offset(lastAck_, ack)));
  }

  std::int32_t lastAck_ = 0;
  std::int32_t lastHalvedAt_ = 0;
};

CCCFactory<KeptSlowStart> keptSlowStart;

}  // namespace

void UseKeptSlowStart(UDTSOCKET socket) {
  UDT::setsockopt(socket, 0, UDT_CC, &keptSlowStart, sizeof keptSlowStart);
}
