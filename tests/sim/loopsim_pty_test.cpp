// korvane-loopsim as a program: the application and adapter tests drive it over its
// pseudo-terminal; what only shows here is how it refuses a loop file it cannot play, and how
// its adapter holds the box's bytes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

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

// 70 link checks sent at once are echoed one every two byte-times (~146 ms for all): the first
// 62 fill a packet and come together long before the 255 ms timer; the last 8 only come once it
// has run out after the last echo.
TEST(LoopsimPty, TheAdapterHoldsTheBoxsBytesUntilAPacketIsFullOrItsTimerRunsOut) {
  Loopsim sim({"--latency-timer", "255", kLoops + "/empty.json"});
  const std::string first = readFor(sim.out, 300, 5000, '\n');
  const std::string device = first.substr(first.find('=') + 1, first.size() - first.find('=') - 2);
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0) << first;
  const std::string checks(70, '\x01');
  ASSERT_EQ(::write(fd, checks.data(), checks.size()), 70);
  EXPECT_EQ(readFor(fd, 62, 250), std::string(62, '\x01'));
  EXPECT_EQ(readFor(fd, 8, 200), "");
  EXPECT_EQ(readFor(fd, 8, 1000), std::string(8, '\x01'));
  ::close(fd);
}

}  // namespace
