#pragma once
// The core's message boxes as real ones, and the save dialog.
#include <filesystem>
#include <optional>

#include "reports/report_file.h"
#include "screens/dialogs.h"

class QWidget;

namespace korvane::shell {

// The save dialog for one kind of file, with its filter and the suffix it adds to a name typed
// without one; it asks nothing about an existing file. Nothing when cancelled.
std::optional<std::filesystem::path> askSaveFile(QWidget* parent, const reports::FileKind& kind);

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
