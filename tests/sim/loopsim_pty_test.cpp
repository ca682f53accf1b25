// korvane-loopsim as a program: the application and adapter tests drive it over its
// pseudo-terminal; what only shows here is how it refuses a loop file it cannot play.

#include <gtest/gtest.h>

#include <string>

#include "support/loopsim_process.h"

namespace {

using namespace korvane::testing;

TEST(LoopsimPty, BadLoopFileGivesOneLineAndStatusTwo) {
  Loopsim sim({kLoops + "/no-such-loop.json"});
  ASSERT_GT(sim.pid, 0);
  EXPECT_EQ(sim.waitExit(5000), 2);
  const std::string message = readFor(sim.err, 1000, 1000);
  EXPECT_NE(message.find("no-such-loop.json"), std::string::npos) << message;
  EXPECT_EQ(message.find('\n'), message.size() - 1) << message;
  EXPECT_TRUE(readFor(sim.out, 1, 100).empty());
}

}  // namespace
