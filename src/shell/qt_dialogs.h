#pragma once
// The core's message boxes as real ones.
#include "screens/dialogs.h"

class QWidget;

namespace korvane::shell {

class QtDialogs final : public screens::Dialogs {
 public:
  explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }
  void messageBox(const std::string& text, const std::string& title, screens::Icon icon) override;
  bool askYesNo(const std::string& text, const std::string& title) override;
  // Boxes open right now: their window must outlive them.
  int open() const { return open_; }

 private:
  QWidget* parent_;
  int open_ = 0;
};

}  // namespace korvane::shell
