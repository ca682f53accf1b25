#pragma once
// A PC's view of the simulated box for the tests: bytes go in a couple of milliseconds apart,
// as the frame layer sends them, and the answers come back as one list.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "sim/loop.h"
#include "sim/loop_simulator.h"

namespace korvane::sim::testing {

using Bytes = std::vector<std::uint8_t>;

inline Loop loopOf(std::initializer_list<std::uint8_t> codes) {
  Loop loop;
  for (std::uint8_t c : codes) {
    Point p;
    p.code = c;
    loop.points.push_back(p);
  }
  return loop;
}

struct Line {
  explicit Line(Loop loop) : box(std::move(loop)) {}

  Bytes send(std::initializer_list<std::uint8_t> bytes) {
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
    EXPECT_GE(all.size(), 3u) << "echoes missing";
    if (all.size() < 3) return {};
    EXPECT_EQ((Bytes{all[0], all[1], all[2]}), (Bytes{header, p1, p2})) << "wrong echoes";
    return Bytes(all.begin() + 3, all.end());
  }
  Bytes read(std::uint8_t address, std::uint8_t reg) { return frame(0x40, reg, address, 0); }
  Bytes readLong(std::uint8_t address, std::uint8_t reg, std::uint8_t p3 = 0) {
    return frame(0x42, reg, address, p3);
  }
  // Status byte of a search frame (phase 2 code unless told otherwise).
  std::uint8_t search(std::uint8_t address, bool last = false, std::uint8_t code = 0x88) {
    const Bytes a = frame(0x41, code, address, last ? 0 : 1);
    return a.empty() ? 0xEE : a[0];
  }
  std::uint8_t lineCheck(std::uint8_t current) {
    const Bytes a = frame(0x41, 0x88, 200, current);
    return a.empty() ? 0xEE : a[0];
  }
  // Status byte of a command frame.
  std::uint8_t command(std::uint8_t code, std::uint8_t address, std::uint8_t p3) {
    const Bytes a = frame(0x41, code, address, p3);
    return a.empty() ? 0xEE : a[0];
  }
  void rearm() {
    EXPECT_EQ(send({0x04}), Bytes{0x04});
    pauseMs(3000);
    EXPECT_EQ(send({0x03}), Bytes{0x03});
  }

  LoopSimulator box;
  std::int64_t now = 0;
};

}  // namespace korvane::sim::testing
