#include "sim/loop_simulator.h"

#include <gtest/gtest.h>

#include <string>

#include "sim_line.h"

namespace korvane::sim::testing {
namespace {

constexpr std::uint8_t kOk = 0;

// ---- Interface commands and frame shape -------------------------------------------------------

TEST(LoopsimBox, WorkedExampleTypeOfPointFive) {
  Line line(loopOf({19, 19, 23, 27, 7}));
  EXPECT_EQ(line.send({0x40}), Bytes{0x40});
  EXPECT_EQ(line.send({0x13}), Bytes{0x13});
  EXPECT_EQ(line.send({0x05}), Bytes{0x05});
  EXPECT_EQ(line.send({0x00}), (Bytes{0x00, 0x07}));
  EXPECT_TRUE(line.box.idle());
}

TEST(LoopsimBox, InterfaceCommandsAnswerOneByteEach) {
  Loop loop = loopOf({7});
  loop.box.version = 0x30;
  loop.box.current = 12;
  loop.box.voltageOut = 34;
  loop.box.voltageReturn = 56;
  Line line(loop);
  EXPECT_EQ(line.send({0x01}), Bytes{0x01});
  EXPECT_EQ(line.send({0x02}), Bytes{0x30});
  EXPECT_EQ(line.send({0x08}), Bytes{0x00});
  line.box.box().shortCircuit = true;
  EXPECT_EQ(line.send({0x08}), Bytes{0x10});
  EXPECT_EQ(line.send({0x07, 0x00}), (Bytes{0x07, 12}));
  EXPECT_EQ(line.send({0x07, 0x02}), (Bytes{0x07, 34}));
  EXPECT_EQ(line.send({0x07, 0x03}), (Bytes{0x07, 56}));
  EXPECT_EQ(line.send({0x04}), Bytes{0x04});
  EXPECT_EQ(line.send({0x03}), Bytes{0x03});
  EXPECT_EQ(line.box.rearmCount(), 1);
}

TEST(LoopsimBox, UnknownBytesAndMeasuresGetNoAnswer) {
  Line line(loopOf({7}));
  EXPECT_TRUE(line.send({0x00, 0x05, 0x55, 0xFF, 0x44}).empty());
  EXPECT_EQ(line.send({0x07, 0x01}), Bytes{0x07});
  // The box is back to idle: the next byte is a command again.
  EXPECT_EQ(line.send({0x01}), Bytes{0x01});
}

TEST(LoopsimBox, DefaultMeasuresGiveSensibleReadings) {
  Line line(loopOf({}));
  EXPECT_EQ(line.send({0x02}), Bytes{0x31});
  EXPECT_EQ(line.send({0x07, 0x00}), (Bytes{0x07, 100}));
  EXPECT_EQ(line.send({0x07, 0x02}), (Bytes{0x07, 200}));
  EXPECT_EQ(line.send({0x07, 0x03}), (Bytes{0x07, 198}));
}

TEST(LoopsimBox, FrameToNobodyIsEchoedThenRefused) {
  Line line(loopOf({7, 7}));
  for (std::uint8_t address : {3, 0, 128, 200, 255}) {
    const Bytes a = line.read(address, 0x13);
    ASSERT_EQ(a.size(), 2u) << "address " << int(address);
    EXPECT_NE(a[0], kOk);
    EXPECT_EQ(a[1], 0);
  }
  const Bytes longAnswer = line.readLong(9, 0x13);
  EXPECT_EQ(longAnswer, (Bytes{LoopSimulator::kNobody, 0, 0}));
  EXPECT_NE(line.command(0x82, 9, 3), kOk);
}

TEST(LoopsimBox, LongAnswerBringsRegisterAndTheNextOneWrapping) {
  Loop loop = loopOf({7});
  loop.points[0].registers = {{0xFF, 7}, {0x00, 9}};
  loop.points[0].initial = 44;
  loop.points[0].pcbVersion = 0x23;
  Line line(loop);
  EXPECT_EQ(line.readLong(1, 0x0C), (Bytes{kOk, 44, 0}));
  EXPECT_EQ(line.readLong(1, 0x13), (Bytes{kOk, 7, 0x23}));
  EXPECT_EQ(line.readLong(1, 0xFF), (Bytes{kOk, 7, 9}));
  EXPECT_EQ(line.read(1, 0xFF), (Bytes{kOk, 7}));
}

// ---- Registers --------------------------------------------------------------------------------

TEST(LoopsimRegisters, DetectorRegisterMap) {
  Loop loop = loopOf({29});
  Point& p = loop.points[0];
  p.serial = {{12, 34, 1, 2}};
  p.initial = 41;
  p.alarm = 141;
  p.fault = 11;
  p.pcbVersion = 0x23;
  p.softVersion = 0x31;
  p.temperature = 27;
  p.state = 8;
  p.registers = {{3, 5}};
  Line line(loop);
  EXPECT_EQ(line.read(1, 0x13)[1], 29);
  EXPECT_EQ(line.read(1, 0x14)[1], 0x23);
  EXPECT_EQ(line.read(1, 0x15)[1], 0x31);
  EXPECT_EQ(
      (Bytes{line.read(1, 8)[1], line.read(1, 9)[1], line.read(1, 10)[1], line.read(1, 11)[1]}),
      (Bytes{12, 34, 1, 2}));
  EXPECT_EQ(line.read(1, 0x0C)[1], 41);
  EXPECT_EQ(line.read(1, 0x01)[1], 141);
  EXPECT_EQ(line.read(1, 0x02)[1], 11);
  EXPECT_EQ(line.read(1, 0x03)[1], 5);
  EXPECT_EQ(line.read(1, 0x10)[1], 8);
  EXPECT_EQ(line.read(1, 0x16)[1], 47);
  EXPECT_EQ(line.read(1, 0x77), (Bytes{kOk, 0}));  // unset registers answer 0
}

TEST(LoopsimRegisters, ChamberReadingsAdvanceThenLastRepeatsAndRestartAtRearm) {
  Loop loop = loopOf({27});
  loop.points[0].chamber = {5, 40, 42, 44};
  Line line(loop);
  EXPECT_EQ(line.box.registerValue(0, 0x11), 5);  // peeking does not consume
  EXPECT_EQ(line.read(1, 0x11)[1], 5);
  EXPECT_EQ(line.read(1, 0x11)[1], 40);
  // A long read of 0x10 shows the chamber as its second byte without consuming a reading.
  EXPECT_EQ(line.readLong(1, 0x10)[2], 42);
  EXPECT_EQ(line.read(1, 0x11)[1], 42);
  EXPECT_EQ(line.read(1, 0x11)[1], 44);
  EXPECT_EQ(line.read(1, 0x11)[1], 44);
  line.rearm();
  EXPECT_EQ(line.read(1, 0x11)[1], 5);
}

TEST(LoopsimRegisters, CleanChamberReadsItsInitialValue) {
  Loop loop = loopOf({7});
  loop.points[0].initial = 37;
  Line line(loop);
  EXPECT_EQ(line.read(1, 0x11)[1], 37);
  EXPECT_EQ(line.read(1, 0x11)[1], 37);
}

TEST(LoopsimRegisters, KapreAndBrimUseRegisterElevenForTheirOwnValues) {
  Loop loop = loopOf({70, 82});
  loop.points[0].position = 3;
  loop.points[1].rating = 4;
  loop.points[1].supply = 27;
  loop.points[1].state = 1;
  loop.points[1].temperature = 30;
  Line line(loop);
  EXPECT_EQ(line.read(1, 0x11)[1], 3);
  EXPECT_EQ(line.read(2, 0x11)[1], 4);
  EXPECT_EQ(line.read(2, 0x10)[1], 1);
  EXPECT_EQ(line.readLong(2, 0x16, 5)[1], 27);
  EXPECT_EQ(line.readLong(2, 0x16, 0)[1], 50);  // without the option: its temperature
}

TEST(LoopsimRegisters, DefaultSerialNumbersDifferByPosition) {
  Line line(loopOf({7, 66, 7}));
  EXPECT_EQ(line.read(1, 8)[1], 21);
  EXPECT_EQ(line.read(1, 11)[1], 1);
  EXPECT_EQ(line.read(2, 14)[1], 2);  // the module: base 11, entry 2
  EXPECT_EQ(line.read(10, 11)[1], 3);
}

// ---- Commands ---------------------------------------------------------------------------------

TEST(LoopsimCommands, LedSwitchesOnAndOff) {
  Line line(loopOf({7, 19}));
  EXPECT_EQ(line.command(0x82, 2, 3), kOk);
  EXPECT_TRUE(line.box.ledOn(1));
  EXPECT_FALSE(line.box.ledOn(0));
  EXPECT_EQ(line.command(0x82, 2, 0), kOk);
  EXPECT_FALSE(line.box.ledOn(1));
  EXPECT_NE(line.command(0x82, 2, 1), kOk);
  EXPECT_FALSE(line.box.ledOn(1));
}

TEST(LoopsimCommands, LedGoesOffWhenTheLoopIsRearmed) {
  Line line(loopOf({7}));
  line.command(0x82, 1, 3);
  line.rearm();
  EXPECT_FALSE(line.box.ledOn(0));
}

TEST(LoopsimCommands, ModeWriteSwitchesSensorsAndKeepsTheHeatElementKind) {
  Loop loop = loopOf({26});
  loop.points[0].mode = 4;  // static heat element
  Line line(loop);
  EXPECT_EQ(line.command(0x96, 1, 1), kOk);
  EXPECT_EQ(line.command(0x85, 1, 0), kOk);
  EXPECT_EQ(line.read(1, 0x18)[1], 5);
  EXPECT_EQ(line.command(0x96, 1, 0xFE), kOk);  // only bits 0 and 1 are the point's switches
  EXPECT_EQ(line.box.mode(0), 6);
}

TEST(LoopsimCommands, UnknownCommandIsRefused) {
  Line line(loopOf({7}));
  EXPECT_EQ(line.command(0x90, 1, 0), LoopSimulator::kRefused);
  EXPECT_EQ(line.command(0x13, 1, 0), LoopSimulator::kRefused);
}

}  // namespace
}  // namespace korvane::sim::testing
