#include "sim/loop_simulator.h"

#include <gtest/gtest.h>

#include "sim_line.h"

namespace korvane::sim::testing {
namespace {

// The type code of point 5, byte by byte; a frame to nobody is echoed as well, then refused.
TEST(LoopsimBox, WorkedExampleAndAFrameToNobody) {
  Line line(loopOf({19, 19, 23, 27, 7}));
  EXPECT_EQ(line.send({0x40}), Bytes{0x40});
  EXPECT_EQ(line.send({0x13}), Bytes{0x13});
  EXPECT_EQ(line.send({0x05}), Bytes{0x05});
  EXPECT_EQ(line.send({0x00}), (Bytes{0x00, 0x07}));
  EXPECT_TRUE(line.box.idle());
  for (std::uint8_t address : {6, 0, 128, 200, 255})
    EXPECT_EQ(line.read(address, 0x13), (Bytes{LoopSimulator::kNobody, 0})) << int(address);
  EXPECT_EQ(line.readLong(9, 0x13), (Bytes{LoopSimulator::kNobody, 0, 0}));
  EXPECT_EQ(line.command(0x82, 9, 3), LoopSimulator::kNobody);
}

TEST(LoopsimBox, InterfaceCommandsAndMeasures) {
  Loop loop = loopOf({7});
  loop.box.version = 0x30;
  loop.box.current = 12;
  loop.box.voltageOut = 34;
  loop.box.voltageReturn = 56;
  Line line(loop);
  EXPECT_EQ(line.send({0x01}), Bytes{0x01});
  EXPECT_EQ(line.send({0x02}), Bytes{0x30});
  EXPECT_EQ(line.send({0x08}), Bytes{0x00});
  EXPECT_EQ(line.send({0x07, 0x00}), (Bytes{0x07, 12}));
  EXPECT_EQ(line.send({0x07, 0x02}), (Bytes{0x07, 34}));
  EXPECT_EQ(line.send({0x07, 0x03}), (Bytes{0x07, 56}));
  EXPECT_TRUE(line.send({0x00, 0x05, 0x55, 0xFF, 0x44}).empty());  // unknown bytes
  EXPECT_EQ(line.send({0x07, 0x01}), Bytes{0x07});  // unknown measure: back to idle after it
  EXPECT_EQ(line.send({0x01}), Bytes{0x01});
  line.box.box().shortCircuit = true;
  EXPECT_EQ(line.send({0x08}), Bytes{0x10});
}

// Where each kind of point keeps what it does not share with the others.
TEST(LoopsimRegisters, EachKindOfPointFillsItsOwnRegisters) {
  Loop loop = loopOf({7, 66, 70, 82});  // addresses 1, 2..9, 10, 11
  loop.points[0].temperature = 27;
  loop.points[0].registers = {{0xFF, 7}, {0x00, 9}};
  loop.points[1].delay = 4;
  loop.points[2].position = 3;
  loop.points[3].rating = 4;
  loop.points[3].supply = 27;
  loop.points[3].temperature = 30;
  Line line(loop);
  auto regs = [&](std::uint8_t address, std::uint8_t first, std::uint8_t last) {
    Bytes values;
    for (int r = first; r <= last; ++r)
      values.push_back(line.read(address, static_cast<std::uint8_t>(r))[1]);
    return values;
  };
  // Default serials: 21, 7, then the entry's position; a detector's from 0x08, a module's
  // (after its delay) from 0x0B.
  EXPECT_EQ(regs(1, 0x08, 0x0B), (Bytes{21, 7, 0, 1}));
  EXPECT_EQ(regs(9, 0x0A, 0x0E), (Bytes{4, 21, 7, 0, 2}));
  EXPECT_EQ(line.read(1, 0x16)[1], 47);                   // temperature + 20
  EXPECT_EQ(line.readLong(1, 0xFF), (Bytes{kOk, 7, 9}));  // long reads wrap to register 0
  EXPECT_EQ(line.read(10, 0x11)[1], 3);                   // KAPRE position
  EXPECT_EQ(line.read(11, 0x11)[1], 4);                   // BRIM rating
  // The BRIM gives its supply voltage instead of its temperature when asked with option 5.
  EXPECT_EQ(line.readLong(11, 0x16, 0)[1], 50);
  EXPECT_EQ(line.readLong(11, 0x16, 5)[1], 27);
}

TEST(LoopsimRegisters, ChamberReadingsAdvanceThenLastRepeatsAndRestartAtRearm) {
  Loop loop = loopOf({27, 7});
  loop.points[0].chamber = {5, 40, 42, 44};
  loop.points[1].initial = 37;  // no readings: a clean chamber reads its initial value
  Line line(loop);
  EXPECT_EQ(line.box.registerValue(0, 0x11), 5);  // peeking does not consume
  EXPECT_EQ(line.read(1, 0x11)[1], 5);
  EXPECT_EQ(line.read(1, 0x11)[1], 40);
  // A long read of 0x10 shows the chamber as its second byte without consuming a reading.
  EXPECT_EQ(line.readLong(1, 0x10)[2], 42);
  for (std::uint8_t expected : {42, 44, 44})
    EXPECT_EQ(line.read(1, 0x11)[1], expected);
  EXPECT_EQ(line.read(2, 0x11)[1], 37);
  EXPECT_EQ(line.read(2, 0x11)[1], 37);
  line.rearm();
  EXPECT_EQ(line.read(1, 0x11)[1], 5);
}

TEST(LoopsimCommands, LedAndModeWrite) {
  Loop loop = loopOf({7, 26});
  loop.points[1].mode = 4;  // static heat element
  Line line(loop);
  EXPECT_EQ(line.command(0x82, 2, 3), kOk);
  EXPECT_TRUE(line.box.ledOn(1));
  EXPECT_FALSE(line.box.ledOn(0));
  EXPECT_EQ(line.command(0x82, 2, 0), kOk);
  EXPECT_FALSE(line.box.ledOn(1));
  EXPECT_EQ(line.command(0x82, 2, 1), LoopSimulator::kRefused);
  EXPECT_FALSE(line.box.ledOn(1));
  EXPECT_EQ(line.command(0x82, 1, 3), kOk);
  line.rearm();
  EXPECT_FALSE(line.box.ledOn(0));  // power came back: LEDs off

  EXPECT_EQ(line.command(0x96, 2, 1), kOk);
  EXPECT_EQ(line.command(0x85, 2, 0), kOk);
  EXPECT_EQ(line.read(2, 0x18)[1], 5);
  EXPECT_EQ(line.command(0x96, 2, 0xFE), kOk);  // only bits 0 and 1 are the point's switches
  EXPECT_EQ(line.box.mode(1), 6);
  for (std::uint8_t unknown : {0x90, 0x13})
    EXPECT_EQ(line.command(unknown, 1, 0), LoopSimulator::kRefused);
}

}  // namespace
}  // namespace korvane::sim::testing
