// korvane-loopsim as a program: the application and adapter tests drive it over its
// pseudo-terminal; what only shows here is how it refuses a loop file it cannot play.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

#include "support/loopsim_process.h"

namespace {

using namespace korvane::testing;

// A loop file it cannot play, or a --link path that holds something else (left as it is).
TEST(LoopsimPty, RefusesToStartWithOneLineAndItsStatus) {
  const std::string file = (std::filesystem::temp_directory_path() / "korvane_not_a_link").string();
  std::ofstream(file) << "kept";
  for (auto [args, status, says] :
       {std::tuple{std::vector<std::string>{kLoops + "/no-such-loop.json"}, 2, "no-such-loop.json"},
        std::tuple{std::vector<std::string>{"--link", file, kLoops + "/empty.json"}, 1,
                   file.c_str()}}) {
    Loopsim sim(args);
    EXPECT_EQ(sim.exitStatus(), status);
    const std::string message = readFor(sim.err, 1000, 1000);
    EXPECT_NE(message.find(says), std::string::npos) << message;
    EXPECT_EQ(message.find('\n'), message.size() - 1) << message;
    EXPECT_TRUE(readFor(sim.out, 1, 100).empty());
  }
  EXPECT_EQ(std::filesystem::file_size(file), 4u);
}

}  // namespace
