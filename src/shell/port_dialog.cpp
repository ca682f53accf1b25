#include "shell/port_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "shell/config/settings.h"
#include "shell/view.h"

namespace korvane::shell {

PortDialog::PortDialog(const QString& current, std::vector<link::PortInfo> ports,
                       std::vector<int> numbers, QWidget* parent)
    : QDialog(parent), ports_(std::move(ports)), numbers_(std::move(numbers)) {
  setObjectName(QStringLiteral("Port_Dlg"));
  setWindowTitle(QString::fromUtf8(config::kPortPromptTitle));
  auto* layout = new QVBoxLayout(this);

  auto* prompt = new QLabel(QString::fromUtf8(config::kPortPrompt), this);
  number_ = new QLineEdit(current, this);
  number_->setObjectName(QStringLiteral("Port_Txt"));
  number_->setAccessibleName(prompt->text());
  prompt->setBuddy(number_);
  layout->addWidget(prompt);
  layout->addWidget(number_);

  auto* caption = new QLabel(QStringLiteral("Ports présents :"), this);
  list_ = new QTableWidget(static_cast<int>(ports_.size()), 5, this);
  list_->setObjectName(QStringLiteral("Ports_Lst"));
  list_->setAccessibleName(QStringLiteral("Ports présents"));
  caption->setBuddy(list_);
  list_->setHorizontalHeaderLabels({QStringLiteral("Port"), QStringLiteral("Description"),
                                    QStringLiteral("Fabricant"), QStringLiteral("N° de série"),
                                    QStringLiteral("N° dans Korvane")});
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->verticalHeader()->hide();
  for (std::size_t i = 0; i < ports_.size(); ++i) {
    const link::PortInfo& port = ports_[i];
    const int number = i < numbers_.size() ? numbers_[i] : 0;
    const QString cells[] = {qs(port.device), qs(port.description), qs(port.manufacturer),
                             qs(port.serialNumber),
                             number > 0 ? QString::number(number) : QStringLiteral("—")};
    for (int column = 0; column < 5; ++column)
      list_->setItem(static_cast<int>(i), column, new QTableWidgetItem(cells[column]));
  }
  list_->resizeColumnsToContents();
  if (ports_.empty()) {
    caption->setText(QStringLiteral("Aucun port série n'est présent."));
    list_->hide();
  }
  layout->addWidget(caption);
  layout->addWidget(list_);

  // Picking a port shows the number it will have: its own, else the one typed.
  connect(list_, &QTableWidget::itemSelectionChanged, this, [this] {
    const int row = list_->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= numbers_.size()) return;
    if (numbers_[static_cast<std::size_t>(row)] > 0)
      number_->setText(QString::number(numbers_[static_cast<std::size_t>(row)]));
  });
  connect(list_, &QTableWidget::itemDoubleClicked, this, &QDialog::accept);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(640, ports_.empty() ? 160 : 320);
}

PortAnswer PortDialog::answer() const {
  PortAnswer answer{number_->text(), std::nullopt};
  const auto selected = list_->selectionModel()->selectedRows();
  if (!selected.isEmpty()) {
    const auto row = static_cast<std::size_t>(selected.first().row());
    if (row < ports_.size()) answer.picked = ports_[row];
  }
  return answer;
}

}  // namespace korvane::shell
