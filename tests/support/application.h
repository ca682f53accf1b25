#pragma once
// The application as it runs, for the tests that meet it whole: the main window (its session on
// the Qt runtime and serial port, its real message boxes) and korvane-loopsim at the other end
// of a real pseudo-terminal. Needs a QApplication (offscreen) and the shell library.
#include <stdlib.h>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "engine/bus_station.h"
#include "shell/bus_frm.h"
#include "shell/mdi_main.h"
#include "shell/session.h"
#include "support/loopsim_process.h"

namespace korvane::testing {

inline constexpr const char* kFivePoints = R"({"points": [
    {"code": 7}, {"code": 19}, {"code": 68}, {"code": 26, "mode": 1}, {"code": 23}]})";

struct Application {
  // `ini`: the settings file the tool finds beside it, if any. `simArgs` go to the simulator
  // before the loop file; the port it names on its first line is exported for the tool.
  explicit Application(const std::string& name, const std::string& ini = {},
                       const std::string& loop = kFivePoints,
                       std::vector<std::string> simArgs = {}) {
    dir = std::filesystem::temp_directory_path() / ("korvane_app_" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    if (!ini.empty()) std::ofstream(dir / "BUS-CONFIG.INI", std::ios::binary) << ini;
    std::ofstream(dir / "loop.json") << loop;
    for (std::string& arg : simArgs)  // "DIR/..." names a file in the test's folder
      if (arg.rfind("DIR/", 0) == 0) arg = (dir / arg.substr(4)).string();
    simArgs.push_back((dir / "loop.json").string());
    loopsim = std::make_unique<Loopsim>(simArgs);
    const std::string first = readFor(loopsim->out, 300, 5000, '\n');
    const std::size_t equals = std::min(first.find('='), first.size() - 1);
    ::setenv(first.substr(0, equals).c_str(),
             first.substr(equals + 1, first.size() - equals - 2).c_str(), 1);
    main = std::make_unique<shell::MdiMain>(dir);
    main->show();
    // The message boxes, answered with their default button as they come.
    answerer.callOnTimeout([this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      messages.push_back(box->windowTitle().toStdString() + ": " + box->text().toStdString());
      box->defaultButton() ? box->defaultButton()->click() : box->accept();
    });
    answerer.start(20);
  }

  // Opens the bus window for "DI" and waits for the box to answer.
  shell::BusFrm* openConnected(void (shell::MdiMain::*product)() = &shell::MdiMain::sm_di_Click) {
    (main.get()->*product)();
    // A window closed just before may still be unwinding: the new one comes when it has.
    if (!QTest::qWaitFor([&] { return main->busFrm() != nullptr; }, 5'000)) return nullptr;
    return connected(10'000) ? main->busFrm() : nullptr;
  }
  bool connected(int withinMs) {
    return QTest::qWaitFor([&] { return station().state.Bus_Connecte; }, withinMs);
  }

  engine::BusStation& station() { return main->session().station; }

  std::vector<std::string> messages;  // "title: text" of each message box shown

  std::filesystem::path dir;
  std::unique_ptr<Loopsim> loopsim;
  std::unique_ptr<shell::MdiMain> main;

  QTimer answerer;
};

}  // namespace korvane::testing
