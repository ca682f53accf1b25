#include "shell/session.h"

#include <QTimer>

#include "shell/bus_frm.h"
#include "shell/led_form.h"
#include "shell/measures_form.h"
#include "shell/param_form.h"
#include "shell/report_form.h"

namespace korvane::shell {

namespace {
// Ten pictures a second: the send and receive lights still blink with the line, and each
// picture costs a wake-up of the display, which is most of what an idle tool spends.
constexpr int kRenderMs = 100;
// After the core's last activity, what it wrote shows within this.
constexpr int kLateRenderMs = 150;
}  // namespace

Session::Session(runtime::Runtime& runtime, link::SerialPort& port, screens::Dialogs& dialogs,
                 std::filesystem::path ini, QWidget* windowParent)
    : station(runtime, port, dialogs),
      runtime_(runtime),
      dialogs_(dialogs),
      ini_(std::move(ini)),
      paramForm_(std::make_unique<ParamForm>(station.param, station.paramControl, windowParent)),
      measuresForm_(
          std::make_unique<MeasuresForm>(station.measures, dialogs, station.engine, windowParent)),
      reportForm_(std::make_unique<ReportForm>(*this, windowParent)),
      ledForm_(std::make_unique<LedForm>(*this, windowParent)),
      lateRender_(std::make_unique<QTimer>()) {
  lateRender_->setSingleShot(true);
  QObject::connect(lateRender_.get(), &QTimer::timeout, [this] { render(); });
  sinceRender_.start();
}

// The windows go before the models they show.
Session::~Session() {
  lateRender_.reset();
  paramForm_.reset();
  measuresForm_.reset();
  reportForm_.reset();
  ledForm_.reset();
}

// Drawing inside the core's own wake-ups costs no wake-up of its own; the late render only
// fires when the core went quiet with something not yet shown.
void Session::coreRan() {
  const qint64 since = sinceRender_.elapsed();
  if (since >= kRenderMs) {
    render();
  } else if (!lateRender_->isActive()) {
    lateRender_->start(static_cast<int>(kLateRenderMs - since));
  }
}

void Session::render() {
  lateRender_->stop();
  sinceRender_.restart();
  if (busFrm_) busFrm_->render();
  paramForm_->render();
  measuresForm_->render();
  reportForm_->render();
  ledForm_->render();
}

void Session::closeBus() {
  station.closeWindow();
  busFrm_ = nullptr;
  render();
}

}  // namespace korvane::shell
