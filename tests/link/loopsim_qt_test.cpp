// The application's own serial path, end to end: the frame layer on Qt's event loop, through
// the QSerialPort adapter, over the pseudo-terminal of a running korvane-loopsim.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <QCoreApplication>

#include "link/com_link.h"
#include "link/qt/qt_serial_port.h"
#include "runtime/qt/qt_runtime.h"
#include "sim/loop.h"
#include "support/loopsim_process.h"

namespace korvane::link {
namespace {

using korvane::testing::kLoops;

TEST(LoopsimOverQSerialPort, LinkCheckRearmSearchWithLineCheckAndTypeReadsOfTheMixedLoop) {
  int argc = 1;
  char name[] = "loopsim_qt_test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);

  const sim::Loop loop = sim::loadLoop(kLoops + "/mixed.json");
  std::vector<std::uint8_t> codes;  // type code of each address after a search, in order
  for (const sim::Point& p : loop.points)
    codes.insert(codes.end(), sim::channelsOf(p.code), p.code);

  korvane::testing::Loopsim loopsim({"--com", "4", kLoops + "/mixed.json"});
  ASSERT_GT(loopsim.pid, 0);
  const std::string device = korvane::testing::deviceOf(loopsim, "KORVANE_COM4");
  ASSERT_FALSE(device.empty());
  ::setenv("KORVANE_COM4", device.c_str(), 1);

  runtime::QtRuntime rt;
  QtSerialPort port;
  auto tache = rt.createTimer();
  screens::BusWindow bus;
  screens::MeasuresWindow measures;
  screens::RecordingDialogs dialogs;
  ComLink com(rt, port, *tache, {bus, measures, dialogs});
  com.Port_Com = 4;
  com.Tempo_Bus = 5;  // the pause is not under test; keep the run short

  ASSERT_TRUE(com.Ouvrir_Port()) << port.errorText();
  EXPECT_TRUE(com.Envoi_Octet_Echo(kCmdLinkCheck, kCmdLinkCheck));
  ASSERT_TRUE(com.Envoi_Octet(kCmdVersion, 1));
  EXPECT_EQ(com.rx(0), loop.box.version);
  ASSERT_TRUE(com.Rearmement());

  // Address by address in phase 2 until nobody takes one, then the line check says the line
  // ends there.
  int found = 0;
  for (int a = 1; a <= 128; ++a) {
    ASSERT_TRUE(com.Envoi_Trame(0x88, static_cast<std::uint8_t>(a), 1, true, false));
    if (com.rx(0) != 0) break;
    ++found;
  }
  EXPECT_EQ(found, loop.addressCount());
  ASSERT_TRUE(com.Envoi_Trame(0x88, 200, static_cast<std::uint8_t>(found + 1), true, false));
  EXPECT_NE(com.rx(0), 0);

  for (int a = 1; a <= found; ++a) {
    ASSERT_TRUE(com.Envoi_Trame(0x13, static_cast<std::uint8_t>(a), 0, false, false));
    EXPECT_EQ(com.rx(0), 0) << a;
    EXPECT_EQ(com.rx(1), codes[static_cast<std::size_t>(a - 1)]) << a;
  }
  EXPECT_EQ(com.Nb_Erreur_Com, 0);
  EXPECT_TRUE(dialogs.shown.empty());
}

}  // namespace
}  // namespace korvane::link
