// The USB adapter pulled out and plugged back, as the application meets it: the engine on
// Qt's event loop and the QSerialPort adapter, the box a korvane-loopsim behind a symbolic
// link that stays while the simulator behind it is stopped and another one started.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QTest>
#include <filesystem>

#include "engine/bus_station.h"
#include "link/qt/qt_serial_port.h"
#include "runtime/qt/qt_runtime.h"
#include "support/loopsim_process.h"
#include "support/qt_loop.h"

namespace korvane::link {
namespace {

using korvane::testing::kLoops;
using korvane::testing::Loopsim;

// Starts a simulator and points `link` at its pseudo-terminal.
std::unique_ptr<Loopsim> simulatorBehind(const std::filesystem::path& link) {
  auto sim = std::make_unique<Loopsim>(std::vector<std::string>{kLoops + "/mixed.json"});
  const std::string device = korvane::testing::deviceOf(*sim, "KORVANE_COM1");
  if (device.empty()) return nullptr;
  std::filesystem::remove(link);
  std::filesystem::create_symlink(device, link);
  return sim;
}

TEST(AdapterReplugged, TheToolIsConnectedAgainWithinFiveSeconds) {
  korvane::testing::QtApplicationOnce app;

  const auto link = std::filesystem::temp_directory_path() / "korvane_replug_ttyUSB0";
  auto sim = simulatorBehind(link);
  ASSERT_NE(sim, nullptr);
  ::setenv("KORVANE_COM3", link.c_str(), 1);

  runtime::QtRuntime rt;
  QtSerialPort port;
  screens::RecordingDialogs dialogs;
  engine::BusStation st(rt, port, dialogs);
  st.com.Port_Com = 3;
  ASSERT_TRUE(st.engine.openPort());
  const auto connected = [&] { return st.bus.Connection_Lbl.caption == "Connecté "; };
  ASSERT_TRUE(QTest::qWaitFor(connected, 5'000));

  sim.reset();  // the adapter goes away with the simulator's terminal
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return st.bus.Connection_Lbl.caption == "Deconnecté"; }, 10'000));
  EXPECT_TRUE(port.lost());

  sim = simulatorBehind(link);
  ASSERT_NE(sim, nullptr);
  EXPECT_TRUE(QTest::qWaitFor(connected, 5'000));
  EXPECT_TRUE(dialogs.shown.empty());

  rt.shutdown();
  std::filesystem::remove(link);
}

}  // namespace
}  // namespace korvane::link
