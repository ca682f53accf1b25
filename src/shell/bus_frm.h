#pragma once
// The bus window (`Bus_Frm`, "BUS AUTOCODAGE KORVANE"): the loop grid, the run control, the
// link look and the bus measures. It renders the engine's screen models and turns clicks,
// keys and menus into the run-control calls they stand for; it holds no bus logic.
//
// It is a view over the application's session (session.h): the engine, the point table and
// the parameter and measures windows outlive it. Each opening loads it afresh (grid, settings,
// port), as the tool always did.
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/bus_station.h"
#include "shell/port_dialog.h"
#include "shell/session.h"
#include "shell/view.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimer;

namespace korvane::shell {

class AddressGrid;
class MeasuresForm;
class ParamForm;

struct BusFrmSetup {
  Session& session;
  std::string product;  // "DI" or "KAPRE"
};

class BusFrm final : public QWidget {
  Q_OBJECT
 public:
  explicit BusFrm(BusFrmSetup setup, QWidget* parent = nullptr);
  ~BusFrm() override;

  engine::BusStation& station() { return session_.station; }
  AddressGrid* grid() const { return grid_; }
  ParamForm* paramForm() const;
  MeasuresForm* measuresForm() const;
  // "Listing": shows the report window.
  void menu_listing_Click();
  // "Commande LED": shows the LED sequencer window.
  void Cmd_LED_Click();

  // Copies the bus model onto the widgets (the session calls it with its other windows).
  void render();

  // The port menu's question. Returns the answer, or nothing for Cancel. Tests replace it.
  std::function<std::optional<PortAnswer>(const QString& current)> askPort;

  // Windows and modal boxes opened by this window that are still on the stack: it must not
  // be destroyed before they return.
  int openModals() const { return modals_; }

 signals:
  // The window asked to close (Fermeture), from its menu, its close box or the engine.
  void unloadRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void buildMenus();
  QWidget* buildControls();
  QWidget* buildStatus();
  QWidget* buildEmulator();
  void Serial_Com_Port_Mnu_Click();
  void askPortUntilValid();
  void typeMenuClicked(screens::MenuItem& entry);
  void About_Mnu_Click();

  Session& session_;
  AddressGrid* grid_ = nullptr;
  int modals_ = 0;

  ButtonView startBus_;
  ButtonView adrStatus_;
  QCheckBox* check2_ = nullptr;
  QCheckBox* check3_ = nullptr;
  QCheckBox* check4_ = nullptr;
  QCheckBox* check5_ = nullptr;
  QComboBox* combo1_ = nullptr;
  QGroupBox* phaseFrm_ = nullptr;
  QRadioButton* phase1_ = nullptr;
  QRadioButton* phase2_ = nullptr;
  std::vector<std::pair<QAction*, screens::MenuItem*>> typeEntries_;
  QGroupBox* emulFrm_ = nullptr;
  screens::Rgb emulColour_{1, 2, 3};
  LabelView connection_;
  LabelView version_;
  LabelView cc_;
  LabelView lent_;
  std::string emulTip_;
  std::string lentTip_;
  LabelView currentOperation_;
  LabelView curAdr_;
  LabelView label1_;
  LabelView tensionDep_;
  LabelView tensionRet_;
  LabelView courant_;
  Lamp* sendShp_ = nullptr;
  Lamp* receiveShp_ = nullptr;
};

}  // namespace korvane::shell
