// The bus window on the simulated box: what a technician sees and what the keys, boxes and
// check boxes do, offscreen.
#include "shell/bus_frm.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "engine/bus_state.h"
#include "qt_app.h"
#include "runtime/virtual_runtime.h"
#include "shell/address_grid.h"
#include "shell/led_form.h"
#include "shell/measures_form.h"
#include "shell/param_form.h"
#include "shell/report_form.h"
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

// A screen reader's use of a control: "Press" on a button, "Toggle" on a check box or an
// option.
void pressOrToggle(QWidget* control) {
  ASSERT_NE(control, nullptr);
  auto* button = qobject_cast<QAbstractButton*>(control);
  const QString action = button && button->isCheckable()
                             ? QAccessibleActionInterface::toggleAction()
                             : QAccessibleActionInterface::pressAction();
  QAccessibleInterface* node = QAccessible::queryAccessibleInterface(control);
  ASSERT_TRUE(node && node->actionInterface());
  ASSERT_TRUE(node->actionInterface()->actionNames().contains(action))
      << control->objectName().toStdString();
  node->actionInterface()->doAction(action);
  // The animated click holds the button down until its clicked() has run.
  if (button) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return !button->isDown(); }, 5000));
  }
}

// The mouse on a control: on its left edge, where a check box has its square.
void click(QWidget* control) {
  ASSERT_NE(control, nullptr);
  QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(6, control->height() / 2));
}

enum Way { kMouse, kScreenReader };

// Opens the point's parameter window from its box and waits for the reading to end.
void openPoint(Window& w, int address, Way way = kMouse) {
  if (way == kMouse) {
    click(w.frm.grid()->box(address));
  } else {
    pressOrToggle(w.frm.grid()->box(address));
  }
  const std::string position =
      QStringLiteral("%1").arg(address, 3, 10, QLatin1Char('0')).toStdString();
  ASSERT_TRUE(w.runUntil([&] {
    return w.state().Etat_Demande == engine::kNone &&
           w.state().Etat_Bus != engine::kReadParameters &&
           w.frm.station().param.Value_Lbl[0].caption == position;
  }));
  ASSERT_TRUE(w.frm.paramForm()->isVisible());
}

// Each control, pressed or toggled by a screen reader on a fresh window, must do what a click
// does: reach `done`. Every button, box and option shown is also read by its caption.
struct Use {
  const char* control;
  std::function<bool(Window&)> done;
  std::function<void(Window&)> before = [](Window&) {};
};
void expectScreenReaderDoesWhatAClickDoes(const std::vector<std::uint8_t>& codes,
                                          const std::function<QWidget*(Window&)>& open,
                                          const std::vector<Use>& uses) {
  for (const Use& use : uses) {
    SCOPED_TRACE(use.control);
    Window w(loopOf(codes));
    ASSERT_TRUE(w.connected());
    QWidget* window = open(w);
    ASSERT_NE(window, nullptr);
    use.before(w);
    ASSERT_FALSE(use.done(w));
    pressOrToggle(window->findChild<QAbstractButton*>(QString::fromLatin1(use.control)));
    // Some requests wait for the end of the engine's step.
    EXPECT_TRUE(w.runUntil([&] { return use.done(w); }));
    for (auto* button : window->findChildren<QAbstractButton*>()) {
      if (!button->isVisible()) continue;
      EXPECT_EQ(QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name),
                QString(button->text()).remove(QLatin1Char('&')));
    }
  }
}

TEST(BusWindow, F5SearchesTheLoopAndTheGridShowsIt) {
  Window w(loopOf({7, 19, 66}));
  ASSERT_TRUE(w.connected());
  QTest::keyClick(&w.frm, Qt::Key_F5);
  EXPECT_EQ(w.box.rearmCount(), 1);
  ASSERT_TRUE(w.searched());
  // A screen reader reads a box as a button, by its caption and what its colour means.
  QAccessibleInterface* box1 = QAccessible::queryAccessibleInterface(w.frm.grid()->box(1));
  EXPECT_EQ(box1->role(), QAccessible::Button);
  EXPECT_EQ(box1->text(QAccessible::Name), QStringLiteral("001 KEV11x"));
  EXPECT_EQ(box1->text(QAccessible::Description), QStringLiteral("trouvé"));
}

// A click on a box opens its point's parameters (not during a search: the engine's tests). The
// LED buttons appear wherever the point's type or the settings say so, in the narrow window too.
TEST(BusWindow, AClickOnABoxOpensItsParameters) {
  Window w(loopOf({33, 42, 70, 7}));
  ASSERT_TRUE(w.connected());
  QTest::keyClick(&w.frm, Qt::Key_F5);
  ASSERT_TRUE(w.searched());

  const struct {
    int address;
    bool affLed;
    const char* type;
    bool leds;
  } rows[] = {{1, false, "PRADE-112", true},
              {2, false, "TU-OX", true},
              {3, false, "KAPRE", false},
              {3, true, "KAPRE", true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.type);
    w.state().Aff_Led = row.affLed;
    openPoint(w, row.address);
    ParamForm* form = w.frm.paramForm();
    EXPECT_EQ(form->findChild<QLabel*>(QStringLiteral("Value_Lbl_1"))->text(),
              QString::fromLatin1(row.type));
    EXPECT_EQ(form->findChild<QPushButton*>(QStringLiteral("Led_On_Cde"))->isVisible(), row.leds);
    EXPECT_EQ(form->findChild<QPushButton*>(QStringLiteral("Led_Off_Cde"))->isVisible(), row.leds);
  }
}

// "Sauvegarder" pressed while a frame of a search waits for its answer: the file dialog opens
// between steps (what a dialog that stays open then does to the line is the engine's tests').
TEST(MeasuresWindow, SavesTheLogWithoutFailingAFrame) {
  Window w(loopOf({7, 19, 7, 19, 7}));
  ASSERT_TRUE(w.connected());
  w.frm.station().measures.List1.add("Détecteur : 1 / Mesure : 1 :> 5");
  const std::filesystem::path file = w.dir / "log.txt";
  auto* save = w.frm.measuresForm()->findChild<QPushButton*>(QStringLiteral("Command1"));
  bool pressed = false;
  bool askedInsideAStep = false;
  w.frm.measuresForm()->askFileName = [&] {
    askedInsideAStep = w.frm.station().engine.stepRunning();
    return std::optional<std::filesystem::path>(file);
  };
  QTest::keyClick(&w.frm, Qt::Key_F5);
  w.box.setLogger([&](const std::string&) {
    if (pressed || !w.frm.station().engine.stepRunning() || w.state().Nb_Trouve < 2) return;
    pressed = true;
    save->click();
  });
  ASSERT_TRUE(w.searched());
  EXPECT_TRUE(pressed);
  EXPECT_FALSE(askedInsideAStep);
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(w.frm.station().com.Nb_Erreur_Com, 0);
}

// "Listing", then what the technician types, saved by a screen reader's press (the report
// writers themselves are proven in the core's tests).
TEST(ReportWindow, TheTypedFieldsReachTheReport) {
  Window w(loopOf({7}));
  ASSERT_TRUE(w.connected());
  w.frm.findChild<QAction*>(QStringLiteral("menu_listing"))->trigger();
  ReportForm* form = w.session.reportForm();
  ASSERT_TRUE(form->isVisible());
  QTest::keyClicks(form->findChild<QLineEdit*>(QStringLiteral("Text2")), "Dupont & Fils");
  // An accent pasted as a mark of its own reaches the report on its letter.
  form->findChild<QLineEdit*>(QStringLiteral("Text3"))->setText(QString::fromUtf8("Cafe\u0301"));
  auto* address = form->findChild<QPlainTextEdit*>(QStringLiteral("Text4"));
  EXPECT_EQ(QAccessible::queryAccessibleInterface(address)->text(QAccessible::Name), "Adresse");
  QTest::keyClicks(address, "1 rue A");
  QTest::keyClick(address, Qt::Key_Return);
  QTest::keyClicks(address, "Lyon");
  form->askFile = [&](const reports::FileKind&) -> std::optional<std::filesystem::path> {
    return w.dir / "r.txt";
  };
  pressOrToggle(form->findChild<QPushButton*>(QStringLiteral("Command2")));
  ASSERT_TRUE(w.runUntil([&] { return std::filesystem::exists(w.dir / "r.txt"); }));
  std::ifstream in(w.dir / "r.txt", std::ios::binary);
  EXPECT_NE(std::string(std::istreambuf_iterator<char>(in), {})
                .find("Dupont & Fils\r\nSite : Caf\xE9\r\nAdresse : 1 rue A\r\nLyon\r\n"),
            std::string::npos);
}

// "Imprimer" after a chamber analysis, the print dialog answered with a PDF file: the customer's
// report, its table and verdicts, as a PDF reader finds them.
TEST(ReportWindow, PrintsTheCustomerReportToAPdf) {
  Window w(loopOf({7, 27}));
  ASSERT_TRUE(w.connected());
  pressOrToggle(w.frm.findChild<QAbstractButton*>(QStringLiteral("Check3")));
  ASSERT_TRUE(w.searched());
  QTest::keyClick(&w.frm, Qt::Key_F9);
  ASSERT_TRUE(w.runUntil([&] {
    return w.frm.station().bus.Current_Operation_Lbl.caption == "Analyse chambre Terminée.";
  }));
  const auto examples = std::filesystem::path(KORVANE_LOOPS_DIR).parent_path() / "report";
  std::filesystem::copy_file(examples / "para3.fin", w.dir / "para3.fin");
  w.session.reportImages = reports::Init_Images(examples);
  w.frm.findChild<QAction*>(QStringLiteral("menu_listing"))->trigger();
  ReportForm* form = w.session.reportForm();
  QTest::keyClicks(form->findChild<QLineEdit*>(QStringLiteral("Text2")), "Dupont & Fils");
  const std::filesystem::path pdf = w.dir / "rapport.pdf";
  form->askPrinter = [&] {
    EXPECT_FALSE(w.frm.station().engine.stepRunning());
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QString::fromStdString(pdf.string()));
    return printer;
  };
  auto* print = form->findChild<QPushButton*>(QStringLiteral("Command1"));
  EXPECT_EQ(QAccessible::queryAccessibleInterface(print)->text(QAccessible::Name), "Imprimer");
  pressOrToggle(print);
  ASSERT_TRUE(w.runUntil([&] { return std::filesystem::exists(pdf); }));

  QProcess pdftotext;
  pdftotext.start(QStringLiteral("pdftotext"), {QString::fromStdString(pdf.string()), "-"});
  ASSERT_TRUE(pdftotext.waitForFinished() && pdftotext.exitCode() == 0)
      << "pdftotext could not read the printed report (scripts/setup installs poppler-utils): "
      << pdftotext.errorString().toStdString();
  // Words as a reader finds them, whatever the lines the layout broke them into.
  const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput()).simplified();
  for (const char* expected :
       {"Dupont & Fils", "Rapport de maintenance", "KEV112A", "Détecteur OK"})
    EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n"
                                                            << text.toStdString();
}

// Two analyses half a year apart: the parameter window shows both visits and the date the
// detector's trend reaches 70 %, and the spreadsheet table the previous visit's percentage.
TEST(VisitHistory, ASecondVisitShowsTheTrendInTheWindowAndTheTable) {
  sim::Loop loop = loopOf({27});
  loop.points[0].chamber = {50};  // 10 %
  Window w(std::move(loop));
  ASSERT_TRUE(w.connected());
  pressOrToggle(w.frm.findChild<QAbstractButton*>(QStringLiteral("Check3")));
  ASSERT_TRUE(w.searched());
  auto analyse = [&] {
    QTest::keyClick(&w.frm, Qt::Key_F9);
    ASSERT_TRUE(w.runUntil([&] {
      return w.frm.station().bus.Current_Operation_Lbl.caption == "Analyse chambre Terminée.";
    }));
    QTest::keyClick(&w.frm, Qt::Key_F9);
    ASSERT_TRUE(w.runUntil([&] { return !w.state().Boucle_Mesures; }));
  };
  analyse();
  w.rt.turnDays(182);
  w.box.setChamber(0, {80});  // 40 %
  analyse();
  EXPECT_TRUE(w.dialogs.shown.empty());
  EXPECT_TRUE(std::filesystem::exists(w.dir / "korvane-historique.sqlite"));

  openPoint(w, 1);
  ParamForm* form = w.frm.paramForm();
  auto* table = form->findChild<QTableWidget*>(QStringLiteral("Historique_Table"));
  ASSERT_TRUE(table && table->isVisible());
  ASSERT_EQ(table->rowCount(), 2);
  EXPECT_EQ(table->item(0, 0)->text(), "06/06/2027");
  EXPECT_EQ(table->item(0, 1)->text(), "40");
  EXPECT_EQ(table->item(1, 1)->text(), "10");
  // 30 % in 182 days: 70 % 182 days after the second visit.
  const auto* due = form->findChild<QLabel*>(QStringLiteral("Prochaine_Echeance"));
  EXPECT_EQ(due->text(), "Prochaine échéance : 05/12/2027");
  EXPECT_TRUE(due->toolTip().contains("moindres carrés"));

  w.frm.findChild<QAction*>(QStringLiteral("menu_listing"))->trigger();
  ReportForm* report = w.session.reportForm();
  report->askFile = [&](const reports::FileKind&) { return std::optional(w.dir / "boucle.csv"); };
  pressOrToggle(report->findChild<QPushButton*>(QStringLiteral("Command4")));
  ASSERT_TRUE(w.runUntil([&] { return std::filesystem::exists(w.dir / "boucle.csv"); }));
  std::ifstream csv(w.dir / "boucle.csv", std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(csv), {}};
  EXPECT_NE(text.find(";40,0;Remplacement à prévoir;10,0;05/12/2027\r\n"), std::string::npos)
      << text;
}

// "Commande LED" after a search, driven by a screen reader: by hand, the arrows step round the
// points found and leave exactly one LED lit.
TEST(LedWindow, ManualSteppingLeavesOneLedLit) {
  Window w(loopOf({7, 7, 7}));
  ASSERT_TRUE(w.connected());
  QTest::keyClick(&w.frm, Qt::Key_F5);
  ASSERT_TRUE(w.searched());
  w.frm.findChild<QAction*>(QStringLiteral("Cmd_LED"))->trigger();
  LedForm* form = w.session.ledForm();
  ASSERT_TRUE(form->isVisible());
  auto* first = form->findChild<QLineEdit*>(QStringLiteral("Text5"));
  EXPECT_EQ(QAccessible::queryAccessibleInterface(first)->text(QAccessible::Name), "Début");
  EXPECT_EQ(first->text(), "1");
  EXPECT_EQ(form->findChild<QLineEdit*>(QStringLiteral("Text7"))->text(), "3");
  auto control = [&](const char* name) {
    return form->findChild<QAbstractButton*>(QString::fromLatin1(name));
  };
  pressOrToggle(control("Check2"));  // "Automatique" off
  EXPECT_TRUE(control("CMD_AR_0")->isEnabled() && control("CMD_AR_1")->isEnabled());
  pressOrToggle(control("Command2"));
  ASSERT_TRUE(w.runUntil([&] { return w.box.ledOn(0); }));
  for (const char* arrow : {"CMD_AR_1", "CMD_AR_1", "CMD_AR_0"})
    pressOrToggle(control(arrow));
  EXPECT_TRUE(w.runUntil([&] { return !w.box.ledOn(0) && w.box.ledOn(1) && !w.box.ledOn(2); }));
  EXPECT_EQ(QAccessible::queryAccessibleInterface(control("CMD_AR_1"))->text(QAccessible::Name),
            "Voyant suivant");
  pressOrToggle(control("Command1"));
  EXPECT_FALSE(form->isVisible());
}

TEST(Accessibility, BusWindowControlsDoWhatClicksDo) {
  auto bus = [](Window& w) -> screens::BusWindow& { return w.frm.station().bus; };
  expectScreenReaderDoesWhatAClickDoes(
      {7}, [](Window& w) -> QWidget* { return &w.frm; },
      {
          // "Analyse Chambre" also ticks "Listing" and searches.
          {"Check3",
           [&](Window& w) {
             return bus(w).Check2.checked && w.box.rearmCount() == 1 &&
                    bus(w).Adr_Status_Cde.caption == "ANALYSE CHAMBRE   (F9)";
           }},
          {"Check2", [&](Window& w) { return bus(w).Check2.checked; }},
          {"Phase_Option_2", [&](Window& w) { return w.state().Protocole == 2; },
           [&](Window& w) {
             bus(w).Phase_Frm.visible = true;
             w.frm.render();
           }},
          {"Start_Bus_Cmd", [](Window& w) { return w.state().Bus_Occupe; }},
          {"Adr_Status_Cde", [](Window& w) { return w.state().Boucle_Mesures; },
           [](Window& w) {
             QTest::keyClick(&w.frm, Qt::Key_F5);
             ASSERT_TRUE(w.searched());
           }},
      });

  // Showing the engine's choice is not a click: it starts nothing.
  Window w(loopOf({7}));
  ASSERT_TRUE(w.connected());
  bus(w).Check3.checked = true;
  bus(w).Phase_Option[1].selected = false;
  bus(w).Phase_Option[2].selected = true;
  w.frm.render();
  EXPECT_EQ(w.box.rearmCount(), 0);
  EXPECT_EQ(w.state().Protocole, 1);
}

// The parameter window of a multi-sensor detector, opened from its box: its sensor boxes and
// buttons all send something to the point.
TEST(Accessibility, ParamWindowControlsDoWhatClicksDo) {
  auto param = [](Window& w) -> screens::ParamWindow& { return w.frm.station().param; };
  expectScreenReaderDoesWhatAClickDoes(
      {sim::kCodeMultiSensor},
      [](Window& w) -> QWidget* {
        QTest::keyClick(&w.frm, Qt::Key_F5);
        if (!w.searched()) return nullptr;
        openPoint(w, 1, kScreenReader);
        return w.frm.paramForm();
      },
      {
          {"Led_On_Cde", [](Window& w) { return w.box.ledOn(0); }},
          {"Opto_Check", [](Window& w) { return w.box.mode(0) == 2; }},    // optical off
          {"Thermo_Check", [](Window& w) { return w.box.mode(0) == 1; }},  // heat off
          {"Command1", [&](Window& w) { return param(w).P_Chambre.visible; }},
          {"Check1", [&](Window& w) { return param(w).HScroll1.visible; }},
          {"Close_Cmd", [&](Window& w) { return !param(w).visible; }},
      });
}

}  // namespace
}  // namespace korvane::shell::testing
