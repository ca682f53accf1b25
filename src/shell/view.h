#pragma once
// Putting the screen models on widgets. The engine writes captions, colours and visibilities
// into plain structs; these helpers copy them onto Qt widgets, touching a widget only when
// its model changed, so that refreshing the whole window many times a second costs nothing.
#include <QByteArray>
#include <QColor>
#include <QString>
#include <QWidget>
#include <filesystem>
#include <string>

#include "screens/controls.h"

class QAbstractButton;
class QLabel;

namespace korvane::shell {

inline QString qs(const std::string& utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
inline std::string us(const QString& text) {
  return text.toStdString();
}
// A file name typed or picked by the user, as the standard library takes it on every
// platform.
inline std::filesystem::path fsPath(const QString& name) {
  const QByteArray utf8 = name.toUtf8();
  return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.constData()),
                                             static_cast<std::size_t>(utf8.size())));
}
inline QColor qcolor(screens::Rgb c) {
  return QColor(c.r, c.g, c.b);
}

// Twips, the unit the window layout is given in: 15 to a pixel at 96 dpi.
inline int px(int twips) {
  return (twips + 7) / 15;
}

// Sets a widget's background colour (and keeps its text readable).
void setBackground(QWidget* widget, screens::Rgb color);

// A label shown from a model label: caption, visibility, back colour.
class LabelView {
 public:
  LabelView() = default;
  explicit LabelView(QLabel* label, bool paintBackground = false)
      : label_(label), paintBackground_(paintBackground) {}
  // Returns whether the caption changed.
  bool show(const screens::Label& model);
  QLabel* widget() const { return label_; }

 private:
  QLabel* label_ = nullptr;
  bool paintBackground_ = false;
  bool first_ = true;
  screens::Label last_;
};

// A button shown from a model button.
class ButtonView {
 public:
  ButtonView() = default;
  explicit ButtonView(QAbstractButton* button) : button_(button) {}
  void show(const screens::Button& model);

 private:
  QAbstractButton* button_ = nullptr;
  bool first_ = true;
  screens::Button last_;
};

// A light (send, receive): painted lit, or not painted, in a place of its own. Showing and
// hiding a widget lays its whole window out again, which at every frame of the idle cycle cost
// more than all the rest of the drawing.
class Lamp final : public QWidget {
 public:
  Lamp(screens::Rgb colour, const QString& name, QWidget* parent);
  void setLit(bool lit);
  bool isLit() const { return lit_; }
  QSize sizeHint() const override { return {14, 14}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor colour_;
  bool lit_ = false;
};

}  // namespace korvane::shell
