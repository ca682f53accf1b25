#pragma once
// The measures window (`Frm_Mesures`, "Mesures"): the service log and its counters, and
// "Sauvegarder" to keep the log in a text file. One window for the whole run of the
// application: the log outlives the bus window.
#include <QWidget>
#include <filesystem>
#include <functional>
#include <optional>

#include "engine/bus_engine.h"
#include "screens/dialogs.h"
#include "screens/measures_window.h"
#include "shell/view.h"

class QListWidget;

namespace korvane::shell {

class MeasuresForm final : public QWidget {
  Q_OBJECT
 public:
  MeasuresForm(screens::MeasuresWindow& model, screens::Dialogs& dialogs, engine::BusEngine& engine,
               QWidget* parent);
  void render();
  // "Sauvegarder". Its dialogs open between engine steps: inside a frame's wait, a modal
  // dialog would keep the answer time-out running and fail the frame.
  void Command1_Click();

  // Asks where to save; an empty path is a cancel. Tests replace it.
  std::function<std::optional<std::filesystem::path>()> askFileName;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void save();

  screens::MeasuresWindow& model_;
  screens::Dialogs& dialogs_;
  engine::BusEngine& engine_;
  QListWidget* list_;
  std::size_t shownLines_ = 0;
  std::uint64_t shownClears_ = 0;
  LabelView label1_;
  LabelView label2_;
  LabelView label3_;
};

}  // namespace korvane::shell
