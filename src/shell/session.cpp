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
  // The windows follow the engine also while it waits for the line.
  QObject::connect(renderTimer_.get(), &QTimer::timeout, [this] { render(); });
  renderTimer_->start(kRenderMs);
}

// The windows go before the models they show.
Session::~Session() {
  renderTimer_.reset();
  paramForm_.reset();
  measuresForm_.reset();
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
  busFrm_ = nullptr;
}

}  // namespace korvane::shell
