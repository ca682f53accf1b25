#include "shell/view.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QWidget>

namespace korvane::shell {

void setBackground(QWidget* widget, screens::Rgb color) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, qcolor(color));
  // Dark backgrounds (the legend's blue and dark red) need light text.
  const int luminance = (299 * color.r + 587 * color.g + 114 * color.b) / 1000;
  palette.setColor(QPalette::WindowText, luminance < 110 ? Qt::white : Qt::black);
  widget->setAutoFillBackground(true);
  widget->setPalette(palette);
}

bool LabelView::show(const screens::Label& model) {
  if (!label_) return false;
  const bool firstTime = std::exchange(first_, false);
  // A hidden label gets its text when it shows: it keeps its place while hidden, so a new text
  // would lay the window out again, and the engine writes the hidden state number at every
  // step.
  const bool captionChanged = firstTime || (model.visible && model.caption != last_.caption);
  if (captionChanged) {
    last_.caption = model.caption;
    label_->setText(qs(model.caption));
    // Screen readers get the box on one line: "001 KEV11x".
    label_->setAccessibleName(qs(model.caption).replace(QLatin1Char('\n'), QLatin1Char(' ')));
  }
  if (firstTime || model.visible != last_.visible) label_->setVisible(model.visible);
  if (paintBackground_ && (firstTime || !(model.backColor == last_.backColor))) {
    setBackground(label_, model.backColor);
  }
  // Only what changed is copied: the grid shows 256 labels many times a second.
  last_.visible = model.visible;
  last_.backColor = model.backColor;
  return captionChanged;
}

void ButtonView::show(const screens::Button& model) {
  if (!button_) return;
  const bool firstTime = std::exchange(first_, false);
  if (firstTime || model.caption != last_.caption) {
    last_.caption = model.caption;
    button_->setText(qs(model.caption));
  }
  if (firstTime || model.visible != last_.visible) button_->setVisible(model.visible);
  if (firstTime || model.enabled != last_.enabled) button_->setEnabled(model.enabled);
  last_.visible = model.visible;
  last_.enabled = model.enabled;
}

Lamp::Lamp(screens::Rgb colour, const QString& name, QWidget* parent)
    : QWidget(parent), colour_(qcolor(colour)) {
  setFixedSize(14, 14);
  setAccessibleName(name);
  // Drawn whole, lit or not: its flashes then repaint it alone, not the window behind it.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

// Painted there and then: the lights change with nearly every picture of the idle cycle, and
// an update() would post one more event, and wake the event loop once more, for each picture.
void Lamp::setLit(bool lit) {
  if (lit == lit_) return;
  lit_ = lit;
  repaint();
}

void Lamp::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!lit_) {
    painter.fillRect(rect(), palette().window());
    return;
  }
  painter.fillRect(rect(), colour_);
  painter.setPen(Qt::black);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace korvane::shell
