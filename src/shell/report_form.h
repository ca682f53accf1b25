#pragma once
// The report window (`Frm_Rapport`, "Listing"): what the technician types for the maintenance
// report (company, site, address, comments), the listing the engine wrote, the two saves:
// "Sauvegarder" (text report) and "Rapport HTML", and "Imprimer", which prints the HTML report.
// One window for the whole run of the application: what was typed stays for every report.
#include <QWidget>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "reports/report_commands.h"
#include "shell/report_print.h"

class QListWidget;
class QLineEdit;
class QPlainTextEdit;

namespace korvane::shell {

class Session;

class ReportForm final : public QWidget {
  Q_OBJECT
 public:
  ReportForm(Session& session, QWidget* parent);
  void render();

  // "Sauvegarder", "Rapport HTML", "Exporter CSV" and "Imprimer". Their dialogs open between
  // engine steps.
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  void Command1_Click();

  // The save dialog for one kind of file; nothing when cancelled. Tests replace it.
  std::function<std::optional<std::filesystem::path>(const reports::FileKind& kind)> askFile;
  // The print dialog; nothing when cancelled. Tests replace it.
  AskPrinter askPrinter;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  reports::ReportContext context();
  void run(std::function<void(const reports::ReportContext&)> command);

  Session& session_;
  QListWidget* list_;
  std::vector<std::string> shownLines_;
};

}  // namespace korvane::shell
