// What the engine tests cannot see of the simulated box: what a rearm restores, how it finds
// its feet again after a broken exchange, and how far its faults reach.
#include "sim/loop_simulator.h"

#include <gtest/gtest.h>

#include "sim_line.h"

namespace korvane::sim::testing {
namespace {

// Power cut by a rearm: chamber readings start again and LEDs go out. The last point of a
// search (P3 = 0) cuts the loop after it until then; a dead point ends the line check.
TEST(LoopsimBox, RearmRestoresTheLoop) {
  Loop loop = loopOf({27, 67, 19, 23});  // addresses 1, 2..5, 6, 7
  loop.points[0].chamber = {5, 40};
  loop.points[3].dead = true;
  Line line(loop);
  EXPECT_EQ(line.send({0x03}), Bytes{0x03});  // a rearm end without a start rearms nothing
  EXPECT_EQ(line.box.rearmCount(), 0);
  line.rearm();
  EXPECT_EQ(line.read(1, 0x11)[1], 5);
  EXPECT_EQ(line.read(1, 0x11)[1], 40);
  EXPECT_EQ(line.command(0x82, 1, 3), kOk);
  EXPECT_EQ(line.search(1), kOk);
  EXPECT_EQ(line.search(2, true), kOk);  // the module's isolator is after its last channel
  EXPECT_EQ(line.typeAt(5), 67);
  EXPECT_EQ(line.typeAt(6), 0);
  line.rearm();
  EXPECT_EQ(line.box.rearmCount(), 2);
  EXPECT_FALSE(line.box.ledOn(0));
  EXPECT_EQ(line.read(1, 0x11)[1], 5);
  EXPECT_EQ(line.typeAt(6), 19);
  for (std::uint8_t a = 1; a <= 6; ++a)
    EXPECT_EQ(line.search(a), kOk) << int(a);
  EXPECT_NE(line.search(7), kOk);
  EXPECT_NE(line.lineCheck(), kOk);
}

// Bytes lost (box unplugged or silent) or a pause mid-frame send the parser back to idle.
TEST(LoopsimFaults, LostBytesAndPausesAbandonTheFrame) {
  Line line(loopOf({7}));
  EXPECT_EQ(line.send({0x40, 0x13}), (Bytes{0x40, 0x13}));
  line.box.setPlugged(false);
  EXPECT_TRUE(line.send({0x05, 0x00, 0x01, 0x02}).empty());
  line.box.setPlugged(true);
  EXPECT_TRUE(line.box.idle());

  line.box.silenceUntil(line.now + 200'000);
  line.pauseMs(197);
  EXPECT_TRUE(line.send({0x01}).empty());     // 199 ms later
  EXPECT_EQ(line.send({0x01}), Bytes{0x01});  // 201 ms later

  EXPECT_EQ(line.send({0x40, 0x13}), (Bytes{0x40, 0x13}));
  line.pauseMs(490);  // within the limit: still the same frame
  EXPECT_EQ(line.send({0x01, 0x00}), (Bytes{0x01, 0x00, 0x07}));
  EXPECT_EQ(line.send({0x40, 0x13}), (Bytes{0x40, 0x13}));
  line.pauseMs(600);  // the PC gave up: 0x01 is a link check, not P2
  EXPECT_EQ(line.send({0x01}), Bytes{0x01});
}

}  // namespace
}  // namespace korvane::sim::testing
