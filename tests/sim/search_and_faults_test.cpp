#include <gtest/gtest.h>

#include "sim/loop_simulator.h"
#include "sim_line.h"

namespace korvane::sim::testing {
namespace {

TEST(LoopsimSearch, HandsOutAddressesInPhysicalOrderThenEnds) {
  Loop loop = loopOf({7, 19, 23});
  loop.points[0].address = 30;
  loop.points[1].address = 10;
  loop.points[2].address = 20;
  Line line(loop);
  EXPECT_EQ(line.typeAt(10), 19);  // stored addresses answer before any search
  line.rearm();
  EXPECT_EQ(line.typeAt(10), 19);  // and a rearm keeps them
  for (std::uint8_t address : {0, 129, 199, 201, 255})
    EXPECT_EQ(line.search(address), LoopSimulator::kBadAddress) << int(address);
  EXPECT_EQ(line.search(10), kOk);  // the first point takes 10 from the second one
  EXPECT_EQ(line.box.address(1), 0);
  EXPECT_EQ(line.search(128, false, 0x81), kOk);  // the phase-1 code works as well
  EXPECT_EQ(line.search(3), kOk);
  EXPECT_EQ(line.search(4), LoopSimulator::kNobody);
  EXPECT_NE(line.lineCheck(), kOk);
  EXPECT_EQ((Bytes{line.typeAt(10), line.typeAt(128), line.typeAt(3)}), (Bytes{7, 19, 23}));
  EXPECT_EQ((Bytes{line.typeAt(30), line.typeAt(20)}), (Bytes{0, 0}));
}

// The last point of a search keeps its isolator open; a module's isolator is after its last
// channel.
TEST(LoopsimSearch, LastPointIsolatorCutsTheRestOffUntilRearm) {
  Line line(loopOf({7, 67, 19, 23}));         // addresses 1, 2..5, 6, 7
  EXPECT_EQ(line.send({0x03}), Bytes{0x03});  // a rearm end without a start rearms nothing
  EXPECT_EQ(line.box.rearmCount(), 0);
  EXPECT_EQ(line.send({0x04}), Bytes{0x04});
  EXPECT_EQ(line.typeAt(1), 0);  // the loop is off until the rearm ends
  EXPECT_EQ(line.send({0x03}), Bytes{0x03});
  EXPECT_EQ(line.box.rearmCount(), 1);

  EXPECT_EQ(line.search(1), kOk);
  EXPECT_EQ(line.search(2, true), kOk);
  for (std::uint8_t a = 3; a <= 5; ++a)
    EXPECT_EQ(line.search(a), kOk) << int(a);
  EXPECT_NE(line.search(6), kOk);
  EXPECT_NE(line.lineCheck(), kOk);
  EXPECT_EQ(line.typeAt(6), 0);  // still holds 6, but cannot hear us
  EXPECT_NE(line.command(0x82, 7, 3), kOk);
  line.rearm();
  EXPECT_EQ(line.typeAt(6), 19);
  EXPECT_EQ(line.search(1), kOk);
}

// The line check goes on while the next point to address can still be found: a point that keeps
// silent at its search does not end it, a dead one does.
TEST(LoopsimSearch, LineCheckGoesOnPastASilentPointButNotADeadOne) {
  Loop loop = loopOf({7, 19, 23, 27});
  loop.points[1].silentAtSearch = 2;
  loop.points[2].dead = true;
  Line line(loop);
  line.rearm();
  EXPECT_EQ(line.lineCheck(), kOk);
  EXPECT_EQ(line.search(1), kOk);
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_NE(line.search(2), kOk);
    EXPECT_EQ(line.lineCheck(), kOk);
  }
  EXPECT_EQ(line.search(2), kOk);
  EXPECT_NE(line.search(3), kOk);
  EXPECT_NE(line.lineCheck(), kOk);
  EXPECT_EQ((Bytes{line.typeAt(3), line.typeAt(4)}), (Bytes{0, 27}));  // beyond: still powered
  line.box.setDead(2, false);
  EXPECT_EQ(line.search(3), kOk);
}

TEST(LoopsimSearch, ModulesTakeConsecutiveAddressesSharingTheirRegisters) {
  Loop loop = loopOf({7, 68, 67, 66, 19});
  loop.points[2].serial = {{17, 2, 0, 78}};
  Line line(loop);
  Bytes types;
  for (std::uint8_t a = 1; a <= 17; ++a)
    types.push_back(line.typeAt(a));
  EXPECT_EQ(types, (Bytes{7, 68, 68, 67, 67, 67, 67, 66, 66, 66, 66, 66, 66, 66, 66, 19, 0}));
  for (std::uint8_t a = 4; a <= 7; ++a)
    EXPECT_EQ(line.read(a, 0x0E), (Bytes{kOk, 78})) << int(a);
}

TEST(LoopsimFaults, WrongEchoAndShortAnswerAffectOneExchangeOnly) {
  Line line(loopOf({7}));
  line.box.corruptNextEcho(0x01);
  EXPECT_EQ(line.send({0x40, 0x13}), (Bytes{0x41, 0x13}));
  line.box.corruptNextEcho();
  EXPECT_EQ(line.send({0x01}), Bytes{0xFE});  // P2
  EXPECT_EQ(line.send({0x00}), (Bytes{0x00, 0x07}));
  line.box.shortenNextAnswer();
  EXPECT_EQ(line.read(1, 0x13), Bytes{0x00});
  line.box.shortenNextAnswer();
  EXPECT_EQ(line.readLong(1, 0x13), (Bytes{0x00, 0x07}));
  EXPECT_EQ(line.read(1, 0x13), (Bytes{0x00, 0x07}));
}

// Bytes lost (box unplugged or silent) or a pause mid-frame send the parser back to idle.
TEST(LoopsimFaults, LostBytesAndPausesAbandonTheFrame) {
  Line line(loopOf({7}));
  EXPECT_EQ(line.send({0x40, 0x13}), (Bytes{0x40, 0x13}));
  line.box.setPlugged(false);
  EXPECT_TRUE(line.send({0x05, 0x00, 0x01, 0x02}).empty());
  line.box.setPlugged(true);
  EXPECT_TRUE(line.box.idle());
  EXPECT_EQ(line.send({0x01}), Bytes{0x01});

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
  EXPECT_EQ(line.send({0x07}), Bytes{0x07});
  line.pauseMs(600);
  EXPECT_EQ(line.send({0x02}), Bytes{0x31});  // version, not the outgoing voltage
}

TEST(LoopsimFaults, FailingRegisterIsRefusedTheGivenNumberOfTimes) {
  Loop loop = loopOf({7, 19});
  loop.points[0].failingRegisters = {0x08, 0x0C};
  loop.points[0].failingTimes = 1;
  loop.points[1].failingRegisters = {0x10};  // always
  Line line(loop);
  for (std::uint8_t status : {LoopSimulator::kRefused, kOk}) {
    EXPECT_EQ(line.read(1, 0x08)[0], status);
    EXPECT_EQ(line.read(1, 0x0C)[0], status);
  }
  EXPECT_EQ(line.read(1, 0x13)[0], kOk);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(line.read(2, 0x10)[0], LoopSimulator::kRefused);
  line.box.setFailingRegisters(1, {0x13}, 2);  // replaces the set
  EXPECT_EQ(line.read(2, 0x10)[0], kOk);
  EXPECT_NE(line.read(2, 0x13)[0], kOk);
  EXPECT_NE(line.read(2, 0x13)[0], kOk);
  EXPECT_EQ(line.read(2, 0x13), (Bytes{kOk, 19}));
}

}  // namespace
}  // namespace korvane::sim::testing
