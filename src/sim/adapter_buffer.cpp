#include "sim/adapter_buffer.h"

#include <utility>

namespace korvane::sim {

std::vector<std::uint8_t> AdapterBuffer::fromBox(std::uint8_t byte, std::int64_t nowUs) {
  held_.push_back(byte);
  lastUs_ = nowUs;
  if (timerUs_ > 0 && held_.size() < kPacketBytes) return {};
  return release();
}

std::optional<std::int64_t> AdapterBuffer::dueAt() const {
  if (held_.empty()) return std::nullopt;
  return lastUs_ + timerUs_;
}

std::vector<std::uint8_t> AdapterBuffer::release() {
  return std::exchange(held_, {});
}

}  // namespace korvane::sim
