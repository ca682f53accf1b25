#pragma once
// What the report window's two save buttons do, with the window's file dialog and message boxes
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
//
// Both write through a temporary file renamed over the target when complete. Both open modal
// boxes: the window runs them between engine steps.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "engine/bus_state.h"
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
};

void saveTextReport(const ReportContext& context);
void saveHtmlReport(const ReportContext& context);

}  // namespace korvane::reports
