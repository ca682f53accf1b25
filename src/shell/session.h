#pragma once
// What the application works on from its start to its end: the engine with everything it
// writes (point table, engine variables, screen models, measures log, report listing) and the
// windows that live as long as it does (parameters, measures, report, LED sequencer). The bus
// window is opened and closed over it: closing it stops the engine and closes the port, and loses
// nothing measured.
//
//   Session        station, ini, dialogs, paramForm, measuresForm, reportForm, ledForm
//   reportImages   the report's pictures, made once when the application starts
//   reportFolder   where the report's template and pictures are: beside the settings file
//   setBusWindow   the bus window open now (or none): render() draws it with the others
//   render         copies the models onto every window of the session
//   coreRan        the core ran (a tick, a wait begins): render, at most every 100 ms, and
//                  once more shortly after the core goes quiet
//   closeBus       the bus window is gone: the station closes (engine stopped, LEDs out,
//                  port let go), and no window draws it any more
//   history        the visit history: every search's and run's records go there when they
//                  end, and the parameter window shows the past visits of its detector. Its
//                  file is beside the settings file unless useHistoryFolder moves it; what
//                  goes wrong with it is said in a box between engine steps, and never stops
//                  a run or a report
//   followUps      what the history says of the detectors found, for the reports
//
// The application builds it on the Qt runtime and serial port (mdi_main.cpp); the widget tests
// on the virtual clock and the simulated box.
#include <QElapsedTimer>
#include <filesystem>
#include <memory>

#include "engine/bus_station.h"
#include "history/history_store.h"
#include "link/port_map.h"
#include "reports/report_images.h"

class QTimer;
class QWidget;

namespace korvane::shell {

class BusFrm;
class LedForm;
class MeasuresForm;
class ParamForm;
class ReportForm;

class Session final {
 public:
  // `windowParent` (may be null) must outlive the session: the session's windows sit above it.
  Session(runtime::Runtime& runtime, link::SerialPort& port, screens::Dialogs& dialogs,
          std::filesystem::path ini, QWidget* windowParent = nullptr);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  engine::BusStation station;
  reports::ReportImages reportImages;
  // The serial ports present, for the port menu's list; none in the widget tests.
  const link::PortLister* portLister = nullptr;
  std::vector<link::PortInfo> presentPorts() const {
    return portLister ? portLister->ports() : std::vector<link::PortInfo>();
  }

  const std::filesystem::path& ini() const { return ini_; }
  std::filesystem::path reportFolder() const { return ini_.parent_path(); }
  runtime::Runtime& runtime() { return runtime_; }
  screens::Dialogs& dialogs() { return dialogs_; }
  ParamForm* paramForm() const { return paramForm_.get(); }
  MeasuresForm* measuresForm() const { return measuresForm_.get(); }
  ReportForm* reportForm() const { return reportForm_.get(); }
  LedForm* ledForm() const { return ledForm_.get(); }

  void setBusWindow(BusFrm* frm) { busFrm_ = frm; }
  BusFrm* busWindow() const { return busFrm_; }

  void render();
  void coreRan();
  void closeBus();

  void useHistoryFolder(const std::filesystem::path& folder);
  reports::FollowUps followUps();

 private:
  runtime::Runtime& runtime_;
  screens::Dialogs& dialogs_;
  std::filesystem::path ini_;
  std::unique_ptr<ParamForm> paramForm_;
  std::unique_ptr<MeasuresForm> measuresForm_;
  std::unique_ptr<ReportForm> reportForm_;
  std::unique_ptr<LedForm> ledForm_;
  BusFrm* busFrm_ = nullptr;
  std::unique_ptr<history::HistoryStore> history_;
  // The history's run whose results the point table shows: not a "previous" visit.
  std::int64_t shownRun_ = 0;
  // The history's revision the parameter window shows: read again when it or the detector
  // (the panel's serial) changes.
  int historyRevision_ = -1;
  void keepVisit(const engine::Visit& visit);
  void showHistory();
  void tell(std::string problem);
  std::unique_ptr<QTimer> lateRender_;
  QElapsedTimer sinceRender_;
};

}  // namespace korvane::shell
