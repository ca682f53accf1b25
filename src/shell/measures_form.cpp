#include "shell/measures_form.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "reports/measures_log.h"
#include "reports/report_file.h"
#include "shell/qt_dialogs.h"

namespace korvane::shell {

MeasuresForm::MeasuresForm(screens::MeasuresWindow& model, screens::Dialogs& dialogs,
                           engine::BusEngine& engine, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(model), dialogs_(dialogs), engine_(engine) {
  setObjectName(QStringLiteral("Frm_Mesures"));
  setWindowTitle(QStringLiteral("Mesures"));
  resize(520, 420);
  auto* layout = new QVBoxLayout(this);
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("List1"));
  list_->setAccessibleName(QStringLiteral("Journal des mesures"));
  layout->addWidget(list_);
  auto* labels = new QHBoxLayout;
  for (auto [view, name] : {std::pair{&label1_, "Label1"}, std::pair{&label2_, "Label2"},
                            std::pair{&label3_, "Label3"}}) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    labels->addWidget(label);
    *view = LabelView(label);
  }
  layout->addLayout(labels);
  auto* saveButton = new QPushButton(QStringLiteral("Sauvegarder"), this);
  saveButton->setObjectName(QStringLiteral("Command1"));
  connect(saveButton, &QPushButton::clicked, this, &MeasuresForm::Command1_Click);
  layout->addWidget(saveButton);

  askFileName = [this] { return askSaveFile(this, reports::kTextFile); };
  render();
}

void MeasuresForm::render() {
  if (model_.visible != isVisible()) setVisible(model_.visible);
  // The log is only ever appended to or cleared: show the new lines, or start again.
  const auto& lines = model_.List1.lines;
  if (model_.List1.clears != shownClears_ || lines.size() < shownLines_) {
    list_->clear();
    shownLines_ = 0;
    shownClears_ = model_.List1.clears;
  }
  for (; shownLines_ < lines.size(); ++shownLines_)
    list_->addItem(qs(lines[shownLines_]));
  label1_.show(model_.Label1);
  label2_.show(model_.Label2);
  label3_.show(model_.Label3);
}

void MeasuresForm::Command1_Click() {
  engine_.afterStep([this] { save(); });
}

void MeasuresForm::save() {
  const std::optional<std::filesystem::path> file = askFileName();
  if (!file) return;  // cancelled: nothing written, nothing said
  std::string error;
  if (!reports::saveMeasuresLog(reports::withSuffix(*file, reports::kTextFile), model_.List1.lines,
                                error)) {
    dialogs_.messageBox(error, "Mesures", screens::Icon::kExclamation);
  }
}

void MeasuresForm::closeEvent(QCloseEvent* event) {
  model_.visible = false;
  event->accept();
}

}  // namespace korvane::shell
