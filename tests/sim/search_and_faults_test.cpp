#include <gtest/gtest.h>

#include <string>

#include "sim/loop_simulator.h"
#include "sim_line.h"

namespace korvane::sim::testing {
namespace {

constexpr std::uint8_t kOk = 0;

std::uint8_t typeAt(Line& line, std::uint8_t address) {
  const Bytes a = line.read(address, 0x13);
  return a.size() == 2 && a[0] == kOk ? a[1] : 0;
}

// ---- Search, isolators, line check ------------------------------------------------------------

TEST(LoopsimSearch, HandsOutAddressesInPhysicalOrderThenEnds) {
  Loop loop = loopOf({7, 19, 23});
  loop.points[0].address = 30;
  loop.points[1].address = 10;
  loop.points[2].address = 20;
  Line line(loop);
  EXPECT_EQ(typeAt(line, 10), 19);  // stored addresses answer before any search
  line.rearm();
  EXPECT_EQ(typeAt(line, 10), 19);  // and a rearm keeps them
  EXPECT_EQ(line.search(1), kOk);
  EXPECT_EQ(line.search(2, false, 0x81), kOk);  // the phase-1 code works as well
  EXPECT_EQ(line.search(3), kOk);
  EXPECT_NE(line.search(4), kOk);
  EXPECT_NE(line.lineCheck(4), kOk);
  EXPECT_EQ((Bytes{typeAt(line, 1), typeAt(line, 2), typeAt(line, 3)}), (Bytes{7, 19, 23}));
  EXPECT_EQ(typeAt(line, 10), 0);
  EXPECT_EQ(line.box.address(2), 3);
}

TEST(LoopsimSearch, TakingAnAddressTakesItFromItsOldHolder) {
  Line line(loopOf({7, 19, 23}));  // stored addresses 1, 2, 3
  line.rearm();
  EXPECT_EQ(line.search(2), kOk);  // the first point takes 2 from the second one
  EXPECT_EQ(line.box.address(0), 2);
  EXPECT_EQ(line.box.address(1), 0);
  EXPECT_EQ(typeAt(line, 2), 7);
  EXPECT_EQ(typeAt(line, 1), 0);  // nobody holds 1 any more
  EXPECT_EQ(line.search(1), kOk);
  EXPECT_EQ(typeAt(line, 1), 19);
}

TEST(LoopsimSearch, LastPointIsolatorCutsTheRestOffUntilRearm) {
  Line line(loopOf({7, 19, 23, 27}));
  line.rearm();
  EXPECT_EQ(line.search(1), kOk);
  EXPECT_EQ(line.search(2, true), kOk);
  EXPECT_TRUE(line.box.reachable(1));
  EXPECT_FALSE(line.box.reachable(2));
  EXPECT_EQ(typeAt(line, 3), 0);  // still holds 3, but cannot hear us
  EXPECT_NE(line.search(3), kOk);
  EXPECT_NE(line.lineCheck(3), kOk);
  EXPECT_NE(line.command(0x82, 4, 3), kOk);

  line.rearm();
  EXPECT_TRUE(line.box.reachable(3));
  EXPECT_EQ(typeAt(line, 3), 23);
  EXPECT_EQ(line.box.rearmCount(), 2);
}

TEST(LoopsimSearch, LoopIsOffBetweenRearmStartAndEnd) {
  Line line(loopOf({7}));
  EXPECT_EQ(line.send({0x03}), Bytes{0x03});  // an end without a start rearms nothing
  EXPECT_EQ(line.box.rearmCount(), 0);
  line.send({0x04});
  EXPECT_FALSE(line.box.reachable(0));
  EXPECT_EQ(typeAt(line, 1), 0);
  line.send({0x03});
  EXPECT_EQ(typeAt(line, 1), 7);
}

TEST(LoopsimSearch, LineCheckTellsWhetherAPointIsLeftToAddress) {
  Line line(loopOf({7, 19}));
  line.rearm();
  EXPECT_EQ(line.lineCheck(1), kOk);
  line.search(1);
  EXPECT_EQ(line.lineCheck(2), kOk);
  line.search(2);
  EXPECT_NE(line.lineCheck(3), kOk);
}

TEST(LoopsimSearch, SilentPointRefusesItsSearchesWhileTheLineGoesOn) {
  Loop loop = loopOf({7, 19, 23});
  loop.points[1].silentAtSearch = 2;
  Line line(loop);
  line.rearm();
  EXPECT_EQ(line.search(1), kOk);
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_NE(line.search(2), kOk);
    EXPECT_EQ(line.lineCheck(2), kOk);
  }
  EXPECT_EQ(line.search(2), kOk);
  EXPECT_EQ(line.search(3), kOk);
}

TEST(LoopsimSearch, DeadPointEndsTheSearchButNotTheLoop) {
  Loop loop = loopOf({7, 19, 23});
  loop.points[1].dead = true;
  Line line(loop);
  line.rearm();
  EXPECT_EQ(line.search(1), kOk);
  EXPECT_NE(line.search(2), kOk);
  EXPECT_NE(line.lineCheck(2), kOk);
  EXPECT_EQ(typeAt(line, 2), 0);
  EXPECT_EQ(typeAt(line, 3), 23);  // beyond it, powered and holding its stored address
  line.box.setDead(1, false);
  EXPECT_EQ(line.search(2), kOk);
}

TEST(LoopsimSearch, AddressesOutsideTheLoopAreRefused) {
  Line line(loopOf({7}));
  line.rearm();
  for (std::uint8_t address : {0, 129, 199, 201, 255}) {
    EXPECT_EQ(line.search(address), LoopSimulator::kBadAddress) << int(address);
  }
  EXPECT_EQ(line.search(128), kOk);
  EXPECT_EQ(typeAt(line, 128), 7);
}

TEST(LoopsimSearch, ModulesTakeConsecutiveAddressesSharingTheirRegisters) {
  Loop loop = loopOf({7, 68, 67, 66, 19});
  loop.points[2].serial = {{17, 2, 0, 78}};
  Line line(loop);
  ASSERT_EQ(line.box.channelCount(), 16u);
  const Bytes expected{7, 68, 68, 67, 67, 67, 67, 66, 66, 66, 66, 66, 66, 66, 66, 19};
  Bytes types;
  for (std::uint8_t a = 1; a <= 16; ++a)
    types.push_back(typeAt(line, a));
  EXPECT_EQ(types, expected);
  for (std::uint8_t a = 4; a <= 7; ++a) {  // serial at base 11, one for the whole module
    EXPECT_EQ(
        (Bytes{line.read(a, 11)[1], line.read(a, 12)[1], line.read(a, 13)[1], line.read(a, 14)[1]}),
        (Bytes{17, 2, 0, 78}));
  }

  // The isolator of a module is after its last channel.
  line.rearm();
  for (std::uint8_t a = 1; a <= 3; ++a)
    EXPECT_EQ(line.search(a), kOk);
  EXPECT_EQ(line.search(4, true), kOk);  // first channel of the 4-channel module
  for (std::uint8_t a = 5; a <= 7; ++a)
    EXPECT_EQ(line.search(a), kOk);
  EXPECT_NE(line.search(8), kOk);
  EXPECT_EQ(typeAt(line, 7), 67);
  EXPECT_EQ(typeAt(line, 8), 0);
}

// ---- Misbehaviour on request ------------------------------------------------------------------

TEST(LoopsimFaults, WrongEchoAltersOneByteOnly) {
  Line line(loopOf({7}));
  line.box.corruptNextEcho(0x01);
  EXPECT_EQ(line.send({0x40}), Bytes{0x41});
  EXPECT_EQ(line.send({0x13}), Bytes{0x13});
  line.box.corruptNextEcho();
  EXPECT_EQ(line.send({0x01}), Bytes{0xFE});  // P2
  EXPECT_EQ(line.send({0x00}), (Bytes{0x00, 0x07}));
}

TEST(LoopsimFaults, ShortAnswerLacksItsLastByteOnce) {
  Line line(loopOf({7}));
  line.box.shortenNextAnswer();
  EXPECT_EQ(line.read(1, 0x13), Bytes{0x00});
  line.box.shortenNextAnswer();
  EXPECT_EQ(line.readLong(1, 0x13), (Bytes{0x00, 0x07}));
  EXPECT_EQ(line.read(1, 0x13), (Bytes{0x00, 0x07}));
}

TEST(LoopsimFaults, UnpluggedBoxLosesEveryByteUntilPluggedBack) {
  Line line(loopOf({7}));
  EXPECT_EQ(line.send({0x40, 0x13}), (Bytes{0x40, 0x13}));
  line.box.setPlugged(false);
  EXPECT_TRUE(line.send({0x05, 0x00, 0x01, 0x02}).empty());
  line.box.setPlugged(true);
  EXPECT_TRUE(line.box.idle());  // the frame cut short is forgotten
  EXPECT_EQ(line.send({0x01}), Bytes{0x01});
}

TEST(LoopsimFaults, SilentBoxAnswersAgainAtTheGivenTime) {
  Line line(loopOf({7}));
  line.box.silenceUntil(line.now + 200'000);
  EXPECT_TRUE(line.send({0x01}).empty());  // at 2 ms
  line.pauseMs(190);
  EXPECT_TRUE(line.send({0x01}).empty());  // at 194 ms
  line.pauseMs(6);
  EXPECT_EQ(line.send({0x01}), Bytes{0x01});  // at 202 ms
}

TEST(LoopsimFaults, PauseMidFrameSendsTheParserBackToIdle) {
  Line line(loopOf({7}));
  EXPECT_EQ(line.send({0x40, 0x13}), (Bytes{0x40, 0x13}));
  line.pauseMs(490);  // within the limit: still the same frame
  EXPECT_EQ(line.send({0x01, 0x00}), (Bytes{0x01, 0x00, 0x07}));

  EXPECT_EQ(line.send({0x40, 0x13}), (Bytes{0x40, 0x13}));
  line.pauseMs(600);  // the PC gave up: 0x01 is a link check, not P2
  EXPECT_EQ(line.send({0x01}), Bytes{0x01});
  EXPECT_EQ(line.send({0x40, 0x13, 0x01, 0x00}), (Bytes{0x40, 0x13, 0x01, 0x00, 0x07}));

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
  EXPECT_EQ(line.read(1, 0x08)[0], LoopSimulator::kRefused);
  EXPECT_EQ(line.read(1, 0x0C)[0], LoopSimulator::kRefused);
  EXPECT_EQ(line.read(1, 0x08)[0], kOk);
  EXPECT_EQ(line.read(1, 0x0C)[0], kOk);
  EXPECT_EQ(line.read(1, 0x13)[0], kOk);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(line.read(2, 0x10)[0], LoopSimulator::kRefused);

  line.box.setFailingRegisters(1, {0x13}, 2);
  EXPECT_EQ(line.read(2, 0x10)[0], kOk);
  EXPECT_NE(line.read(2, 0x13)[0], kOk);
  EXPECT_NE(line.read(2, 0x13)[0], kOk);
  EXPECT_EQ(line.read(2, 0x13), (Bytes{kOk, 19}));
}

TEST(LoopsimFaults, LoggerGetsOneLinePerExchange) {
  Line line(loopOf({7}));
  std::vector<std::string> lines;
  line.box.setLogger([&](const std::string& text) { lines.push_back(text); });
  line.send({0x01});
  line.send({0x40, 0x13, 0x01, 0x00});
  line.send({0x07, 0x00});
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[0].find("01 -> 01"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("40 13 01 00 -> 00 07"), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find("07 00 -> 07 64"), std::string::npos) << lines[2];
}

}  // namespace
}  // namespace korvane::sim::testing
