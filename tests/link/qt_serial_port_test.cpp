#include "link/qt/qt_serial_port.h"

#include <QTimer>

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/qt_loop.h"

namespace korvane::link {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr int kPort = 7;
constexpr const char* kLine = "9600,N,8,1";

// The adapter (port_, or the test's own) opens the slave side of a raw pseudo-terminal
// as serial port 7; the test plays the box on the master side.
class QtSerialPortTest : public ::testing::Test, protected korvane::testing::QtLoop {
 protected:
  void SetUp() override {
    char name[256] = {};
    ASSERT_EQ(openpty(&master_, &slave_, name, nullptr, nullptr), 0);
    for (int fd : {master_, slave_}) {
      termios raw{};
      ASSERT_EQ(tcgetattr(fd, &raw), 0);
      cfmakeraw(&raw);
      ASSERT_EQ(tcsetattr(fd, TCSANOW, &raw), 0);
    }
    setenv("KORVANE_COM7", name, 1);
    port_.setOnEvent([this] { ++events_; });
  }

  void TearDown() override {
    for (int fd : {master_, slave_})
      if (fd >= 0) ::close(fd);
  }

  // Up to n bytes that reach the master, read without running the event loop.
  Bytes readAtMaster(std::size_t n) {
    Bytes got;
    std::uint8_t chunk[256];
    pollfd readable{master_, POLLIN, 0};
    while (got.size() < n && poll(&readable, 1, 5000) == 1) {
      const ssize_t r = ::read(master_, chunk, std::min(sizeof chunk, n - got.size()));
      if (r <= 0) break;
      got.insert(got.end(), chunk, chunk + r);
    }
    return got;
  }

  void writeAtMaster(const Bytes& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  // Lets the loop run for a short while, for checks that something does *not* happen.
  void settle(int ms = 50) {
    bool over = false;
    QTimer::singleShot(ms, [&] { over = true; });
    rt.processUntil([&] { return over; });
  }

  int master_ = -1;
  int slave_ = -1;
  QtSerialPort port_;
  int events_ = 0;  // events port_ raised
};

TEST_F(QtSerialPortTest, BytesLeaveAtWriteAndTheEventWaitsForTheThreshold) {
  ASSERT_TRUE(port_.open(kPort, kLine)) << port_.errorText();
  // Out: a frame plus the bytes a cooked line would rewrite (LF, CR, XON, XOFF). They leave at
  // write(), not at the next turn of the loop: the answer time-out counts from the send.
  const Bytes frame = {0x40, 0x13, 0x05, 0x00, 0x0A, 0x0D, 0x11, 0x13, 0xFF};
  ASSERT_TRUE(port_.write(frame));
  EXPECT_EQ(readAtMaster(frame.size()), frame);

  // A late answer still in the driver, never seen by the loop, is dropped with the rest.
  writeAtMaster({0x01, 0x02});
  writeAtMaster({0x03});
  port_.discardInput();
  settle();
  EXPECT_EQ(port_.bytesWaiting(), 0u);

  // The event waits for the threshold count, not for signals.
  port_.setReceiveThreshold(2);  // two answer bytes arriving one at a time
  writeAtMaster({0x00});
  ASSERT_TRUE(waitFor([&] { return port_.bytesWaiting() >= 1; }));
  settle();
  EXPECT_EQ(events_, 0);
  writeAtMaster({0xFF});
  ASSERT_TRUE(waitFor([&] { return events_ >= 1; }));
  EXPECT_EQ(events_, 1);
  EXPECT_EQ(port_.readAll(), (Bytes{0x00, 0xFF}));

  port_.setReceiveThreshold(0);  // turns byte notifications off
  writeAtMaster({0x04, 0x05});
  ASSERT_TRUE(waitFor([&] { return port_.bytesWaiting() >= 2; }));
  settle();
  EXPECT_EQ(events_, 1);
}

TEST_F(QtSerialPortTest, HangUpClosesThePortAndRaisesTheEventOnce) {
  port_.setReceiveThreshold(1);
  ASSERT_TRUE(port_.open(kPort, kLine)) << port_.errorText();
  ::close(std::exchange(master_, -1));
  ASSERT_TRUE(waitFor([&] { return events_ >= 1; }));
  EXPECT_FALSE(port_.isOpen());
  EXPECT_TRUE(port_.lost());
  EXPECT_EQ(port_.failure().problem, PortProblem::kVanished);
  settle(100);  // closed, so no error storm
  EXPECT_EQ(events_, 1);
  port_.close();
  EXPECT_FALSE(port_.lost());
}

}  // namespace
}  // namespace korvane::link
