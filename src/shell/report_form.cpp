#include "shell/report_form.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include "shell/qt_dialogs.h"
#include "shell/session.h"
#include "shell/view.h"

namespace korvane::shell {

namespace {

// Typed text as the reports keep it: composed, so that an accent pasted as a mark of its own
// (e + U+0301) is the one letter é, and lines separated by CR LF.
std::string typedText(const QString& text) {
  return us(text.normalized(QString::NormalizationForm_C)
                .replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
}

}  // namespace

ReportForm::ReportForm(Session& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session) {
  setObjectName(QStringLiteral("Frm_Rapport"));
  setWindowTitle(QStringLiteral("Listing"));
  resize(620, 560);
  screens::ReportWindow& model = session_.station.report;
  auto* grid = new QGridLayout(this);
  int row = 0;
  // Each field under its label, which names it for a screen reader too.
  auto field = [&](QWidget* edit, const char* editName, const char* labelName,
                   const char* caption) {
    auto* label = new QLabel(QString::fromUtf8(caption), this);
    label->setObjectName(QString::fromLatin1(labelName));
    label->setBuddy(edit);
    edit->setObjectName(QString::fromLatin1(editName));
    edit->setAccessibleName(label->text());
    grid->addWidget(label, row, 0, Qt::AlignTop);
    grid->addWidget(edit, row++, 1);
  };
  auto line = [&](std::string& text, const char* editName, const char* labelName,
                  const char* caption) {
    auto* edit = new QLineEdit(this);
    connect(edit, &QLineEdit::textChanged, this,
            [&text](const QString& typed) { text = typedText(typed); });
    field(edit, editName, labelName, caption);
  };
  auto lines = [&](std::string& text, const char* editName, const char* labelName,
                   const char* caption) {
    auto* edit = new QPlainTextEdit(this);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit->setTabChangesFocus(true);
    edit->setMaximumHeight(80);
    connect(edit, &QPlainTextEdit::textChanged, this,
            [&text, edit] { text = typedText(edit->toPlainText()); });
    field(edit, editName, labelName, caption);
  };
  line(model.Text2, "Text2", "Label1", "Société de Maintenance");
  line(model.Text3, "Text3", "Label3", "Site");
  lines(model.Text4, "Text4", "Label4", "Adresse");
  lines(model.Text1, "Text1", "Label2", "Commentaires");

  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("List1"));
  list_->setAccessibleName(QStringLiteral("Listing des points"));
  grid->addWidget(list_, row++, 0, 1, 2);

  auto* buttons = new QHBoxLayout;
  for (auto [name, caption, click] :
       {std::tuple{"Command2", "Sauvegarder", &ReportForm::Command2_Click},
        std::tuple{"Command3", "Rapport HTML", &ReportForm::Command3_Click},
        std::tuple{"Command4", "Exporter CSV", &ReportForm::Command4_Click},
        std::tuple{"Command1", "Imprimer", &ReportForm::Command1_Click}}) {
    auto* button = new QPushButton(QString::fromUtf8(caption), this);
    button->setObjectName(QString::fromLatin1(name));
    connect(button, &QPushButton::clicked, this, click);
    buttons->addWidget(button);
  }
  grid->addLayout(buttons, row, 0, 1, 2);

  // The HTML save asks about an existing file in its own words.
  askFile = [this](const reports::FileKind& kind) { return askSaveFile(this, kind); };
  askPrinter = [this] { return shell::askPrinter(this); };
}

void ReportForm::render() {
  const screens::ReportWindow& model = session_.station.report;
  if (model.visible != isVisible()) setVisible(model.visible);
  // The engine appends lines and completes them after an analysis: show what differs.
  if (!model.visible || model.List1.lines == shownLines_) return;
  const auto& lines = model.List1.lines;
  while (list_->count() > static_cast<int>(lines.size()))
    delete list_->takeItem(list_->count() - 1);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i < shownLines_.size() && i < static_cast<std::size_t>(list_->count())) {
      if (lines[i] != shownLines_[i]) list_->item(static_cast<int>(i))->setText(qs(lines[i]));
    } else {
      list_->addItem(qs(lines[i]));
    }
  }
  shownLines_ = lines;
}

void ReportForm::Command2_Click() {
  run(&reports::saveTextReport);
}

void ReportForm::Command3_Click() {
  run(&reports::saveHtmlReport);
}

void ReportForm::Command4_Click() {
  run(&reports::saveCsvReport);
}

void ReportForm::Command1_Click() {
  run([this](const reports::ReportContext& c) { printCustomerReport(c, askPrinter); });
}

reports::ReportContext ReportForm::context() {
  return {session_.station.report,
          session_.station.state,
          session_.reportImages,
          session_.reportFolder() / reports::kTemplateFile,
          session_.runtime(),
          session_.dialogs(),
          askFile,
          session_.followUps()};
}

void ReportForm::run(std::function<void(const reports::ReportContext&)> command) {
  session_.station.engine.afterStep([this, command = std::move(command)] {
    command(context());
    // The demonstration loop may have filled the point table.
    session_.render();
  });
}

void ReportForm::closeEvent(QCloseEvent* event) {
  session_.station.report.visible = false;
  event->accept();
}

}  // namespace korvane::shell
