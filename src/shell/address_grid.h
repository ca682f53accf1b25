#pragma once
// The loop drawn as a grid: one box per address, 16 to a row, the rows run left to right
// then right to left like the cable they stand for, joined at alternate ends. Each box has
// its LED mark and, under it, the chamber label; the legend of the cycle's colours sits
// under the grid. Positions follow the tool's twip layout: boxes of 600 x 400 on a pitch of
// 800 x 700.
#include <QLabel>
#include <QWidget>
#include <array>
#include <vector>

#include "screens/bus_window.h"
#include "shell/view.h"

namespace korvane::shell {

// Where box `address` sits, in twips, for a grid of boxes `width` x `height`.
struct BoxPlace {
  int row = 0;
  int column = 0;
  int left = 0;
  int top = 0;
};
BoxPlace boxPlace(int address, int width = 600, int height = 400);

// What a box's colour means, for screen readers.
QString colourMeaning(screens::Rgb color);

// A box that says when it is clicked.
class AddressBox final : public QLabel {
  Q_OBJECT
 public:
  AddressBox(int address, QWidget* parent);
  int address() const { return address_; }

 signals:
  void clicked(int address);

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  int address_;
};

class AddressGrid final : public QWidget {
  Q_OBJECT
 public:
  AddressGrid(const screens::BusWindow& model, int addresses, QWidget* parent = nullptr);

  void render();
  int addresses() const { return addresses_; }
  int rows() const { return rows_; }
  AddressBox* box(int address) const;
  QSize sizeHint() const override;

 signals:
  void boxClicked(int address);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const screens::BusWindow& model_;
  int addresses_;
  int rows_;
  std::vector<AddressBox*> boxes_;  // index address - 1
  std::vector<LabelView> boxViews_;
  std::vector<LabelView> chamberViews_;
  std::vector<QLabel*> leds_;
  std::vector<bool> ledShown_;
  std::vector<screens::Rgb> shownColour_;
  std::array<QLabel*, 8> legendMarks_{};
  std::array<LabelView, 8> legendViews_;
};

}  // namespace korvane::shell
