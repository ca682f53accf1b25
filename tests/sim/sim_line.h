#pragma once
// A PC's view of the simulated box for the tests: bytes go in a couple of milliseconds apart,
// as the frame layer sends them, and the answers come back as one list.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "sim/loop.h"
#include "sim/loop_simulator.h"

namespace korvane::sim::testing {

using Bytes = std::vector<std::uint8_t>;
inline constexpr std::uint8_t kOk = 0;

struct Line {
  explicit Line(Loop loop) : box(std::move(loop)) {}

  Bytes send(const Bytes& bytes) {
    Bytes out;
    for (std::uint8_t b : bytes) {
      now += 2000;
      for (std::uint8_t a : box.receive(b, now))
        out.push_back(a);
    }
    return out;
  }
  void pauseMs(std::int64_t ms) { now += ms * 1000; }

  // A whole frame; checks the three echoes and returns what came after P3.
  Bytes frame(std::uint8_t header, std::uint8_t p1, std::uint8_t p2, std::uint8_t p3) {
    const Bytes all = send({header, p1, p2, p3});
    const Bytes echoes(all.begin(), all.begin() + std::min<std::ptrdiff_t>(std::ssize(all), 3));
    EXPECT_EQ(echoes, (Bytes{header, p1, p2})) << "wrong echoes";
    return Bytes(all.begin() + std::ssize(echoes), all.end());
  }
  Bytes read(std::uint8_t address, std::uint8_t reg) { return frame(0x40, reg, address, 0); }
  // Type code at an address, 0 when nobody answers there.
  std::uint8_t typeAt(std::uint8_t address) {
    const Bytes a = read(address, 0x13);
    return a.size() == 2 && a[0] == kOk ? a[1] : 0;
  }
  // Status byte of a command frame.
  std::uint8_t command(std::uint8_t code, std::uint8_t address, std::uint8_t p3) {
    const Bytes a = frame(0x41, code, address, p3);
    return a.empty() ? 0xEE : a[0];
  }
  // The last point of a search (P3 = 0) leaves its isolator open.
  std::uint8_t search(std::uint8_t address, bool last = false, std::uint8_t code = 0x88) {
    return command(code, address, last ? 0 : 1);
  }
  std::uint8_t lineCheck() { return command(0x88, LoopSimulator::kLineCheckAddress, 1); }
  void rearm() {
    EXPECT_EQ(send({0x04}), Bytes{0x04});
    pauseMs(3000);
    EXPECT_EQ(send({0x03}), Bytes{0x03});
  }

  LoopSimulator box;
  std::int64_t now = 0;
};

}  // namespace korvane::sim::testing
