// korvane: the application.
#include <QApplication>
#include <clocale>

#include "shell/config/tool_folder.h"
#include "shell/mdi_main.h"
#include "shell/view.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Korvane"));
  // Settings and report files: beside the executable, or the user's own folder once installed.
  korvane::shell::MdiMain main(
      korvane::config::toolFolder(korvane::shell::fsPath(QApplication::applicationDirPath()),
                                  korvane::config::folderEnvironment()));
  main.show();
  return QApplication::exec();
}
