#include "shell/view.h"

#include <QAbstractButton>
#include <QLabel>
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
  const bool captionChanged = firstTime || model.caption != last_.caption;
  if (captionChanged) {
    label_->setText(qs(model.caption));
    // Screen readers get the box on one line: "001 KEV11x".
    label_->setAccessibleName(qs(model.caption).replace(QLatin1Char('\n'), QLatin1Char(' ')));
  }
  if (firstTime || model.visible != last_.visible) label_->setVisible(model.visible);
  if (paintBackground_ && (firstTime || !(model.backColor == last_.backColor))) {
    setBackground(label_, model.backColor);
  }
  last_ = model;
  return captionChanged;
}

void ButtonView::show(const screens::Button& model) {
  if (!button_) return;
  const bool firstTime = std::exchange(first_, false);
  if (firstTime || model.caption != last_.caption) button_->setText(qs(model.caption));
  if (firstTime || model.visible != last_.visible) button_->setVisible(model.visible);
  if (firstTime || model.enabled != last_.enabled) button_->setEnabled(model.enabled);
  last_ = model;
}

}  // namespace korvane::shell
