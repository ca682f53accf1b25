#include "shell/history_view.h"

#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "shell/view.h"

namespace korvane::shell {

HistoryPlot::HistoryPlot(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Historique_Courbe"));
  setMinimumHeight(130);
  setAccessibleName(QStringLiteral("Encrassement au fil des visites"));
}

void HistoryPlot::show(const screens::HistoryPanel& panel) {
  panel_ = panel;
  update();
}

void HistoryPlot::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(rect(), Qt::white);
  const QFontMetrics fm = fontMetrics();
  const int left = fm.horizontalAdvance(QStringLiteral("100 %")) + 6;
  const QRect area(left, 6, width() - left - 10, height() - fm.height() - 12);
  if (area.width() < 20 || area.height() < 20) return;

  double span = 1;
  for (const auto& [x, y] : panel_.points)
    span = std::max(span, x);
  for (const auto& [x, y] : panel_.trend)
    span = std::max(span, x);
  // A single visit stands in the middle.
  const double offset = panel_.points.size() == 1 && panel_.trend.empty() ? span / 2 : 0;
  auto at = [&](double x, double y) {
    return QPointF(area.left() + (x + offset) / span * area.width(),
                   area.bottom() - std::clamp(y, 0.0, 100.0) / 100.0 * area.height());
  };

  p.setPen(QColor(160, 160, 160));
  p.drawRect(area);
  // The verdicts' limits: "Remplacement à prévoir" above 20 %, "Détecteur à remplacer" above 70.
  for (const auto& [level, color] :
       {std::pair{20.0, QColor(230, 140, 0)}, std::pair{70.0, QColor(200, 0, 0)}}) {
    p.setPen(QPen(color, 1, Qt::DashLine));
    p.drawLine(at(-offset, level), at(span - offset, level));
    p.drawText(QRectF(0, at(0, level).y() - fm.height() / 2.0, left - 4, fm.height()),
               Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("%1 %").arg(level));
  }
  if (panel_.trend.size() == 2) {
    p.setPen(QPen(QColor(90, 90, 90), 1, Qt::DotLine));
    p.drawLine(at(panel_.trend[0].first, panel_.trend[0].second),
               at(panel_.trend[1].first, panel_.trend[1].second));
  }
  p.setPen(QPen(QColor(0, 70, 160), 2));
  QPainterPath line;
  for (std::size_t i = 0; i < panel_.points.size(); ++i) {
    const QPointF point = at(panel_.points[i].first, panel_.points[i].second);
    if (i == 0) {
      line.moveTo(point);
    } else {
      line.lineTo(point);
    }
  }
  p.drawPath(line);
  p.setBrush(QColor(0, 70, 160));
  for (const auto& [x, y] : panel_.points)
    p.drawEllipse(at(x, y), 3, 3);

  p.setPen(Qt::black);
  const QRectF dates(area.left(), area.bottom() + 3, area.width(), fm.height());
  p.drawText(dates, Qt::AlignLeft, qs(panel_.firstDate));
  if (panel_.lastDate != panel_.firstDate) p.drawText(dates, Qt::AlignRight, qs(panel_.lastDate));
}

HistoryView::HistoryView(QWidget* parent) : QGroupBox(QStringLiteral("Historique"), parent) {
  setObjectName(QStringLiteral("Historique"));
  auto* layout = new QVBoxLayout(this);
  table_ = new QTableWidget(0, 4, this);
  table_->setObjectName(QStringLiteral("Historique_Table"));
  table_->setAccessibleName(QStringLiteral("Historique"));
  table_->setHorizontalHeaderLabels({QStringLiteral("Date"), QStringLiteral("Encrassement\n(%)"),
                                     QStringLiteral("Verdict"),
                                     QStringLiteral("Température\n(°C)")});
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);  // the verdict
  table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setMinimumHeight(110);
  layout->addWidget(table_);
  plot_ = new HistoryPlot(this);
  layout->addWidget(plot_);
  due_ = new QLabel(this);
  due_->setObjectName(QStringLiteral("Prochaine_Echeance"));
  due_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(due_);
}

void HistoryView::render(const screens::HistoryPanel& panel) {
  if (isVisible() != panel.visible) setVisible(panel.visible);
  if (shown_ == panel) return;
  shown_ = panel;
  setTitle(QStringLiteral("Historique du détecteur %1").arg(qs(panel.serial)));
  table_->setRowCount(static_cast<int>(panel.rows.size()));
  for (int r = 0; r < table_->rowCount(); ++r) {
    const screens::HistoryRow& row = panel.rows[static_cast<std::size_t>(r)];
    int c = 0;
    for (const std::string* text : {&row.date, &row.percent, &row.verdict, &row.temperature}) {
      auto* item = new QTableWidgetItem(qs(*text));
      if (c == 1 || c == 3) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table_->setItem(r, c++, item);
    }
  }
  plot_->show(panel);
  due_->setText(qs(panel.due));
  due_->setToolTip(qs(panel.dueTip));
  due_->setAccessibleDescription(qs(panel.dueTip));
}

}  // namespace korvane::shell
