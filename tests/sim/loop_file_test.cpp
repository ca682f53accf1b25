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

TEST(LoopsimLoopFile, RegisterKeysAreDecimalOrHexAndAddressZeroLeavesAModuleUnaddressed) {
  Line line(parseLoop(R"({"points": [{"code": 7, "registers": {"3": 5, "0x0F": 6}},
                                     {"code": 67, "address": 0}, {"code": 19}]})"));
  EXPECT_EQ(line.read(1, 0x03)[1], 5);
  EXPECT_EQ(line.read(1, 0x0F)[1], 6);
  EXPECT_EQ(line.box.channelCount(), 6u);
  EXPECT_EQ(channelAddresses(line.box.loop()), (Bytes{1, 0, 0, 0, 0, 6}));
}

TEST(LoopsimLoopFile, RejectsWhatCannotBePlayed) {
  // Each message names where the fault is, on one line.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {R"({"points": [{"code": 7}, {"code": 7, "alram": 140}]})",
       "points[1]: unknown key \"alram\""},
      {R"({"box": {}, "pionts": []})", "unknown key \"pionts\""},
      {R"({"points": [{"code": 7, "alarm": 300}]})", "points[0].alarm: 300"},
      {R"({"points": [{"code": 7, "chamber": [5, -1]}]})", "points[0].chamber[1]: -1"},
      {R"({"points": [{"code": 7, "serial": [1, 2, 3]}]})", "points[0].serial: expected four"},
      {R"({"points": [{"code": 7, "temperature": 300}]})", "points[0].temperature: 300"},
      {R"({"points": [{"code": "7"}]})", "points[0].code: expected"},
      {R"({"points": [{"alarm": 7}]})", "points[0]: missing \"code\""},
      {R"({"points": [{"code": 7, "registers": {"x": 1}}]})", "points[0].registers: \"x\""},
      {R"({"points": [{"code": 66, "initial": 40}]})", "points[0].initial: a module"},
      {R"({"points": [{"code": 7, "delay": 4}]})", "points[0].delay: only modules"},
      {R"({"points": [{"code": 70, "chamber": [1], "position": 2}]})", "points[0]: \"chamber\""},
      {R"({"points": [{"code": 7}, {"code": 19, "address": 1}]})",
       "points[1].address: address 1 already belongs to points[0]"},
      {R"({"points": [{"code": 67, "address": 126}]})", "points[0].address: the module's 4"},
      {R"({"points": [{"code": 7,}]})", "not valid JSON"},
      {R"([1, 2])", "expected an object"},
  };
  for (const auto& [text, message] : cases) {
    const std::string error = errorOf(text);
    EXPECT_TRUE(mentions(error, message)) << text << " gave: " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

TEST(LoopsimLoopFile, AtMostOneHundredTwentyEightAddresses) {
  std::string text = R"({"points": [)";
  for (int i = 0; i < 16; ++i)
    text += R"({"code": 66},)";  // 128 channels
  EXPECT_EQ(errorOf(text.substr(0, text.size() - 1) + "]}"), "");
  EXPECT_EQ(errorOf(text + R"({"code": 7, "address": 0}]})"),
            "the loop takes 129 addresses; a loop has at most 128");
}

TEST(LoopsimExamples, AllLoadAndPlay) {
  const std::pair<const char*, std::size_t> files[] = {{"empty.json", 0},
                                                       {"mixed.json", 31},
                                                       {"full-128.json", 128},
                                                       {"kapre-20.json", 20},
                                                       {"faulty.json", 7}};
  for (const auto& [name, addresses] : files) {
    SCOPED_TRACE(name);
    const LoopSimulator box(loadLoop(kLoops + "/" + name));
    EXPECT_EQ(box.channelCount(), addresses);
  }
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

// One of every type code, every mode of the multi-sensor detector, a serial number starting
// with 0, and chambers giving each verdict that their notes announce.
TEST(LoopsimExamples, MixedLoopCoversEveryTypeAndGivesTheVerdictsItsNotesAnnounce) {
  const Loop loop = loadLoop(kLoops + "/mixed.json");
  const Bytes addresses = channelAddresses(loop);
  Line line(loop);
  std::set<int> codes, modes;
  std::set<std::string> verdicts;
  bool serialStartingWithZero = false;
  std::size_t channel = 0;
  for (const Point& p : loop.points) {
    const std::uint8_t address = addresses[channel];
    channel += static_cast<std::size_t>(channelsOf(p.code));
    codes.insert(p.code);
    if (p.code == kCodeMultiSensor) modes.insert(p.mode);
    serialStartingWithZero = serialStartingWithZero || (p.serial && (*p.serial)[0] == 0);
    if (p.chamber.empty()) continue;
    const std::string verdict = verdictOf(line, address);
    EXPECT_TRUE(mentions(p.note, verdict)) << "address " << int(address) << ": " << verdict;
    verdicts.insert(verdict);
  }
  EXPECT_EQ(codes, (std::set<int>{7, 19, 20, 23, 25, 26, 27, 29, 33, 42, 66, 67, 68, 70, 82, 99}));
  EXPECT_EQ(modes, (std::set<int>{0, 1, 2, 3, 4}));
  EXPECT_TRUE(serialStartingWithZero);
  EXPECT_EQ(verdicts.size(), 3u);
}

}  // namespace
}  // namespace korvane::sim::testing
