#pragma once
// The parameter window (`Frm_Parametres`, "Paramètres"): renders the parameter model the
// engine fills, and turns its buttons and boxes into requests.
#include <QWidget>
#include <array>
#include <optional>
#include <string>

#include "engine/param_control.h"
#include "screens/param_window.h"
#include "shell/view.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QScrollBar;

namespace korvane::shell {

// The chamber panel of the baseline acquisition, drawn from the model's geometry.
class HistoryView;

class ChamberPanel final : public QWidget {
 public:
  ChamberPanel(const screens::ParamWindow& model, QWidget* parent);
  void render();
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // What the drawing is made of: it is drawn again only when this changes.
  struct Drawing {
    std::array<int, 9> geometry{};
    std::string al;
    std::string dft;
    friend bool operator==(const Drawing&, const Drawing&) = default;
  };
  Drawing drawing() const;

  const screens::ParamWindow& model_;
  LabelView label5_;
  LabelView label6_;
  std::optional<Drawing> drawn_;
};

class ParamForm final : public QWidget {
  Q_OBJECT
 public:
  ParamForm(screens::ParamWindow& model, engine::ParamControl& control, QWidget* parent);
  ~ParamForm() override;
  void render();

 protected:
  void closeEvent(QCloseEvent* event) override;
  // The arrow pointer back over the window (the engine shows the hourglass while it reads).
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  screens::ParamWindow& model_;
  engine::ParamControl& control_;
  QGroupBox* statusFrame_;
  std::array<LabelView, screens::kParamRows> params_;
  std::array<LabelView, screens::kParamRows> values_;
  QLabel* image1_;
  QWidget* widePart_;
  QCheckBox* opto_;
  QCheckBox* thermo_;
  QLabel* picture1_;
  QLabel* picture2_;
  ButtonView ledOn_;
  ButtonView ledOff_;
  ButtonView command1_;
  LabelView label8_;
  QCheckBox* check1_;
  QScrollBar* hscroll1_;
  LabelView label7_;
  ChamberPanel* chamber_;
  HistoryView* history_;
  int shownPicture_ = -1;
  int shownWidth_ = -1;
  bool busyShown_ = false;
};

}  // namespace korvane::shell
