#include "net/pass_batch.h"

#include <algorithm>

namespace {

void Append(std::vector<std::uint8_t>& bytes, const MessageBytes& record) {
  bytes.insert(bytes.end(), record.begin(), record.end());
}

}  // namespace

PassBatch::PassBatch(const RoleOutput& out) : out_(out), gathering_(out) {
  gathering_.reliable = [this](std::int32_t kind, double index, double value, double extra) {
    Append(reliable_, EncodeMessage(MakeMessage(kind, index, value, extra)));
  };
  gathering_.extension = [this](const std::uint8_t* records, std::size_t size) {
    reliable_.insert(reliable_.end(), records, records + size);
  };
  gathering_.datagram = [this](double index, double value, double extra) {
    Append(datagrams_, EncodeMessage(MakeMessage(kind::kVarValue, index, value, extra)));
  };
}

void PassBatch::Flush() {
  if (!reliable_.empty()) out_.extension(reliable_.data(), reliable_.size());
  constexpr std::size_t kChunk = kRecordsPerDatagram * kMessageSize;
  for (std::size_t at = 0; at < datagrams_.size(); at += kChunk) {
    out_.datagramRecords(datagrams_.data() + at, std::min(kChunk, datagrams_.size() - at));
  }
  reliable_.clear();
  datagrams_.clear();
}
