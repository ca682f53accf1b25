#pragma once
// The PC's side of a USB serial adapter, as korvane-loopsim --latency-timer plays it: what
// comes from the box is held until a packet's worth waits or the latency timer runs out after
// the last byte, then goes to the PC all at once. Every frame byte waits for its echo, so
// this is what such an adapter costs the tool. Standard C++; times in microseconds.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace korvane::sim {

class AdapterBuffer {
 public:
  // A USB packet to the PC is 64 bytes, two of which are the adapter's own status.
  static constexpr std::size_t kPacketBytes = 62;

  // timerMs 0: no timer, every byte goes on at once.
  explicit AdapterBuffer(int timerMs = 0) : timerUs_(std::int64_t{timerMs} * 1000) {}

  // A byte from the box at nowUs (release() what is due before it first). Returns what goes
  // to the PC now: the held bytes with this one when it fills the packet, or it alone without
  // a timer; else nothing, and it waits with the others.
  std::vector<std::uint8_t> fromBox(std::uint8_t byte, std::int64_t nowUs);
  // When the held bytes go if nothing more comes: the timer after the last one. None held:
  // nullopt.
  std::optional<std::int64_t> dueAt() const;
  // Hands the held bytes over (or drops them, when the adapter is pulled out).
  std::vector<std::uint8_t> release();

 private:
  std::int64_t timerUs_;
  std::int64_t lastUs_ = 0;
  std::vector<std::uint8_t> held_;  // never more than a packet
};

}  // namespace korvane::sim
