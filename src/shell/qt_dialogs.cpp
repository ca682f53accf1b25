#include "shell/qt_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

#include "shell/view.h"

namespace korvane::shell {

std::optional<std::filesystem::path> askSaveFile(QWidget* parent, const reports::FileKind& kind) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setNameFilter(qs(kind.filter));
  dialog.setDefaultSuffix(qs(kind.suffix));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return fsPath(dialog.selectedFiles().constFirst());
}

void QtDialogs::messageBox(const std::string& text, const std::string& title, screens::Icon icon) {
  QMessageBox::Icon qicon = QMessageBox::NoIcon;
  switch (icon) {
    case screens::Icon::kInformation:
      qicon = QMessageBox::Information;
      break;
    case screens::Icon::kExclamation:
      qicon = QMessageBox::Warning;
      break;
    case screens::Icon::kCritical:
      qicon = QMessageBox::Critical;
      break;
    case screens::Icon::kQuestion:
      qicon = QMessageBox::Question;
      break;
    case screens::Icon::kNone:
      break;
  }
  QMessageBox box(qicon, qs(title), qs(text), QMessageBox::Ok, parent_);
  ++open_;
  box.exec();
  --open_;
}

bool QtDialogs::askYesNo(const std::string& text, const std::string& title) {
  QMessageBox box(QMessageBox::Question, qs(title), qs(text), QMessageBox::Yes | QMessageBox::No,
                  parent_);
  box.setDefaultButton(QMessageBox::No);
  ++open_;
  const int answer = box.exec();
  --open_;
  return answer == QMessageBox::Yes;
}

}  // namespace korvane::shell
