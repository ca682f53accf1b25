#pragma once
// What the report window's save buttons do, with the window's file dialog and message boxes
// handed in, so that the whole of it is tested without a window.
//
//   saveTextReport   "Sauvegarder": asks for a .txt file and writes the text report there.
//                    A name given without an extension gets the dialog's (".txt", ".html").
//                    A cancel writes nothing and says nothing; a failure says so and leaves
//                    any existing file as it was.
//   saveHtmlReport   "Rapport HTML": asks for a .html file; an existing one needs a Yes to
//                    "Confirmer l'enregistrement" (No asks for a file again). The template is
//                    read first, the page written whole, then "Enregistrement terminé.". A
//                    cancel, a missing template or a file that cannot be written ends it with
//                    an information box titled "PELVARO", and no file is touched.
//   saveCsvReport    "Exporter CSV": asks for a .csv file and writes the loop's table there
//                    (csv_report.h), then "Enregistrement terminé.". A bare name gets ".csv";
//                    a cancel says nothing; a failure shows why in an exclamation box titled
//                    "Listing", as the text report's does, and leaves any existing file.
//
// All write through a temporary file renamed over the target when complete. All open modal
// boxes: the window runs them between engine steps.
//
//   customerPage     the page "Rapport HTML" writes, from the template read now and dated now:
//                    what "Imprimer" prints. Nothing when the template cannot be read, with
//                    `error` the message to show.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "engine/bus_state.h"
#include "reports/follow_up.h"
#include "reports/report_file.h"
#include "reports/report_images.h"
#include "runtime/runtime.h"
#include "screens/dialogs.h"
#include "screens/report_window.h"

namespace korvane::reports {

inline constexpr const char* kAppTitle = "PELVARO";

struct ReportContext {
  screens::ReportWindow& form;
  engine::BusState& state;
  const ReportImages& images;
  std::filesystem::path templateFile;
  runtime::Runtime& runtime;
  screens::Dialogs& dialogs;
  // The save dialog for one kind of file; nothing when cancelled.
  std::function<std::optional<std::filesystem::path>(const FileKind& kind)> askFile;
  // What the visit history says of the detectors found, for the HTML's follow-up columns and
  // the CSV's last two.
  FollowUps followUps;
};

void saveTextReport(const ReportContext& context);
void saveHtmlReport(const ReportContext& context);
void saveCsvReport(const ReportContext& context);

std::optional<std::string> customerPage(const ReportContext& context, std::string& error);

}  // namespace korvane::reports
