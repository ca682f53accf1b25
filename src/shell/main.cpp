// korvane: the application.
#include <QApplication>
#include <clocale>

#include "shell/mdi_main.h"
#include "shell/view.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Korvane"));
  korvane::shell::MdiMain main(korvane::shell::fsPath(QApplication::applicationDirPath()));
  main.show();
  return QApplication::exec();
}
