// The bus window on the simulated box: what a technician sees and what the keys, boxes and
// check boxes do, offscreen.
#include "shell/bus_frm.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "engine/bus_state.h"
#include "qt_app.h"
#include "runtime/virtual_runtime.h"
#include "shell/address_grid.h"
#include "shell/measures_form.h"
#include "shell/param_form.h"
#include "shell/session.h"
#include "sim/loop_simulator.h"
#include "sim/simulated_port.h"

namespace korvane::shell::testing {
namespace {

using sim::loopOf;

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new QtApplication);

std::filesystem::path tempDir(const std::string& name) {
  auto dir = std::filesystem::temp_directory_path() / ("korvane_shell_" + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

// The bus window on the virtual clock and the simulated box.
struct Window {
  explicit Window(sim::Loop loop, const std::string& product = engine::kProductDI)
      : box(std::move(loop)),
        port(rt, box),
        dir(tempDir(::testing::UnitTest::GetInstance()->current_test_info()->name())),
        session(rt, port, dialogs, dir / "BUS-CONFIG.INI"),
        frm({session, product}) {
    frm.show();
    frm.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&frm));
  }
  engine::BusState& state() { return frm.station().state; }
  bool runUntil(const std::function<bool()>& done) {
    const bool ok = rt.runUntil(done, 600'000);
    session.render();
    return ok;
  }
  bool connected() {
    return runUntil([this] { return state().Bus_Connecte; });
  }
  bool searched() {
    return runUntil([this] { return !state().Bus_Occupe; });
  }

  runtime::VirtualRuntime rt;
  sim::LoopSimulator box;
  sim::SimulatedPort port;
  screens::RecordingDialogs dialogs;
  std::filesystem::path dir;
  Session session;
  BusFrm frm;
};

TEST(Grid, SerpentineRowsOfSixteen) {
  EXPECT_EQ(boxPlace(1).column, 0);
  EXPECT_EQ(boxPlace(16).column, 15);
  EXPECT_EQ(boxPlace(17).column, 15);  // the second row comes back from the right
  EXPECT_EQ(boxPlace(17).row, 1);
  EXPECT_EQ(boxPlace(32).column, 0);
  EXPECT_EQ(boxPlace(17).left, 2300 + 800 * 15);
  EXPECT_EQ(boxPlace(17).top, 400 + 700);

  screens::BusWindow model;
  AddressGrid di(model, 128);
  EXPECT_EQ(di.rows(), 8);
  EXPECT_EQ(di.box(17)->geometry().left(), px(2300 + 800 * 15));
  EXPECT_EQ(di.box(32)->geometry().left(), px(2300));
  AddressGrid kapre(model, 15);
  EXPECT_EQ(kapre.rows(), 1);
  EXPECT_EQ(kapre.box(15)->text(), QStringLiteral("015\n???"));
  EXPECT_EQ(kapre.box(16), nullptr);
}

TEST(BusWindow, F5SearchesTheLoopAndTheGridShowsIt) {
  Window w(loopOf({7, 19, 66}));
  ASSERT_TRUE(w.connected());
  EXPECT_EQ(w.frm.findChild<QLabel*>(QStringLiteral("Connection_Lbl"))->text(),
            QStringLiteral("Connecté "));
  QTest::keyClick(&w.frm, Qt::Key_F5);
  EXPECT_EQ(w.box.rearmCount(), 1);
  ASSERT_TRUE(w.searched());
  EXPECT_EQ(w.frm.grid()->box(1)->text(), QStringLiteral("001\nKEV11x"));
  EXPECT_EQ(w.frm.grid()->box(10)->text(), QStringLiteral("010\nMOLS-E8"));
  EXPECT_EQ(w.frm.grid()->box(11)->text(), QStringLiteral("011\n???"));
  EXPECT_EQ(w.frm.grid()->box(1)->palette().color(QPalette::Window), QColor(128, 128, 255));
  EXPECT_EQ(w.frm.findChild<QLabel*>(QStringLiteral("Cur_Adr_Lbl"))->text(),
            QStringLiteral(" 10 Adresses trouvées"));
  EXPECT_TRUE(w.frm.findChild<QPushButton*>(QStringLiteral("Adr_Status_Cde"))->isVisible());

  // With the search button hidden, F5 does nothing.
  w.frm.station().bus.Start_Bus_Cmd.visible = false;
  w.frm.render();
  QTest::keyClick(&w.frm, Qt::Key_F5);
  EXPECT_EQ(w.box.rearmCount(), 1);
}

TEST(BusWindow, AnalyseChambreChecksListingAndSearches) {
  Window w(loopOf({27}));
  ASSERT_TRUE(w.connected());
  auto* check3 = w.frm.findChild<QCheckBox*>(QStringLiteral("Check3"));
  QTest::mouseClick(check3, Qt::LeftButton);
  w.frm.render();
  EXPECT_TRUE(w.frm.findChild<QCheckBox*>(QStringLiteral("Check2"))->isChecked());
  EXPECT_EQ(w.box.rearmCount(), 1);
  EXPECT_EQ(w.frm.findChild<QPushButton*>(QStringLiteral("Adr_Status_Cde"))->text(),
            QStringLiteral("ANALYSE CHAMBRE   (F9)"));
}

TEST(BusWindow, AClickOnABoxOpensItsParametersButNotDuringASearch) {
  sim::Loop loop;
  loop.points.resize(20);
  Window w(loop);
  ASSERT_TRUE(w.connected());
  QTest::keyClick(&w.frm, Qt::Key_F5);
  ASSERT_TRUE(w.runUntil([&] { return w.state().Adr_Cour == 3; }));
  QTest::mouseClick(w.frm.grid()->box(2), Qt::LeftButton);
  w.frm.render();
  EXPECT_FALSE(w.frm.paramForm()->isVisible());

  ASSERT_TRUE(w.searched());
  QTest::mouseClick(w.frm.grid()->box(17), Qt::LeftButton);
  ASSERT_TRUE(w.runUntil([&] { return w.state().Etat_Demande == engine::kNone; }));
  ASSERT_TRUE(w.frm.paramForm()->isVisible());
  EXPECT_EQ(w.frm.paramForm()->findChild<QGroupBox*>(QStringLiteral("Status_Frame"))->title(),
            QStringLiteral("Position 017"));
  EXPECT_EQ(w.frm.paramForm()->findChild<QLabel*>(QStringLiteral("Value_Lbl_1"))->text(),
            QStringLiteral("KEV11x"));
}

// The port menu asks until it gets 1 to 16, Cancel included, then reopens the port and keeps
// the number in the settings file.
TEST(BusWindow, ThePortMenuAsksUntilItGetsAPortNumber) {
  Window w(loopOf({7}));
  ASSERT_TRUE(w.connected());
  std::vector<std::optional<QString>> answers = {QStringLiteral("20"), std::nullopt,
                                                 QStringLiteral("3")};
  std::vector<QString> defaults;
  w.frm.askPort = [&](const QString& current) {
    defaults.push_back(current);
    auto answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  };
  w.frm.findChild<QAction*>(QStringLiteral("Serial_Com_Port_Mnu"))->trigger();
  EXPECT_EQ(defaults, (std::vector<QString>{"1", "1", "1"}));
  ASSERT_EQ(w.dialogs.shown.size(), 3u);
  EXPECT_EQ(w.dialogs.shown[0].text, "Valeur entre 1 et 16 SVP...");
  EXPECT_EQ(w.dialogs.shown[0].title, "ERREUR");
  EXPECT_EQ(w.dialogs.shown[1].text, "Valeur entre 1 et 16 SVP...");
  // Port 3 does not exist on this machine: the tool says so.
  EXPECT_EQ(w.dialogs.shown[2].text, "Le port Com3 n'existe pas ou n'est pas libre !");
  EXPECT_EQ(w.frm.station().com.Port_Com, 3);
  std::ifstream ini(w.dir / "BUS-CONFIG.INI");
  const std::string text((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("COM=3"), std::string::npos);
}

TEST(MeasuresWindow, SavesTheLogWithItsExactBytes) {
  Window w(loopOf({}));
  screens::MeasuresWindow& model = w.frm.station().measures;
  model.List1.add("Détecteur : 1 / Mesure : 1 :> 5");
  const std::filesystem::path file = w.dir / "log.txt";
  w.frm.measuresForm()->askFileName = [&] { return QString::fromStdString(file.string()); };
  w.frm.measuresForm()->Command1_Click();
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes,
            "\r\nD\xE9tecteur : 1 / Mesure : 1 :> 5\r\n\r\n"
            "------------------------------------\r\nNb de points : 1\r\n");

  // Cancel writes nothing.
  std::filesystem::remove(file);
  w.frm.measuresForm()->askFileName = [] { return QString(); };
  w.frm.measuresForm()->Command1_Click();
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(w.dialogs.shown.empty());
}

// What assistive technology reads: every control by its role and text, each box with its
// caption and what its colour means.
TEST(Accessibility, ControlsAndBoxesAreReadableByTheirCaptions) {
  Window w(loopOf({7}));
  ASSERT_TRUE(w.connected());
  QTest::keyClick(&w.frm, Qt::Key_F5);
  ASSERT_TRUE(w.searched());
  ASSERT_TRUE(
      w.runUntil([&] { return w.frm.station().bus.Lbl_Courant_Bus.caption == "59.41 mA"; }));

  std::vector<std::tuple<QAccessible::Role, QString, QString>> seen;
  std::function<void(QAccessibleInterface*, int)> walk = [&](QAccessibleInterface* node,
                                                             int depth) {
    if (!node || depth > 12) return;
    if (!node->state().invisible) {
      seen.emplace_back(node->role(), node->text(QAccessible::Name),
                        node->text(QAccessible::Description));
    }
    for (int i = 0; i < node->childCount(); ++i)
      walk(node->child(i), depth + 1);
  };
  walk(QAccessible::queryAccessibleInterface(&w.frm), 0);
  auto has = [&](QAccessible::Role role, const QString& name) {
    return std::any_of(seen.begin(), seen.end(), [&](const auto& s) {
      return std::get<0>(s) == role && std::get<1>(s) == name;
    });
  };
  EXPECT_TRUE(has(QAccessible::Button, QStringLiteral("RECHERCHER ADRESSES (F5)")));
  EXPECT_TRUE(has(QAccessible::Button, QStringLiteral("ETAT DES ADRESSES (F9)")));
  EXPECT_TRUE(has(QAccessible::CheckBox, QStringLiteral("Analyse Chambre")));
  EXPECT_TRUE(has(QAccessible::RadioButton, QStringLiteral("Phase 1")));
  EXPECT_TRUE(has(QAccessible::StaticText, QStringLiteral("Connecté ")));
  EXPECT_TRUE(has(QAccessible::StaticText, QStringLiteral("59.41 mA")));
  EXPECT_TRUE(has(QAccessible::MenuItem, QStringLiteral("Utilitaires")));
  const auto box = std::find_if(seen.begin(), seen.end(), [](const auto& s) {
    return std::get<1>(s) == QStringLiteral("001 KEV11x");
  });
  ASSERT_NE(box, seen.end());
  EXPECT_EQ(std::get<2>(*box), QStringLiteral("trouvé"));
  EXPECT_TRUE(has(QAccessible::StaticText, QStringLiteral("128 ???")));
}

}  // namespace
}  // namespace korvane::shell::testing
