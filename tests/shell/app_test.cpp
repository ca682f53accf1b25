// The application as it runs: the main window, a bus window on the Qt runtime and serial port,
// and korvane-loopsim at the other end of a real pseudo-terminal.
#include <gtest/gtest.h>

#include <QAction>
#include <QElapsedTimer>

#include "shell/address_grid.h"
#include "shell/param_form.h"
#include "support/application.h"

namespace korvane::shell::testing {
namespace {

using App = korvane::testing::Application;

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
