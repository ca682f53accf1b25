// The application as it runs: the main window, a bus window on the Qt runtime and serial port,
// and korvane-loopsim at the other end of a real pseudo-terminal.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "engine/bus_station.h"
#include "shell/address_grid.h"
#include "shell/bus_frm.h"
#include "shell/mdi_main.h"
#include "support/loopsim_process.h"

namespace korvane::shell::testing {
namespace {

struct App {
  explicit App(const std::string& name) {
    dir = std::filesystem::temp_directory_path() / ("korvane_app_" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "loop.json") << R"({"points": [
        {"code": 7}, {"code": 19}, {"code": 68}, {"code": 26, "mode": 1}, {"code": 23}]})";
    loopsim = std::make_unique<korvane::testing::Loopsim>(
        std::vector<std::string>{"--com", "1", (dir / "loop.json").string()});
    const std::string device = korvane::testing::deviceOf(*loopsim, "KORVANE_COM1");
    ::setenv("KORVANE_COM1", device.c_str(), 1);
    main = std::make_unique<MdiMain>(dir);
    main->show();
  }

  // Opens the bus window for "DI" and waits for the box to answer.
  BusFrm* openConnected() {
    main->sm_di_Click();
    BusFrm* frm = main->busFrm();
    if (!frm) return nullptr;
    const bool up = QTest::qWaitFor([&] { return frm->station().state.Bus_Connecte; }, 10'000);
    return up ? frm : nullptr;
  }

  std::filesystem::path dir;
  std::unique_ptr<korvane::testing::Loopsim> loopsim;
  std::unique_ptr<MdiMain> main;
};

TEST(Application, SearchesTheSimulatedLoopOverAPseudoTerminal) {
  App app("search");
  BusFrm* frm = app.openConnected();
  ASSERT_NE(frm, nullptr);
  EXPECT_EQ(frm->windowTitle(), QStringLiteral("BUS AUTOCODAGE KORVANE"));
  frm->station().control.Form_KeyDown(engine::kKeyF5);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !frm->station().state.Bus_Occupe; }, 30'000));
  frm->render();
  EXPECT_EQ(frm->station().state.Nb_Trouve, 6);
  const QStringList expected = {"001\nKEV11x",  "002\nZUN",     "003\nMOLS-E1",
                                "004\nMOLS-E2", "005\nKEV312A", "006\nGLIR"};
  for (int a = 1; a <= 6; ++a)
    EXPECT_EQ(frm->grid()->box(a)->text(), expected[a - 1]) << a;
  EXPECT_EQ(frm->station().state.points[5].Adr_Categorie, "Optique ");
  // The first run leaves the settings file with the keys it reads back.
  EXPECT_TRUE(std::filesystem::exists(app.dir / "BUS-CONFIG.INI"));
}

// Closing the bus window while its search waits for the box: the wait gives up, nothing it
// uses is destroyed under it, and the window can be opened again.
TEST(Application, ClosingTheBusWindowDuringAWaitIsSafe) {
  App app("close");
  BusFrm* frm = app.openConnected();
  ASSERT_NE(frm, nullptr);
  QTimer::singleShot(300, frm, [frm] { frm->close(); });
  frm->station().control.Form_KeyDown(engine::kKeyF5);  // the rearm waits three seconds
  EXPECT_EQ(app.main->busFrm(), nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return app.main->closingSessions() == 0; }, 10'000));

  BusFrm* again = app.openConnected();
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again->station().bus.Connection_Lbl.caption, "Déconnecté");
}

}  // namespace
}  // namespace korvane::shell::testing
