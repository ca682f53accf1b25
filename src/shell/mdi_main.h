#pragma once
// The main window (`MDI_MAIN`, "PELVARO"): the product menu that opens the bus window sized
// for the product, and "Quitter".
//
// It creates the application's one session (session.h) on the Qt runtime and serial port, and
// keeps it to the end. The bus window is a view over it: closing it makes the waits in
// progress give up, stops the engine and closes the port; the window itself is destroyed only
// once nothing of it is left on the stack (a wait, a step, a modal box). "Quitter" ends
// everything at once.
#include <QMainWindow>
#include <QPointer>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QMdiArea;
class QMdiSubWindow;

namespace korvane::shell {

class BusFrm;
class Session;
struct AppSession;

class MdiMain final : public QMainWindow {
  Q_OBJECT
 public:
  explicit MdiMain(std::filesystem::path applicationDir, QWidget* parent = nullptr);
  ~MdiMain() override;

  // The product menu's entries.
  void sm_di_Click();
  void sm_kapre_Click();
  void sm_quitter_Click();

  Session& session();
  // The bus window open now, if any.
  BusFrm* busFrm() const;
  // Closed bus windows not yet destroyed because something of theirs still runs.
  int closingWindows() const { return static_cast<int>(closing_.size()); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  struct BusWindow {
    QPointer<QMdiSubWindow> sub;
    BusFrm* frm = nullptr;
  };

  void openBus(const std::string& product);
  void unload();
  void reapClosedWindows();
  bool idle(const BusWindow& window) const;

  std::filesystem::path applicationDir_;
  QMdiArea* mdi_;
  std::unique_ptr<AppSession> app_;
  std::optional<BusWindow> bus_;
  std::vector<BusWindow> closing_;
  std::string productWaiting_;  // chosen while a closed window was still unwinding
};

}  // namespace korvane::shell
