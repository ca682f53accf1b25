#include "shell/session.h"

#include <QTimer>

#include "shell/bus_frm.h"
#include "shell/measures_form.h"
#include "shell/param_form.h"

namespace korvane::shell {

namespace {
constexpr int kRenderMs = 50;
}

Session::Session(runtime::Runtime& runtime, link::SerialPort& port, screens::Dialogs& dialogs,
                 std::filesystem::path ini, QWidget* windowParent)
    : station(runtime, port, dialogs),
      port_(port),
      dialogs_(dialogs),
      ini_(std::move(ini)),
      paramForm_(std::make_unique<ParamForm>(station.param, station.paramControl, windowParent)),
      measuresForm_(
          std::make_unique<MeasuresForm>(station.measures, dialogs, station.engine, windowParent)),
      renderTimer_(std::make_unique<QTimer>()) {
  renderTimer_->setInterval(kRenderMs);
  QObject::connect(renderTimer_.get(), &QTimer::timeout, [this] { render(); });
}

// The windows go before the models they show.
Session::~Session() {
  renderTimer_.reset();
  paramForm_.reset();
  measuresForm_.reset();
}

// Without the bus window the engine stands still: only the user changes the other windows,
// and their handlers draw what they change.
void Session::setBusWindow(BusFrm* frm) {
  busFrm_ = frm;
  if (frm) {
    renderTimer_->start();
  } else {
    renderTimer_->stop();
  }
}

void Session::render() {
  if (busFrm_) busFrm_->render();
  paramForm_->render();
  measuresForm_->render();
}

// No step starts any more and the line is let go; a step still unwinding finds the port
// closed and ends at once.
void Session::closeBus() {
  station.Timer_Tache->setEnabled(false);
  if (port_.isOpen()) port_.close();
  setBusWindow(nullptr);
  render();
}

}  // namespace korvane::shell
