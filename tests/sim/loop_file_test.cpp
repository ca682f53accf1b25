#include "sim/loop.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>

#include "sim/loop_simulator.h"
#include "sim_line.h"

namespace korvane::sim::testing {
namespace {

const std::string kLoops = KORVANE_LOOPS_DIR;

// The message parseLoop gives for a loop text, or "" when it parses.
std::string errorOf(const std::string& text) {
  try {
    parseLoop(text);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "";
}

bool mentions(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// ---- Validation -------------------------------------------------------------------------------

TEST(LoopsimLoopFile, ReadsEveryField) {
  const Loop loop = parseLoop(R"({
    "note": "bench loop",
    "box": {"version": 48, "short_circuit": true, "current": 1, "voltage_out": 2,
            "voltage_return": 3},
    "points": [
      {"code": 7, "serial": [12, 34, 1, 2], "pcb_version": 35, "soft_version": 49,
       "initial": 40, "alarm": 140, "fault": 10, "chamber": [5, 40], "temperature": -5,
       "state": 8, "mode": 4, "registers": {"3": 5, "0x0F": 6}, "address": 9,
       "silent_at_search": 1, "failing_registers": [19], "failing_times": 2, "dead": false,
       "note": "n"},
      {"code": 67, "delay": 4, "address": 0}
    ]})");
  EXPECT_EQ(loop.box.version, 48);
  EXPECT_TRUE(loop.box.shortCircuit);
  EXPECT_EQ(loop.box.voltageReturn, 3);
  ASSERT_EQ(loop.points.size(), 2u);
  const Point& p = loop.points[0];
  EXPECT_EQ(p.serial, (std::array<std::uint8_t, 4>{12, 34, 1, 2}));
  EXPECT_EQ(p.temperature, -5);
  EXPECT_EQ(p.chamber, (Bytes{5, 40}));
  EXPECT_EQ(p.registers.at(0x0F), 6);
  EXPECT_EQ(p.address, 9);
  EXPECT_EQ(p.failingRegisters, std::set<std::uint8_t>{19});
  EXPECT_EQ(p.failingTimes, 2);
  EXPECT_EQ(loop.points[1].delay, 4);
  EXPECT_EQ(loop.addressCount(), 5);
  EXPECT_EQ(channelAddresses(loop), (Bytes{9, 0, 0, 0, 0}));
}

TEST(LoopsimLoopFile, RejectsWhatCannotBePlayed) {
  struct Case {
    const char* text;
    std::vector<std::string> mentions;
  };
  const std::vector<Case> cases = {
      {R"({"points": [{"code": 7}, {"code": 7, "alram": 140}]})", {"points[1]", "\"alram\""}},
      {R"({"points": [{"code": 7, "alarm": 300}]})", {"points[0].alarm", "300"}},
      {R"({"box": {"version": 256}})", {"box.version", "256"}},
      {R"({"box": {"versoin": 49}})", {"box", "\"versoin\""}},
      {R"({"box": {}, "pionts": []})", {"\"pionts\""}},
      {R"({"points": [{"code": 7, "chamber": [5, -1]}]})", {"points[0].chamber[1]"}},
      {R"({"points": [{"code": 7, "serial": [1, 2, 3]}]})", {"points[0].serial", "four"}},
      {R"({"points": [{"code": 7, "temperature": 300}]})", {"points[0].temperature"}},
      {R"({"points": [{"code": "7"}]})", {"points[0].code"}},
      {R"({"points": [{"alarm": 7}]})", {"points[0]", "code"}},
      {R"({"points": [{"code": 7, "registers": {"x": 1}}]})", {"points[0].registers", "\"x\""}},
      {R"({"points": [{"code": 7, "registers": {"256": 1}}]})", {"\"256\""}},
      {R"({"points": [{"code": 66, "initial": 40}]})", {"points[0].initial", "serial"}},
      {R"({"points": [{"code": 7, "delay": 4}]})", {"points[0].delay"}},
      {R"({"points": [{"code": 70, "chamber": [1], "position": 2}]})", {"points[0]", "0x11"}},
      {R"({"points": [{"code": 7}, {"code": 19, "address": 1}]})",
       {"points[1].address", "points[0]"}},
      {R"({"points": [{"code": 67, "address": 126}]})", {"points[0].address", "128"}},
      {R"({"points": [{"code": 7, "address": 129}]})", {"points[0].address"}},
      {R"({"points": [{"code": 7,}]})", {"JSON"}},
      {R"([1, 2])", {"object"}},
  };
  for (const Case& c : cases) {
    const std::string error = errorOf(c.text);
    EXPECT_FALSE(error.empty()) << c.text;
    for (const std::string& m : c.mentions) {
      EXPECT_TRUE(mentions(error, m)) << c.text << " gave: " << error;
    }
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

TEST(LoopsimLoopFile, AtMostOneHundredTwentyEightAddresses) {
  std::string text = R"({"points": [)";
  for (int i = 0; i < 16; ++i)
    text += R"({"code": 66},)";  // 128 channels
  EXPECT_EQ(errorOf(text + R"({"code": 7, "address": 0}]})"),
            "the loop takes 129 addresses; a loop has at most 128");
  EXPECT_EQ(errorOf(text.substr(0, text.size() - 1) + "]}"), "");
}

TEST(LoopsimLoopFile, SimulatorRefusesAnInvalidLoopBuiltInCode) {
  Loop loop = loopOf({7, 7});
  loop.points[1].address = 1;
  EXPECT_THROW(LoopSimulator{loop}, std::runtime_error);
}

TEST(LoopsimLoopFile, MissingFileNamesItsPath) {
  try {
    loadLoop(kLoops + "/no-such-loop.json");
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_TRUE(mentions(e.what(), "no-such-loop.json")) << e.what();
  }
}

// ---- The shipped examples ---------------------------------------------------------------------

TEST(LoopsimExamples, AllLoadAndPlay) {
  const std::vector<std::pair<std::string, int>> files = {{"empty.json", 0},
                                                          {"mixed.json", 31},
                                                          {"full-128.json", 128},
                                                          {"kapre-20.json", 20},
                                                          {"faulty.json", 7}};
  for (const auto& [name, addresses] : files) {
    SCOPED_TRACE(name);
    const Loop loop = loadLoop(kLoops + "/" + name);
    EXPECT_EQ(loop.addressCount(), addresses);
    LoopSimulator box(loop);
    EXPECT_EQ(box.channelCount(), static_cast<std::size_t>(addresses));
  }
}

TEST(LoopsimExamples, KapreLoopHasTwentyPointsInEveryPosition) {
  Line line(loadLoop(kLoops + "/kapre-20.json"));
  std::set<int> positions;
  for (std::uint8_t a = 1; a <= 20; ++a) {
    EXPECT_EQ(line.read(a, 0x13), (Bytes{0, 70}));
    positions.insert(line.read(a, 0x11)[1]);
  }
  EXPECT_EQ(positions, (std::set<int>{0, 1, 2, 3}));
}

TEST(LoopsimExamples, MixedLoopCoversEveryTypeAndMode) {
  const Loop loop = loadLoop(kLoops + "/mixed.json");
  std::set<int> codes, modes;
  bool serialStartingWithZero = false;
  for (const Point& p : loop.points) {
    codes.insert(p.code);
    if (p.code == kCodeMultiSensor) modes.insert(p.mode);
    serialStartingWithZero = serialStartingWithZero || (p.serial && (*p.serial)[0] == 0);
  }
  EXPECT_EQ(codes, (std::set<int>{7, 19, 20, 23, 25, 26, 27, 29, 33, 42, 66, 67, 68, 70, 82, 99}));
  EXPECT_EQ(modes, (std::set<int>{0, 1, 2, 3, 4}));
  EXPECT_TRUE(serialStartingWithZero);
  // The worked example of the protocol: address 5 is a type-7 detector.
  Line line(loop);
  EXPECT_EQ(line.read(5, 0x13), (Bytes{0, 7}));
}

// The chamber analysis as the tool runs it: skip the readings of 5 (chamber not ready), open the
// window at the first other reading, average the ten after it, compare with the thresholds.
std::string verdictOf(Line& line, std::uint8_t address) {
  int n = 0;
  while (line.read(address, 0x11)[1] == 5 && ++n < 190) {
  }
  int sum = 0;
  for (int i = 0; i < 10; ++i)
    sum += line.read(address, 0x11)[1];
  const int m = sum / 10;
  const int initial = line.read(address, 0x0C)[1];
  const int alarm = line.read(address, 0x01)[1];
  double t = 0;
  if (m >= initial) {
    t = (m - initial) * 100.0 / (alarm - initial);
  } else {
    t = (m == 0 || m < initial - 6) ? 100 : 0;
  }
  if (t <= 20) return "Détecteur OK";
  if (t <= 70) return "Remplacement à prévoir";
  return "Détecteur à remplacer";
}

TEST(LoopsimExamples, MixedLoopChambersGiveTheVerdictsTheirNotesAnnounce) {
  const Loop loop = loadLoop(kLoops + "/mixed.json");
  const Bytes addresses = channelAddresses(loop);
  Line line(loop);
  std::set<std::string> seen;
  std::size_t channel = 0;
  for (const Point& p : loop.points) {
    const std::uint8_t address = addresses[channel];
    channel += static_cast<std::size_t>(channelsOf(p.code));
    if (p.chamber.empty()) continue;
    const std::string verdict = verdictOf(line, address);
    EXPECT_TRUE(mentions(p.note, verdict)) << "address " << int(address) << ": " << verdict;
    seen.insert(verdict);
  }
  EXPECT_EQ(seen.size(), 3u);
}

}  // namespace
}  // namespace korvane::sim::testing
