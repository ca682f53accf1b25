// The application as it runs: the main window, a bus window on the Qt runtime and serial port,
// and korvane-loopsim at the other end of a real pseudo-terminal.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAction>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "engine/bus_station.h"
#include "shell/address_grid.h"
#include "shell/bus_frm.h"
#include "shell/mdi_main.h"
#include "shell/param_form.h"
#include "shell/session.h"
#include "support/loopsim_process.h"

namespace korvane::shell::testing {
namespace {

struct App {
  // `ini`: the settings file the tool finds beside it, if any.
  explicit App(const std::string& name, const std::string& ini = {}) {
    dir = std::filesystem::temp_directory_path() / ("korvane_app_" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    if (!ini.empty()) std::ofstream(dir / "BUS-CONFIG.INI", std::ios::binary) << ini;
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
  BusFrm* openConnected(void (MdiMain::*product)() = &MdiMain::sm_di_Click) {
    (main.get()->*product)();
    // A window closed just before may still be unwinding: the new one comes when it has.
    if (!QTest::qWaitFor([&] { return main->busFrm() != nullptr; }, 5'000)) return nullptr;
    BusFrm* frm = main->busFrm();
    const bool up = QTest::qWaitFor([&] { return frm->station().state.Bus_Connecte; }, 10'000);
    return up ? frm : nullptr;
  }

  engine::BusStation& station() { return main->session().station; }

  std::filesystem::path dir;
  std::unique_ptr<korvane::testing::Loopsim> loopsim;
  std::unique_ptr<MdiMain> main;
};

// What the technician found and measured belongs to the session, not to the bus window: it
// is still there when the window is opened again, over a grid that starts afresh.
TEST(Application, SearchesTheSimulatedLoopAndKeepsWhatItFoundAcrossAReopening) {
  App app("search", "[PARAMETRES]\r\ndebug2=OUI\r\n");
  BusFrm* frm = app.openConnected();
  ASSERT_NE(frm, nullptr);
  app.station().bus.Check2.checked = true;  // "Listing"
  app.station().control.Form_KeyDown(engine::kKeyF5);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !app.station().state.Bus_Occupe; }, 30'000));
  // The window follows the engine on its own.
  EXPECT_TRUE(QTest::qWaitFor([&] { return frm->grid()->box(6)->text() == "006\nGLIR"; }, 1'000));
  const std::vector<std::string> listing = app.station().report.List1.lines;
  const std::size_t logLines = app.station().measures.List1.lines.size();
  EXPECT_EQ(listing.size(), 6u);
  EXPECT_GT(logLines, 0u);  // debug2 traces every frame

  app.station().control.Adr_Box_Click(5);
  ASSERT_TRUE(QTest::qWaitFor([&] { return app.main->session().paramForm()->isVisible(); }, 5'000));
  frm->parentWidget()->close();  // the close box of its frame
  EXPECT_EQ(app.main->busFrm(), nullptr);
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return !app.main->session().paramForm()->isVisible(); }, 1'000));
  frm = app.openConnected();
  ASSERT_NE(frm, nullptr);
  const engine::BusStation& station = app.station();
  EXPECT_EQ(station.state.points[5].Adr_Categorie, "Optique ");
  EXPECT_EQ(station.report.List1.lines, listing);
  EXPECT_GE(station.measures.List1.lines.size(), logLines);
  EXPECT_EQ(station.state.Nb_Trouve, 0);
  EXPECT_EQ(frm->grid()->box(1)->text(), QStringLiteral("001\n???"));
}

// Closing the bus window while its search waits three seconds for the rearm gives the wait up
// at once and destroys nothing it uses: the window can be opened again. "Quitter" in such a
// wait ends the application at once. The KAPRE product opens with its fifteen boxes.
TEST(Application, LeavingDuringAWait) {
  App app("leave");
  BusFrm* frm = app.openConnected();
  ASSERT_NE(frm, nullptr);
  QTimer::singleShot(300, frm, [frm] { frm->close(); });
  QElapsedTimer clock;
  clock.start();
  app.station().control.Form_KeyDown(engine::kKeyF5);
  EXPECT_LT(clock.elapsed(), 1500);
  EXPECT_EQ(app.main->busFrm(), nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return app.main->closingWindows() == 0; }, 10'000));

  frm = app.openConnected(&MdiMain::sm_kapre_Click);  // one row of fifteen boxes
  ASSERT_NE(frm, nullptr);
  EXPECT_TRUE(frm->grid()->box(15) && !frm->grid()->box(16));
  QTimer::singleShot(300, app.main.get(), [&] {
    app.main->findChild<QAction*>(QStringLiteral("sm_quitter"))->trigger();
  });
  clock.restart();
  app.station().control.Form_KeyDown(engine::kKeyF5);
  EXPECT_LT(clock.elapsed(), 1500);
  app.main.reset();
}

}  // namespace
}  // namespace korvane::shell::testing
