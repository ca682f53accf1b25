#include "shell/mdi_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QTimer>

#include "engine/bus_state.h"
#include "link/qt/qt_port_lister.h"
#include "link/qt/qt_serial_port.h"
#include "reports/report_images.h"
#include "runtime/qt/qt_runtime.h"
#include "shell/bus_frm.h"
#include "shell/config/settings.h"
#include "shell/qt_dialogs.h"
#include "shell/session.h"

namespace korvane::shell {

// The session and what it talks through, for the whole run of the application.
struct AppSession {
  AppSession(const std::filesystem::path& ini, QWidget* window)
      : dialogs(window), session(runtime, port, dialogs, ini, window) {
    runtime.setOnActivity([this] { session.coreRan(); });
    session.portLister = &lister;
    // The settings file is read at each opening: another program may have changed [Ports].
    port.setDeviceResolver([this](int number) {
      return link::deviceForPort(number, config::Lire_Ports(session.ini()), lister.ports());
    });
  }
  ~AppSession() { runtime.setOnActivity(nullptr); }

  runtime::QtRuntime runtime;
  link::QtPortLister lister;
  link::QtSerialPort port;
  QtDialogs dialogs;
  Session session;
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

  app_ = std::make_unique<AppSession>(config::configPath(applicationDir_), this);
  // The report's pictures are read once: a company that changes them restarts the tool. A
  // large background keeps the window system served while it is encoded.
  app_->session.reportImages =
      reports::Init_Images(app_->session.reportFolder(), [] { QCoreApplication::processEvents(); });
}

// The bus windows go before the session they show.
MdiMain::~MdiMain() {
  app_->runtime.shutdown();
  if (bus_) delete bus_->sub;
  for (auto& w : closing_)
    delete w.sub;
}

Session& MdiMain::session() {
  return app_->session;
}

BusFrm* MdiMain::busFrm() const {
  return bus_ ? bus_->frm : nullptr;
}

void MdiMain::sm_di_Click() {
  openBus(engine::kProductDI);
}

void MdiMain::sm_kapre_Click() {
  openBus(engine::kProductKapre);
}

// The application ends at once, whatever the engine is doing: every wait gives up.
void MdiMain::sm_quitter_Click() {
  app_->runtime.shutdown();
  QApplication::quit();
}

void MdiMain::closeEvent(QCloseEvent* event) {
  sm_quitter_Click();
  event->accept();
}

// The bus window reads the product when it opens: while it is open, choosing a product only
// brings it to the front. A window closed a moment ago may still be unwinding its last step
// on the engine; the new one opens once it has.
void MdiMain::openBus(const std::string& product) {
  if (bus_) {
    mdi_->setActiveSubWindow(bus_->sub);
    return;
  }
  if (!closing_.empty()) {
    productWaiting_ = product;
    return;
  }
  Session& session = app_->session;
  auto* frm = new BusFrm({session, product});
  // The window's menu and close box, and the engine at the end of a step, all come here.
  connect(frm, &BusFrm::unloadRequested, this, &MdiMain::unload);
  QMdiSubWindow* sub = mdi_->addSubWindow(frm);
  // Closing only hides it: it is deleted once nothing of it is on the stack.
  sub->setAttribute(Qt::WA_DeleteOnClose, false);
  sub->setWindowIcon(QIcon());
  sub->resize(frm->sizeHint() + QSize(16, 40));
  sub->show();
  frm->setFocus();
  bus_ = BusWindow{sub, frm};
}

// Also called again by the engine at the end of a step that was running when the window
// closed; the station's close happens once.
void MdiMain::unload() {
  Session& session = app_->session;
  session.closeBus();
  if (!bus_) return;
  if (bus_->sub) bus_->sub->hide();
  closing_.push_back(*bus_);
  bus_.reset();
  // Never from here: the close may come from the frame's own close box, still on the stack.
  QTimer::singleShot(0, this, &MdiMain::reapClosedWindows);
}

bool MdiMain::idle(const BusWindow& window) const {
  return app_->runtime.waitDepth() == 0 && app_->dialogs.open() == 0 &&
         !app_->session.station.engine.stepRunning() && !app_->session.station.closing() &&
         window.frm->openModals() == 0;
}

// A closed window is destroyed once nothing of it runs; until then, look again shortly.
void MdiMain::reapClosedWindows() {
  std::erase_if(closing_, [this](const BusWindow& w) {
    if (!idle(w)) return false;
    delete w.sub;
    return true;
  });
  if (!closing_.empty()) {
    QTimer::singleShot(20, this, &MdiMain::reapClosedWindows);
  } else if (!productWaiting_.empty()) {
    openBus(std::exchange(productWaiting_, {}));
  }
}

}  // namespace korvane::shell
