// korvane: the application.
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>
#include <clocale>

#include "shell/config/tool_folder.h"
#include "shell/mdi_main.h"
#include "shell/session.h"
#include "shell/view.h"

namespace {

// --help and --version answer on the terminal and end the program, before anything opens a
// display. Every other argument goes to QApplication as it always did (-platform, -style,
// ...): an option the parser does not know is not an error here.
void answerHelpOrVersion(int argc, char* argv[]) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i)
    arguments << QString::fromLocal8Bit(argv[i]);

  QCommandLineParser parser;
  // Qt's own options are single-dash words (-stylesheet, -reverse): read as letters, they
  // would hold an h or a v.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setApplicationDescription(
      QStringLiteral("Maintenance des boucles de détection incendie adressables"));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Displays this help."));
  parser.addOption(help);
  const QCommandLineOption version = parser.addVersionOption();
  parser.parse(arguments);
  if (!parser.isSet(help) && !parser.isSet(version)) return;

  // The parser prints through the application object; a core one needs no display.
  QCoreApplication core(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("korvane"));
  QCoreApplication::setApplicationVersion(QStringLiteral(KORVANE_VERSION));
  if (parser.isSet(help)) parser.showHelp();
  parser.showVersion();
}

}  // namespace

int main(int argc, char* argv[]) {
  answerHelpOrVersion(argc, argv);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Korvane"));
  // Settings and report files: beside the executable, or the user's own folder once installed;
  // the visit history with them, or in the user's data folder once installed.
  const korvane::config::FolderEnvironment env = korvane::config::folderEnvironment();
  const std::filesystem::path folder =
      korvane::config::toolFolder(korvane::shell::fsPath(QApplication::applicationDirPath()), env);
  korvane::shell::MdiMain main(folder);
  main.session().useHistoryFolder(korvane::config::dataFolder(folder, env));
  main.show();
  return QApplication::exec();
}
