#pragma once
// The LED sequencer window (`Frm_Commande_Led`, "Allumage automatique"): the fields the
// technician types, the options, the run button and the manual arrows. It renders the
// sequencer's model and hands every click to the sequencer; the run itself lives in the core.
// One window for the whole run of the application, opened from the bus window's "Commande LED".
#include <QWidget>
#include <array>
#include <vector>

#include "engine/led_sequencer.h"
#include "screens/led_window.h"
#include "shell/view.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QRadioButton;
class QPushButton;

namespace korvane::shell {

class Session;

class LedForm final : public QWidget {
  Q_OBJECT
 public:
  LedForm(Session& session, QWidget* parent);
  void render();

 protected:
  // The close box does what "FERMER" does.
  void closeEvent(QCloseEvent* event) override;

 private:
  QLabel* field(screens::TextBox& text, const char* name, const char* labelName,
                const char* caption, QGridLayout* grid, int row, int column);
  QCheckBox* checkBox(screens::CheckBox& box, const char* name,
                      void (engine::LedSequencer::*click)(), QWidget* frame);

  Session& session_;
  screens::LedWindow& model_;
  std::vector<std::pair<QLineEdit*, const screens::TextBox*>> fields_;
  std::vector<std::pair<QCheckBox*, const screens::CheckBox*>> boxes_;
  QRadioButton* option1_;
  QRadioButton* option2_;
  QLabel* label2_;
  QLabel* label3_;
  LabelView label5_;
  ButtonView command2_;
  std::array<QPushButton*, 2> arrows_{};
};

}  // namespace korvane::shell
