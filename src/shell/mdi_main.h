#pragma once
// The main window (`MDI_MAIN`, "PELVARO"): the product menu that opens the bus window sized
// for the product, and "Quitter".
//
// Each opening of the bus window is a session with its own runtime, serial port and
// engine. Closing it shuts its runtime down, so that any wait in progress gives up, and the
// session is destroyed only once nothing of it is left on the stack: a wait, a step, a
// message box.
#include <QMainWindow>
#include <QPointer>
#include <filesystem>
#include <memory>
#include <string>

class QMdiArea;
class QMdiSubWindow;

namespace korvane::shell {

class BusFrm;
class BusSession;

class MdiMain final : public QMainWindow {
  Q_OBJECT
 public:
  explicit MdiMain(std::filesystem::path applicationDir, QWidget* parent = nullptr);
  ~MdiMain() override;

  // The product menu's entries.
  void sm_di_Click();
  void sm_kapre_Click();
  void sm_quitter_Click();

  // The bus window of the session open now, if any.
  BusFrm* busFrm() const;
  // Closed bus windows not yet destroyed because something of theirs still runs.
  int closingSessions() const { return static_cast<int>(closing_.size()); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void openBus(const std::string& product);
  void unload(BusSession* session);
  void reapClosedSessions();

  std::filesystem::path applicationDir_;
  QMdiArea* mdi_;
  std::unique_ptr<BusSession> session_;
  std::vector<std::unique_ptr<BusSession>> closing_;
};

}  // namespace korvane::shell
