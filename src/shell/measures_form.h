#pragma once
// The measures window (`Frm_Mesures`, "Mesures"): the service log and its counters, and
// "Sauvegarder" to keep the log in a text file.
#include <QWidget>
#include <functional>

#include "screens/dialogs.h"
#include "screens/measures_window.h"
#include "shell/view.h"

class QListWidget;

namespace korvane::shell {

class MeasuresForm final : public QWidget {
  Q_OBJECT
 public:
  MeasuresForm(screens::MeasuresWindow& model, screens::Dialogs& dialogs, QWidget* parent);
  void render();
  void Command1_Click();

  // Asks where to save; an empty path is a cancel. Tests replace it.
  std::function<QString()> askFileName;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  screens::MeasuresWindow& model_;
  screens::Dialogs& dialogs_;
  QListWidget* list_;
  std::size_t shownLines_ = 0;
  std::uint64_t shownClears_ = 0;
  LabelView label1_;
  LabelView label2_;
  LabelView label3_;
};

}  // namespace korvane::shell
