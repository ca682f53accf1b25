#include "shell/about_box.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "shell/pictures.h"

namespace korvane::shell {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmAbout"));
  const QString title = QString::fromUtf8(kApplicationTitle);
  setWindowTitle(QStringLiteral("À propos de ") + title);
  auto* layout = new QGridLayout(this);
  auto* image = new QLabel(this);
  image->setObjectName(QStringLiteral("Image1"));
  image->setPixmap(toolPicture(QSize(64, 64)));
  layout->addWidget(image, 0, 0, 3, 1, Qt::AlignTop);
  auto* lblTitle = new QLabel(title, this);
  lblTitle->setObjectName(QStringLiteral("lblTitle"));
  QFont big = lblTitle->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  lblTitle->setFont(big);
  layout->addWidget(lblTitle, 0, 1);
  auto* lblVersion = new QLabel(QString::fromUtf8(kVersionText), this);
  lblVersion->setObjectName(QStringLiteral("lblVersion"));
  layout->addWidget(lblVersion, 1, 1);
  auto* lblDescription = new QLabel(
      QStringLiteral("Essai et maintenance des boucles de détection incendie adressables : "
                     "recherche et adressage des points, lecture des paramètres, analyse des "
                     "chambres optiques, simulation de la gestion du bus par l'ECS."),
      this);
  lblDescription->setObjectName(QStringLiteral("lblDescription"));
  lblDescription->setWordWrap(true);
  layout->addWidget(lblDescription, 2, 1);
  auto* label1 = new QLabel(QStringLiteral("Outil de maintenance pour technicien."), this);
  label1->setObjectName(QStringLiteral("Label1"));
  layout->addWidget(label1, 3, 1);
  auto* close = new QPushButton(QStringLiteral("FERMER"), this);
  close->setObjectName(QStringLiteral("Command1"));
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(close, 4, 1, Qt::AlignRight);
  setMinimumWidth(420);
}

}  // namespace korvane::shell
