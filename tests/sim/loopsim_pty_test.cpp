// korvane-loopsim as the tool meets it: a program that prints a terminal's name and then
// answers on that terminal like the box. POSIX, as is the program under test.

#include <termios.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "support/loopsim_process.h"

namespace {

using namespace korvane::testing;

using Bytes = std::vector<std::uint8_t>;

int openRaw(const std::string& device) {
  const int fd = open(device.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) return fd;
  termios tio{};
  tcgetattr(fd, &tio);
  cfmakeraw(&tio);
  tcsetattr(fd, TCSANOW, &tio);
  return fd;
}

Bytes exchange(int fd, std::uint8_t byte, std::size_t answerBytes) {
  EXPECT_EQ(write(fd, &byte, 1), 1);
  const std::string got = readFor(fd, answerBytes, 2000);
  return Bytes(got.begin(), got.end());
}

TEST(LoopsimPty, AnswersLikeTheBoxAndOutlivesThePortClosing) {
  Loopsim sim({"--com", "3", kLoops + "/mixed.json"});
  ASSERT_GT(sim.pid, 0);
  const std::string device = deviceOf(sim, "KORVANE_COM3");
  ASSERT_FALSE(device.empty());

  int fd = openRaw(device);
  ASSERT_GE(fd, 0) << device;
  EXPECT_EQ(exchange(fd, 0x01, 1), Bytes{0x01});
  const auto start = std::chrono::steady_clock::now();
  // Address 5 of the mixed loop is a type-7 detector.
  for (std::uint8_t b : {0x40, 0x13, 0x05})
    EXPECT_EQ(exchange(fd, b, 1), Bytes{b});
  EXPECT_EQ(exchange(fd, 0x00, 2), (Bytes{0x00, 0x07}));
  // Nine bytes on a 9600-baud line take over 9 ms; a pty alone would take next to nothing.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(9));

  close(fd);
  fd = openRaw(device);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(exchange(fd, 0x02, 1), Bytes{49});  // the mixed loop's version byte
  close(fd);

  kill(sim.pid, SIGTERM);
  EXPECT_EQ(sim.waitExit(3000), 0);
}

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
