#include "shell/mdi_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QTimer>

#include "engine/bus_state.h"
#include "link/qt/qt_serial_port.h"
#include "runtime/qt/qt_runtime.h"
#include "shell/bus_frm.h"
#include "shell/config/settings.h"
#include "shell/qt_dialogs.h"

namespace korvane::shell {

// One opening of the bus window and everything it talks through.
class BusSession {
 public:
  BusSession(QMdiArea* mdi, const std::filesystem::path& ini, const std::string& product) {
    frm = new BusFrm({runtime, port, dialogs, ini, product});
    dialogs.setParent(frm);
    sub = mdi->addSubWindow(frm);
    sub->setWindowIcon(QIcon());
  }
  ~BusSession() {
    // The window (and its engine) goes before the runtime and port it uses.
    delete sub;
  }

  // Nothing of the session is running: it can go.
  bool idle() const {
    return runtime.waitDepth() == 0 && dialogs.open() == 0 &&
           (frm == nullptr || (frm->openModals() == 0 && !frm->station().engine.stepRunning()));
  }

  runtime::QtRuntime runtime;
  link::QtSerialPort port;
  QtDialogs dialogs;
  QPointer<QMdiSubWindow> sub;
  BusFrm* frm = nullptr;
  bool closing = false;
};

MdiMain::MdiMain(std::filesystem::path applicationDir, QWidget* parent)
    : QMainWindow(parent), applicationDir_(std::move(applicationDir)) {
  setObjectName(QStringLiteral("MDI_MAIN"));
  setWindowTitle(QStringLiteral("PELVARO"));
  mdi_ = new QMdiArea(this);
  mdi_->setBackground(QColor(128, 128, 128));
  setCentralWidget(mdi_);

  auto* quit = menuBar()->addMenu(QStringLiteral("Quitter"));
  quit->setObjectName(QStringLiteral("m_quitter"));
  QAction* smQuit = quit->addAction(QStringLiteral("Quitter"));
  smQuit->setObjectName(QStringLiteral("sm_quitter"));
  connect(smQuit, &QAction::triggered, this, &MdiMain::sm_quitter_Click);
  auto* product = menuBar()->addMenu(QStringLiteral("Produit"));
  product->setObjectName(QStringLiteral("Produit"));
  QAction* di = product->addAction(QStringLiteral("DI"));
  di->setObjectName(QStringLiteral("sm_di"));
  connect(di, &QAction::triggered, this, &MdiMain::sm_di_Click);
  QAction* kapre = product->addAction(QStringLiteral("KAPRE"));
  kapre->setObjectName(QStringLiteral("sm_kapre"));
  connect(kapre, &QAction::triggered, this, &MdiMain::sm_kapre_Click);
  QAction* vosk4 = product->addAction(QStringLiteral("VOSK4"));
  vosk4->setObjectName(QStringLiteral("sm_vosk4"));  // no product behind it yet
  resize(1160, 800);
}

MdiMain::~MdiMain() {
  if (session_) session_->runtime.shutdown();
  for (auto& s : closing_)
    s->runtime.shutdown();
}

BusFrm* MdiMain::busFrm() const {
  return session_ ? session_->frm : nullptr;
}

void MdiMain::sm_di_Click() {
  openBus(engine::kProductDI);
}

void MdiMain::sm_kapre_Click() {
  openBus(engine::kProductKapre);
}

// The application ends at once, whatever the engine is doing: every wait gives up.
void MdiMain::sm_quitter_Click() {
  if (session_) session_->runtime.shutdown();
  for (auto& s : closing_)
    s->runtime.shutdown();
  QApplication::quit();
}

void MdiMain::closeEvent(QCloseEvent* event) {
  sm_quitter_Click();
  event->accept();
}

// The bus window reads the product when it opens: while it is open, choosing a product only
// brings it to the front.
void MdiMain::openBus(const std::string& product) {
  if (session_) {
    mdi_->setActiveSubWindow(session_->sub);
    return;
  }
  session_ = std::make_unique<BusSession>(mdi_, config::configPath(applicationDir_), product);
  BusSession* session = session_.get();
  connect(session->frm, &BusFrm::unloadRequested, this, [this, session] { unload(session); });
  session->sub->resize(session->frm->sizeHint() + QSize(16, 40));
  session->sub->show();
  session->frm->setFocus();
}

void MdiMain::unload(BusSession* session) {
  if (!session_ || session_.get() != session || session->closing) return;
  session->closing = true;
  session->runtime.shutdown();
  if (session->sub) session->sub->hide();
  closing_.push_back(std::move(session_));
  reapClosedSessions();
}

// A closed session is destroyed once nothing of it runs; until then, look again shortly.
void MdiMain::reapClosedSessions() {
  std::erase_if(closing_, [](const std::unique_ptr<BusSession>& s) { return s->idle(); });
  if (!closing_.empty()) QTimer::singleShot(20, this, &MdiMain::reapClosedSessions);
}

}  // namespace korvane::shell
