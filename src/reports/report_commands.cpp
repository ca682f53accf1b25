#include "reports/report_commands.h"

#include "reports/csv_report.h"
#include "reports/html_report.h"
#include "reports/report_file.h"
#include "reports/text_report.h"
#include "text/replace_file.h"

namespace korvane::reports {

namespace fs = std::filesystem;

namespace {

std::optional<fs::path> askFile(const ReportContext& c, const FileKind& kind) {
  std::optional<fs::path> file = c.askFile(kind);
  if (file) file = withSuffix(*file, kind);
  return file;
}

}  // namespace

void saveTextReport(const ReportContext& c) {
  const std::optional<fs::path> file = askFile(c, kTextFile);
  if (!file) return;
  const std::string bytes = textReport(c.form, c.runtime.date(), c.runtime.timeOfDay());
  std::string error;
  if (!saveReportFile(*file, bytes, error))
    c.dialogs.messageBox(error, "Listing", screens::Icon::kExclamation);
}

void saveHtmlReport(const ReportContext& c) {
  auto fail = [&c](const std::string& error) {
    c.dialogs.messageBox(error, kAppTitle, screens::Icon::kInformation);
  };
  std::optional<fs::path> file;
  for (;;) {
    file = askFile(c, kHtmlFile);
    if (!file) return fail("Enregistrement annulé.");
    if (!Fichier_Existe(*file)) break;
    const std::string question = pathText(*file) + " existe déjà.\r\nVoulez-vous le remplacer ?";
    if (c.dialogs.askYesNo(question, "Confirmer l'enregistrement")) break;
  }
  // The template is read before anything is written: without it, the existing report stays.
  std::string error;
  const std::optional<std::string> bytes = customerPage(c, error);
  if (!bytes) return fail(error);
  if (!saveReportFile(*file, *bytes, error)) return fail(error);
  c.dialogs.messageBox("Enregistrement terminé.", kAppTitle, screens::Icon::kNone);
}

void saveCsvReport(const ReportContext& c) {
  const std::optional<fs::path> file = askFile(c, kCsvFile);
  if (!file) return;
  std::string error;
  if (!saveReportFile(*file, csvReport(c.state, c.followUps), error))
    return c.dialogs.messageBox(error, "Listing", screens::Icon::kExclamation);
  c.dialogs.messageBox("Enregistrement terminé.", kAppTitle, screens::Icon::kNone);
}

std::optional<std::string> customerPage(const ReportContext& c, std::string& error) {
  const std::optional<std::string> templ = text::readFile(c.templateFile);
  if (!templ) {
    error = "Fichier introuvable : " + pathText(c.templateFile);
    return std::nullopt;
  }
  return htmlReport(*templ, c.form, c.state, c.images, c.runtime.date(), c.runtime.timeOfDay(),
                    c.followUps);
}

}  // namespace korvane::reports
