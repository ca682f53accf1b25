#include "link/qt/qt_serial_port.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/qt/qt_runtime.h"

namespace korvane::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Never torn down: Qt dislikes an application object destroyed during static destruction.
QCoreApplication& app() {
  static int argc = 1;
  static char name[] = "qt_serial_port_test";
  static char* argv[] = {name, nullptr};
  static auto* instance = new QCoreApplication(argc, argv);
  return *instance;
}

constexpr int kPort = 7;

// The adapter opens the slave side of a pseudo-terminal as serial port 7; the test plays the
// box on the master side.
class QtSerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app();
    char name[256] = {};
    ASSERT_EQ(openpty(&master_, &slave_, name, nullptr, nullptr), 0);
    termios raw{};
    ASSERT_EQ(tcgetattr(slave_, &raw), 0);
    cfmakeraw(&raw);
    ASSERT_EQ(tcsetattr(slave_, TCSANOW, &raw), 0);
    ASSERT_EQ(tcgetattr(master_, &raw), 0);
    cfmakeraw(&raw);
    ASSERT_EQ(tcsetattr(master_, TCSANOW, &raw), 0);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    setenv("KORVANE_COM7", name, 1);

    masterReader_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
    QObject::connect(masterReader_.get(), &QSocketNotifier::activated, [this] {
      std::uint8_t chunk[256];
      const ssize_t n = ::read(master_, chunk, sizeof chunk);
      if (n > 0) {
        atMaster_.insert(atMaster_.end(), chunk, chunk + n);
      } else {
        masterReader_->setEnabled(false);  // the slave is gone; stop polling it
      }
    });

    hangGuard_.setSingleShot(true);
    QObject::connect(&hangGuard_, &QTimer::timeout, [this] { hung_ = true; });
    hangGuard_.start(10000);
  }

  void TearDown() override {
    masterReader_.reset();
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
  }

  void closeMaster() {
    masterReader_.reset();
    ::close(master_);
    master_ = -1;
  }

  void writeAtMaster(const Bytes& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  // Lets the loop run until `done` holds; false if the hang guard fired first.
  bool waitFor(const std::function<bool()>& done) {
    return rt_.processUntil([&] { return done() || hung_; }) && !hung_;
  }

  // Lets the loop run for a short while, for checks that something does *not* happen.
  void settle(int ms = 50) {
    QTimer later;
    bool over = false;
    later.setSingleShot(true);
    QObject::connect(&later, &QTimer::timeout, [&] { over = true; });
    later.start(ms);
    rt_.processUntil([&] { return over; });
  }

  int master_ = -1;
  int slave_ = -1;
  Bytes atMaster_;
  runtime::QtRuntime rt_;
  bool hung_ = false;

 private:
  std::unique_ptr<QSocketNotifier> masterReader_;
  QTimer hangGuard_;
};

TEST_F(QtSerialPortTest, BytesCrossTheLineUnchangedBothWays) {
  QtSerialPort port;
  ASSERT_TRUE(port.open(kPort, "9600,N,8,1")) << port.errorText();
  EXPECT_TRUE(port.isOpen());

  // Out: a frame plus the bytes a cooked line would rewrite (LF, CR, XON, XOFF).
  const Bytes frame = {0x40, 0x13, 0x05, 0x00, 0x0A, 0x0D, 0x11, 0x13, 0xFF};
  ASSERT_TRUE(port.write(frame));
  // The bytes leave at write(), not at the next turn of the loop: the answer time-out counts
  // from the send. (The timeout is only a hang guard.)
  pollfd readable{master_, POLLIN, 0};
  EXPECT_EQ(poll(&readable, 1, 5000), 1);
  ASSERT_TRUE(waitFor([&] { return atMaster_.size() >= frame.size(); }));
  EXPECT_EQ(atMaster_, frame);

  // In: every byte value, raw.
  Bytes all(256);
  for (int i = 0; i < 256; ++i)
    all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  writeAtMaster(all);
  ASSERT_TRUE(waitFor([&] { return port.bytesWaiting() >= all.size(); }));
  EXPECT_EQ(port.readAll(), all);
  EXPECT_EQ(port.bytesWaiting(), 0u);
  EXPECT_TRUE(port.readAll().empty());
}

TEST_F(QtSerialPortTest, TheEventWaitsForTheThresholdCountNotForSignals) {
  QtSerialPort port;
  int events = 0;
  port.setOnEvent([&] { ++events; });
  ASSERT_TRUE(port.open(kPort, "9600,N,8,1")) << port.errorText();

  {
    SCOPED_TRACE("two answer bytes arriving one at a time");
    port.setReceiveThreshold(2);
    writeAtMaster({0x00});
    ASSERT_TRUE(waitFor([&] { return port.bytesWaiting() >= 1; }));
    settle();
    EXPECT_EQ(events, 0);
    writeAtMaster({0xFF});
    ASSERT_TRUE(waitFor([&] { return events >= 1; }));
    EXPECT_EQ(events, 1);
    EXPECT_EQ(port.readAll(), (Bytes{0x00, 0xFF}));
  }
  {
    SCOPED_TRACE("threshold 0 turns byte notifications off");
    events = 0;
    port.setReceiveThreshold(0);
    writeAtMaster({0x04, 0x05});
    ASSERT_TRUE(waitFor([&] { return port.bytesWaiting() >= 2; }));
    settle();
    EXPECT_EQ(events, 0);
  }
}

TEST_F(QtSerialPortTest, SettingsAreParsedAndMalformedOnesRefused) {
  QtSerialPort port;
  for (const char* bad : {"", "9600", "9600,N,8", "9600,N,8,1,1", "fast,N,8,1", "-9600,N,8,1",
                          "0,N,8,1", "9600,X,8,1", "9600,,8,1", "9600,NO,8,1", "9600,N,9,1",
                          "9600,N,4,1", "9600,N,8,3", "9600,N,8,1x", "96 00,N,8,1"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(port.open(kPort, bad));
    EXPECT_FALSE(port.isOpen());
    EXPECT_NE(port.errorText().find("settings"), std::string::npos) << port.errorText();
  }
  for (const char* good : {"9600,N,8,1", "19200, e ,7,2", "4800,o,8,1", "9600,S,8,1"}) {
    SCOPED_TRACE(good);
    EXPECT_TRUE(port.open(kPort, good)) << port.errorText();
    EXPECT_TRUE(port.isOpen());
    EXPECT_TRUE(port.errorText().empty());
    port.close();
    EXPECT_FALSE(port.isOpen());
  }
}

TEST_F(QtSerialPortTest, OpenFailsForAMissingDeviceAndWritesFailOnAClosedPort) {
  setenv("KORVANE_COM8", "/dev/korvane-no-such-port", 1);
  QtSerialPort port;
  int events = 0;
  port.setOnEvent([&] { ++events; });
  EXPECT_FALSE(port.open(8, "9600,N,8,1"));
  EXPECT_FALSE(port.isOpen());
  EXPECT_NE(port.errorText().find("/dev/korvane-no-such-port"), std::string::npos)
      << port.errorText();
  EXPECT_FALSE(port.write(Bytes{0x01}));
  EXPECT_EQ(events, 0);  // a failed open answers through its result, not the event
}

TEST_F(QtSerialPortTest, APortInUseCannotBeOpenedTwice) {
  QtSerialPort first;
  QtSerialPort second;
  ASSERT_TRUE(first.open(kPort, "9600,N,8,1")) << first.errorText();
  EXPECT_FALSE(second.open(kPort, "9600,N,8,1"));
  EXPECT_FALSE(second.isOpen());
  EXPECT_FALSE(second.errorText().empty());
  EXPECT_TRUE(first.isOpen());

  first.close();
  EXPECT_TRUE(second.open(kPort, "9600,N,8,1")) << second.errorText();
}

TEST_F(QtSerialPortTest, HangUpClosesThePortAndRaisesTheEventOnce) {
  QtSerialPort port;
  int events = 0;
  port.setOnEvent([&] { ++events; });
  port.setReceiveThreshold(1);
  ASSERT_TRUE(port.open(kPort, "9600,N,8,1")) << port.errorText();
  closeMaster();
  ASSERT_TRUE(waitFor([&] { return events >= 1; }));
  EXPECT_FALSE(port.isOpen());
  EXPECT_NE(port.errorText().find("connection lost"), std::string::npos) << port.errorText();
  EXPECT_TRUE(port.readAll().empty());
  // Closed, so no error storm: the event stays at one.
  settle(100);
  EXPECT_EQ(events, 1);
  EXPECT_FALSE(port.write(Bytes{0x01}));
}

TEST_F(QtSerialPortTest, TheEventHandlerMayDestroyThePort) {
  auto port = std::make_unique<QtSerialPort>();
  int events = 0;
  port->setReceiveThreshold(1);
  port->setOnEvent([&] {
    ++events;
    port.reset();
  });
  ASSERT_TRUE(port->open(kPort, "9600,N,8,1")) << port->errorText();
  writeAtMaster({0x01, 0x02});
  ASSERT_TRUE(waitFor([&] { return events >= 1; }));
  settle();  // lets the deferred deletion run
  EXPECT_EQ(port, nullptr);
  EXPECT_EQ(events, 1);
}

}  // namespace
}  // namespace korvane::link
