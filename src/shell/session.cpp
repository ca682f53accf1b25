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
      history_(std::make_unique<history::HistoryStore>(ini_.parent_path() / history::kHistoryFile)),
      lateRender_(std::make_unique<QTimer>()) {
  station.engine.onVisit = [this](const engine::Visit& visit) { keepVisit(visit); };
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
  showHistory();
  paramForm_->render();
  measuresForm_->render();
  reportForm_->render();
  ledForm_->render();
}

void Session::useHistoryFolder(const std::filesystem::path& folder) {
  history_ = std::make_unique<history::HistoryStore>(folder / history::kHistoryFile);
  historyRevision_ = -1;
  // Checked now; a file set aside as damaged is said once the windows are up. A file that
  // cannot be opened is said when a run cannot be written.
  std::string later;
  history_->open(later);
  QTimer::singleShot(0, lateRender_.get(), [this] { tell({}); });
}

// Within the engine's step: the history is written now, and a problem said after the step.
void Session::keepVisit(const engine::Visit& visit) {
  std::string problem;
  const auto run = history_->record(visit, problem);
  // A search empties the table of results; a run's results are its own.
  shownRun_ = visit.kind == engine::VisitKind::kAnalysis && run ? *run : 0;
  tell(std::move(problem));
}

reports::FollowUps Session::followUps() {
  const engine::BusState& s = station.state;
  std::vector<std::string> serials;
  for (int a = 1; a <= std::min<int>(s.Nb_Trouve, engine::kMaxAddresses); ++a) {
    if (engine::followsDetector(s.points[a].Adr_Serie)) serials.push_back(s.points[a].Adr_Serie);
  }
  if (serials.empty()) return {};
  std::string problem;
  // While a run goes on, the table shows none of the history's runs.
  reports::FollowUps found =
      history_->followUps(serials, s.Boucle_Mesures ? 0 : shownRun_, problem);
  tell(std::move(problem));
  return found;
}

// The parameter window's detector: its visits are read when it turns to another one or a run
// was written.
void Session::showHistory() {
  screens::ParamWindow& w = station.param;
  const engine::BusState& s = station.state;
  const engine::Point& point = s.points[s.Adr_Cde];
  const std::string& serial = point.Adr_Serie;
  const std::string shown = w.visible && engine::followsDetector(serial) ? serial : "";
  if (shown == w.history.serial && history_->revision() == historyRevision_) return;
  historyRevision_ = history_->revision();
  if (shown.empty()) {
    w.history = screens::HistoryPanel();
    return;
  }
  std::string problem;
  const std::vector<reports::PastVisit> visits = history_->visitsOf(shown, problem);
  reports::showHistory(w.history, shown, visits);
  // A detector without a chamber has none to show, unless it was one once (a serial read
  // wrong, a type changed).
  w.history.visible = point.Adr_Optique || !visits.empty();
  if (!problem.empty()) {
    w.history.due = "Historique indisponible";
    w.history.dueTip = problem;
  }
  tell({});
}

// Said between engine steps, with whatever the history has to say once (a damaged file moved
// aside).
void Session::tell(std::string problem) {
  std::vector<std::string> texts = history_->takeNotices();
  if (!problem.empty()) texts.push_back(std::move(problem));
  for (std::string& text : texts) {
    station.engine.afterStep([this, text = std::move(text)] {
      dialogs_.messageBox(text, "Historique", screens::Icon::kExclamation);
    });
  }
}

void Session::closeBus() {
  station.closeWindow();
  busFrm_ = nullptr;
  render();
}

}  // namespace korvane::shell
