// Faults end to end: the application as it runs (main window, session, bus window on the Qt
// runtime and serial port, real message boxes, offscreen) against korvane-loopsim over its
// pseudo-terminal, told on its standard input to misbehave the way a site does: the USB
// adapter pulled out, a port missing or taken, line noise and silences, a chamber that never
// settles; and a report folder the tool may not write in.
#include <gtest/gtest.h>
#include <malloc.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QSerialPort>

#include "shell/measures_form.h"
#include "shell/report_form.h"
#include "support/application.h"
#include "support/ordinary_user.h"

namespace korvane::shell::testing {
namespace {

namespace fs = std::filesystem;
using App = korvane::testing::Application;

// KORVANE_LONG_FAULTS=1: a hundred replugs, then a chamber analysis that takes minutes.
const bool kLongRun = std::getenv("KORVANE_LONG_FAULTS") != nullptr;

const auto openDescriptors = [] {
  return std::distance(fs::directory_iterator("/proc/self/fd"), {});
};
const auto shown = [](QWidget* window, const char* label) {
  return window->findChild<QLabel*>(QString::fromLatin1(label))->text();
};

// A line that misbehaves never stops the tool. Noise and a box that misses frames end the
// search where they hit it: the tool is back in its idle cycle, every failed frame counted, and
// the next search finds the whole loop. The adapter pulled out and plugged back, first while a
// search waits for its rearm, then again and again: the tool comes back each time, and holds
// no more descriptors and no more memory.
TEST(Faults, ALineThatMisbehavesNeverStopsTheTool) {
  App app("line", "[PARAMETRES]\r\ndebug2=OUI\r\ntempo_bus=5\r\n", korvane::testing::kFivePoints,
          {"--link", "DIR/ttyUSB0"});
  BusFrm* frm = app.openConnected();
  ASSERT_NE(frm, nullptr);
  engine::BusState& state = app.station().state;
  int failures = 0;
  for (std::string fault : {"echo-errors 1", "mute 1", ""}) {
    app.station().control.Form_KeyDown(engine::kKeyF5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return state.Nb_Trouve >= 2 || fault.empty(); }, 10'000));
    failures += fault.empty() ? 0 : 1;
    EXPECT_EQ(fault.empty() ? "ok" : app.loopsim->command(fault), "ok");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !state.Bus_Occupe; }, 20'000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return state.Bus_Connecte && state.Etat_Bus != 4; }));
    EXPECT_TRUE(app.station().bus.Start_Bus_Cmd.visible);
    EXPECT_EQ(app.station().com.Nb_Erreur_Com, failures) << fault;
  }
  EXPECT_EQ(state.Nb_Trouve, 6);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return shown(app.main->session().measuresForm(), "Label3") == "NB ERREUR COM : 2"; }));

  // The link state in the engine and on the screen alike: the window draws a moment later.
  auto looks = [&](bool connected) {
    return QTest::qWaitFor([&] {
      return state.Bus_Connecte == connected &&
             shown(frm, "Connection_Lbl") == (connected ? "Connecté " : "Deconnecté");
    });
  };
  auto replug = [&] { return app.loopsim->command("plug").rfind("ok", 0) == 0 && looks(true); };
  auto cycle = [&] { return app.loopsim->command("unplug") == "ok" && looks(false) && replug(); };
  // F5 returns once the rearm has failed.
  QTimer::singleShot(500, [&] { app.loopsim->command("unplug"); });
  app.station().control.Form_KeyDown(engine::kKeyF5);
  EXPECT_EQ(state.Nb_Trouve, 0);
  ASSERT_TRUE(looks(false) && replug());  // it also allocates what every later one reuses
  const long descriptors = openDescriptors();
  const long heap = static_cast<long>(mallinfo2().uordblks);
  for (int i = 1; i <= (kLongRun ? 100 : 3); ++i)
    ASSERT_TRUE(cycle()) << "cycle " << i;
  EXPECT_EQ(openDescriptors(), descriptors);
  EXPECT_LT(static_cast<long>(mallinfo2().uordblks) - heap, 256 * 1024);
  EXPECT_TRUE(app.messages.empty());
  if (!kLongRun) return;
  // A chamber that answers "not ready" (5) for ever is read until the table of readings is
  // full, then left without a verdict, and the run says it is done: minutes of readings.
  EXPECT_EQ(app.loopsim->command("chamber 1 5"), "ok");
  app.station().bus.Check3.checked = true;  // "Analyse Chambre": searches again
  app.station().control.Check3_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return state.Nb_Trouve == 6 && !state.Bus_Occupe; }, 20'000));
  app.station().control.Form_KeyDown(engine::kKeyF9);
  const std::string& operation = app.station().bus.Current_Operation_Lbl.caption;
  EXPECT_TRUE(QTest::qWaitFor([&] { return operation == "Analyse chambre Terminée."; }, 600'000));
  EXPECT_EQ(state.points[1].Nb_Mesures, engine::kMaxChamberReadings);
  EXPECT_EQ(app.station().bus.Etat_Chambre[1].caption, "???");
}

// A port that is not there, or that another program holds, is said once; the port menu then
// reaches the box on another port.
// Each reason is said with what to do, and the port menu still works after it.
TEST(Faults, APortMissingBusyOrRefusedAtStartIsSaidThenAnotherPortConnects) {
  const std::string head = "Erreur Port Com: Le port Com1 n'existe pas ou n'est pas libre !\n\n";
  for (const auto& [reason, says] :
       {std::pair<std::string, std::string>{"missing", "Le périphérique "},
        {"busy", " est déjà utilisé par un autre programme"},
        {"denied", "Accès refusé à "}}) {
    SCOPED_TRACE(reason);
    App app(reason, "[PORTCOM]\r\nCOM=1\r\n", korvane::testing::kFivePoints,
            {"--com", "2", "--link", "DIR/ttyUSB1"});
    const std::string port1 = (app.dir / "ttyUSB0").string();
    korvane::testing::Loopsim other({"--link", port1, korvane::testing::kLoops + "/empty.json"});
    ASSERT_FALSE(korvane::testing::readFor(other.out, 300, 5000, '\n').empty());
    QSerialPort holder(QString::fromStdString(port1));
    if (reason == "missing") {
      ASSERT_EQ(other.command("unplug"), "ok");
    }
    if (reason == "busy") {
      ASSERT_TRUE(holder.open(QIODevice::ReadWrite));
    }
    const fs::perms mode = fs::status(port1).permissions();
    if (reason == "denied") fs::permissions(port1, fs::perms::none);
    ::setenv("KORVANE_COM1", port1.c_str(), 1);

    {
      korvane::testing::AsOrdinaryUser user;
      app.main->sm_di_Click();  // returns once the message is answered
    }
    if (reason == "denied") fs::permissions(port1, mode);
    ASSERT_FALSE(app.messages.empty());
    EXPECT_TRUE(app.messages[0].starts_with(head)) << app.messages[0];
    EXPECT_NE(app.messages[0].find(says), std::string::npos) << app.messages[0];
    app.messages.erase(app.messages.begin());
    BusFrm* frm = app.main->busFrm();
    QStringList answers = {QStringLiteral("20"), QStringLiteral("2")};  // asked until 1..16
    frm->askPort = [&](const QString&) {
      return std::optional<PortAnswer>({answers.takeFirst(), std::nullopt});
    };
    frm->findChild<QAction*>(QStringLiteral("Serial_Com_Port_Mnu"))->trigger();
    EXPECT_TRUE(app.connected(10'000));
    EXPECT_EQ(app.messages, (std::vector<std::string>{"ERREUR: Valeur entre 1 et 16 SVP..."}));
    std::ifstream ini(app.dir / "BUS-CONFIG.INI");
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(ini), {}).find("COM=2"),
              std::string::npos);
  }
}

// Installed from the package, nothing sets KORVANE_COM1: the settings file names the device.
// A port picked from the list is remembered under its number.
TEST(Faults, ThePortsOfTheSettingsFileNeedNoVariable) {
  const fs::path link = fs::temp_directory_path() / "korvane_app_ports" / "ttyUSB1";
  App app("ports", "[PORTCOM]\r\nCOM=1\r\n[Ports]\r\nCOM1=" + link.string() + "\r\n",
          korvane::testing::kFivePoints, {"--com", "2", "--link", "DIR/ttyUSB1"});
  ::unsetenv("KORVANE_COM1");
  ASSERT_NE(app.openConnected(), nullptr);

  BusFrm* frm = app.main->busFrm();
  frm->askPort = [&](const QString&) {
    return std::optional<PortAnswer>(
        {QStringLiteral("4"), link::PortInfo{"/dev/ttyKORVANE9", "", "", "", "", false}});
  };
  frm->findChild<QAction*>(QStringLiteral("Serial_Com_Port_Mnu"))->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return app.station().com.Port_Com == 4; }, 5000));
  std::ifstream ini(app.dir / "BUS-CONFIG.INI");
  const std::string text(std::istreambuf_iterator<char>(ini), {});
  EXPECT_NE(text.find("COM4=/dev/ttyKORVANE9"), std::string::npos) << text;
  EXPECT_NE(text.find("COM=4"), std::string::npos) << text;
}

TEST(Faults, AReadOnlyReportFolderIsSaidAndNothingIsLost) {
  App app("readonly");
  const fs::path folder = app.dir / "reports";
  fs::create_directories(folder);
  std::ofstream(folder / "site.txt") << "last year's report";
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  ASSERT_NE(app.openConnected(), nullptr);
  ReportForm* form = app.main->session().reportForm();
  auto* company = form->findChild<QLineEdit*>(QStringLiteral("Text2"));
  company->setText(QStringLiteral("Dupont & Fils"));
  // A new report there cannot be made (the report that exists could be written in place).
  form->askFile = [&](const reports::FileKind&) { return folder / "nouveau"; };
  {
    korvane::testing::AsOrdinaryUser user;  // this thread writes the reports
    form->findChild<QPushButton*>(QStringLiteral("Command2"))->click();  // "Sauvegarder"
  }
  EXPECT_EQ(app.messages, std::vector<std::string>{"Listing: Impossible d'enregistrer le fichier " +
                                                   (folder / "nouveau.txt").string() + "."});
  std::ifstream old(folder / "site.txt");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "last year's report");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1);
  EXPECT_EQ(company->text(), "Dupont & Fils");
  fs::permissions(folder, fs::perms::owner_all);
}

}  // namespace
}  // namespace korvane::shell::testing
