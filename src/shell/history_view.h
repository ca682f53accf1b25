#pragma once
// The parameter window's "Historique": a detector's past visits as a table (date, percentage,
// verdict, temperature), a small plot of the percentage over time with the 20 % and 70 %
// lines and the trend to the date due, and "Prochaine échéance" with how it is computed in
// its tooltip. Drawn from the model (screens::HistoryPanel) only when that changes.
#include <QGroupBox>
#include <optional>

#include "screens/param_window.h"

class QLabel;
class QTableWidget;

namespace korvane::shell {

class HistoryPlot final : public QWidget {
 public:
  explicit HistoryPlot(QWidget* parent);
  void show(const screens::HistoryPanel& panel);
  QSize sizeHint() const override { return {300, 130}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  screens::HistoryPanel panel_;
};

class HistoryView final : public QGroupBox {
 public:
  explicit HistoryView(QWidget* parent);
  void render(const screens::HistoryPanel& panel);

 private:
  QTableWidget* table_;
  HistoryPlot* plot_;
  QLabel* due_;
  std::optional<screens::HistoryPanel> shown_;
};

}  // namespace korvane::shell
