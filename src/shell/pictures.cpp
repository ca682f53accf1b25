#include "shell/pictures.h"

#include <QPainter>
#include <QPainterPath>

namespace korvane::shell {

namespace {

QPixmap blank(QSize size) {
  QPixmap pixmap(size);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

// A detector seen from the side: base, dome, and what the family carries on top.
void drawDetector(QPainter& p, const QRectF& r, const QColor& dome) {
  p.setPen(QPen(QColor(60, 60, 60), 2));
  p.setBrush(QColor(235, 235, 235));
  p.drawRoundedRect(QRectF(r.left(), r.top(), r.width(), r.height() * 0.25), 4, 4);
  p.setBrush(dome);
  p.drawChord(QRectF(r.left() + r.width() * 0.1, r.top() - r.height() * 0.45, r.width() * 0.8,
                     r.height() * 1.4),
              180 * 16, 180 * 16);
}

}  // namespace

QPixmap familyPicture(int number, QSize size) {
  QPixmap pixmap = blank(size);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF area(size.width() * 0.1, size.height() * 0.15, size.width() * 0.8,
                    size.height() * 0.55);
  switch (number) {
    case 104:  // heat detector: the sensing element out in the open
      drawDetector(p, area, QColor(250, 250, 250));
      p.setBrush(QColor(200, 40, 30));
      p.drawEllipse(area.center() + QPointF(0, area.height() * 0.45), size.width() * 0.06,
                    size.width() * 0.06);
      break;
    case 105:  // optical detector, low dome
    case 106:  // the KEV family
      drawDetector(p, area, number == 105 ? QColor(245, 245, 240) : QColor(230, 236, 245));
      p.setPen(QPen(QColor(90, 90, 90), 1));
      for (int i = 1; i < 6; ++i) {
        const double x = area.left() + area.width() * (0.15 + 0.14 * i);
        p.drawLine(QPointF(x, area.top() + area.height() * 0.35),
                   QPointF(x, area.top() + area.height() * 0.8));
      }
      break;
    case 107: {  // flame detector: a window and a flame
      p.setPen(QPen(QColor(60, 60, 60), 2));
      p.setBrush(QColor(220, 220, 220));
      p.drawRoundedRect(area, 6, 6);
      QPainterPath flame;
      const QPointF c = area.center();
      flame.moveTo(c + QPointF(0, -area.height() * 0.35));
      flame.cubicTo(c + QPointF(area.width() * 0.2, 0),
                    c + QPointF(area.width() * 0.12, area.height() * 0.35),
                    c + QPointF(0, area.height() * 0.35));
      flame.cubicTo(c + QPointF(-area.width() * 0.12, area.height() * 0.35),
                    c + QPointF(-area.width() * 0.2, 0), c + QPointF(0, -area.height() * 0.35));
      p.setBrush(QColor(250, 140, 20));
      p.drawPath(flame);
      break;
    }
    case 108: {  // module board: a green card with its terminals
      p.setPen(QPen(QColor(20, 70, 20), 2));
      p.setBrush(QColor(40, 140, 60));
      p.drawRect(area);
      p.setBrush(QColor(230, 200, 60));
      for (int i = 0; i < 6; ++i) {
        p.drawRect(QRectF(area.left() + 6 + i * (area.width() - 12) / 6, area.bottom() - 10,
                          (area.width() - 12) / 8, 8));
      }
      p.setBrush(QColor(30, 30, 30));
      p.drawRect(QRectF(area.center().x() - 12, area.center().y() - 10, 24, 16));
      break;
    }
    default:
      break;
  }
  return pixmap;
}

QPixmap heatElementPicture(QSize size) {
  QPixmap pixmap = blank(size);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const double w = size.width();
  const double h = size.height();
  p.setPen(QPen(QColor(60, 60, 60), 2));
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(w * 0.4, h * 0.1, w * 0.2, h * 0.65), w * 0.1, w * 0.1);
  p.setBrush(QColor(210, 30, 30));
  p.drawEllipse(QPointF(w * 0.5, h * 0.8), w * 0.16, w * 0.16);
  p.drawRect(QRectF(w * 0.45, h * 0.4, w * 0.1, h * 0.35));
  return pixmap;
}

QPixmap opticalElementPicture(QSize size) {
  QPixmap pixmap = blank(size);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const double w = size.width();
  const double h = size.height();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(150, 150, 150, 160));
  for (int i = 0; i < 5; ++i)
    p.drawEllipse(QPointF(w * (0.3 + 0.1 * i), h * (0.55 - 0.08 * (i % 2))), w * 0.16, h * 0.14);
  p.setPen(QPen(QColor(40, 90, 200), 2));
  p.drawLine(QPointF(w * 0.1, h * 0.85), QPointF(w * 0.9, h * 0.2));
  return pixmap;
}

QPixmap toolPicture(QSize size) {
  QPixmap pixmap = blank(size);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const double w = size.width();
  p.setPen(QPen(QColor(40, 40, 40), 2));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(w * 0.1, w * 0.25, w * 0.8, w * 0.5), w * 0.2, w * 0.2);
  p.setBrush(QColor(128, 128, 255));
  for (int i = 0; i < 4; ++i)
    p.drawRect(QRectF(w * (0.14 + 0.19 * i), w * 0.18, w * 0.12, w * 0.14));
  p.setBrush(QColor(255, 0, 0));
  p.drawEllipse(QPointF(w * 0.5, w * 0.75), w * 0.06, w * 0.06);
  return pixmap;
}

}  // namespace korvane::shell
