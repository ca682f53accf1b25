#pragma once
// The about box (`frmAbout`).
#include <QDialog>

namespace korvane::shell {

inline constexpr const char* kApplicationTitle = "Korvane";
inline constexpr const char* kVersionText = "Version 3.07 du 28/03/17";

class AboutBox final : public QDialog {
  Q_OBJECT
 public:
  explicit AboutBox(QWidget* parent = nullptr);
};

}  // namespace korvane::shell
