// korvane-loopsim as a program: the application and adapter tests drive it over its
// pseudo-terminal; what only shows here is how it refuses a loop file it cannot play, and how
// it answers its fault commands.

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

// One line for each command; one that cannot be done says why.
TEST(LoopsimPty, FaultCommandsAreAnsweredOneLineEach) {
  Loopsim sim({kLoops + "/mixed.json"});  // 31 addresses
  ASSERT_FALSE(readFor(sim.out, 200, 5000, '\n').empty());
  const std::pair<const char*, const char*> cases[] = {
      {"mute 2", "ok"},
      {"chamber 31 5 40", "ok"},
      {"chamber 32 5", "error: no point at position 32"},
      {"dead 0", "error: no point at position 0"},
      {"silence -1", "error: bad number in \"silence -1\""},
      {"mute", "error: wrong number of values in \"mute\""},
      {"unplug now", "error: bad number in \"unplug now\""},
      {"reboot", "error: unknown command \"reboot\""},
      {"unplug", "ok"},
  };
  for (auto [command, answer] : cases)
    EXPECT_EQ(sim.command(command), answer) << command;
  EXPECT_EQ(sim.command("plug").rfind("ok KORVANE_COM1=/dev/pts/", 0), 0u);
}

}  // namespace
