#include "sim/loop.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/loop_simulator.h"

namespace korvane::sim::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

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
  LoopSimulator box(parseLoop(R"({"points": [{"code": 7, "registers": {"3": 5, "0x0F": 6}},
                                             {"code": 67, "address": 0}, {"code": 19}]})"));
  std::int64_t now = 0;
  auto read = [&](std::uint8_t reg) {  // register `reg` of address 1, bytes 2 ms apart
    Bytes answer;
    for (std::uint8_t b : {std::uint8_t{0x40}, reg, std::uint8_t{1}, std::uint8_t{0}})
      for (std::uint8_t a : box.receive(b, now += 2000))
        answer.push_back(a);
    return answer;
  };
  EXPECT_EQ(read(0x03), (Bytes{0x40, 0x03, 1, 0, 5}));  // echoes, status OK, value
  EXPECT_EQ(read(0x0F), (Bytes{0x40, 0x0F, 1, 0, 6}));
  EXPECT_EQ(box.channelCount(), 6u);
  EXPECT_EQ(channelAddresses(box.loop()), (Bytes{1, 0, 0, 0, 0, 6}));
}

TEST(LoopsimLoopFile, RejectsWhatCannotBePlayed) {
  std::string modules = R"({"points": [)";  // 128 channels: a full loop
  for (int i = 0; i < 16; ++i)
    modules += R"({"code": 66},)";
  EXPECT_EQ(errorOf(modules.substr(0, modules.size() - 1) + "]}"), "");
  // Each message names where the fault is, on one line.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {modules + R"({"code": 7, "address": 0}]})",
       "the loop takes 129 addresses; a loop has at most 128"},
      {R"({"points": [{"code": 7}, {"code": 7, "alram": 140}]})",
       "points[1]: unknown key \"alram\""},
      {R"({"points": [{"code": 7, "alarm": 300}]})", "points[0].alarm: 300"},
      {R"({"points": [{"code": 7, "chamber": [5, -1]}]})", "points[0].chamber[1]: -1"},
      {R"({"points": [{"alarm": 7}]})", "points[0]: missing \"code\""},
      {R"({"points": [{"code": 66, "initial": 40}]})", "points[0].initial: a module"},
      {R"({"points": [{"code": 70, "chamber": [1], "position": 2}]})", "points[0]: \"chamber\""},
      {R"({"points": [{"code": 7}, {"code": 19, "address": 1}]})",
       "points[1].address: address 1 already belongs to points[0]"},
      {R"({"points": [{"code": 67, "address": 126}]})", "points[0].address: the module's 4"},
  };
  for (const auto& [text, message] : cases) {
    const std::string error = errorOf(text);
    EXPECT_TRUE(mentions(error, message)) << text << " gave: " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace korvane::sim::testing
