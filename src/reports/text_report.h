#pragma once
// The text report ("Sauvegarder" of the report window): what was typed and the listing, for
// the technician's records. Windows-1252, CR LF; a letter it has no byte for loses its accents
// ("Nguyễn" gives "Nguyen"), any other such character becomes '?':
//
//   (empty line)
//   (empty line)
//   ------------------------------------
//   12-06-2026 / 14:05:09                     mm-dd-yyyy / hh:mm:ss
//   Société de Maintenance : <Text2>
//   Site : <Text3>
//   Adresse : <Text4>                          its own lines follow
//   Commentaires
//   <Text1>
//   ------------------------------------
//   the listing block and "Nb de points : " (report_file.h)
#include <string>

#include "runtime/runtime.h"
#include "screens/report_window.h"

namespace korvane::reports {

std::string textReport(const screens::ReportWindow& form, const runtime::Date& date,
                       const runtime::TimeOfDay& time);

}  // namespace korvane::reports
