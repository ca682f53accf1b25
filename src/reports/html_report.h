#pragma once
// The HTML report: the customer's maintenance report, made from the company's template
// ("para3.fin", Windows-1252). Each template line is written with its placeholders replaced
// and CR LF after it:
//
//   %%date%%  %%heure%%            mm-dd-yyyy, hh:mm:ss
//   %%date_longue%%                "6 décembre 2026", the date a French reader cannot misread
//   %%logo%%  %%background%%       the pictures (report_images.h)
//   %%societe%%  %%site%%          the typed company and site, "Non Renseigné" when empty
//   %%adresse%%  %%commentaires%%  the typed address and comments, lines joined by "</br>"
//   %%liste_produits%%             one table row per point found (the demonstration loop
//                                  first when none was found):
//     <tr align="center"><td>1</td><td>product</td><td>serial</td><td>category</td>
//     <td>temperature</td><td>bar 42</td><td>verdict</td></tr>     (one line, no spaces)
//   %%liste_produits_suivi%%       the same rows with two more cells from the visit history:
//                                  the previous visit's percentage and date, "45 (06/12/2025)",
//                                  and the date due (follow_up.h); empty for a detector
//                                  without history. A company's template keeps its seven
//                                  columns with %%liste_produits%%
//   %%demonstration%%              "Démonstration" when those rows are the demonstration loop,
//                                  nothing otherwise; a template without it gets a first row
//                                  that says so instead
//
// The percentage is the whole number, or "20,5" where the whole number would read as another
// verdict than the one judged on the exact value.
//
// Everything that comes from the technician or from the loop is escaped (& < > "), so a
// company called "Dupont & Fils" or a comment holding markup prints as typed, and what
// Windows-1252 cannot hold is written as a character reference ("&#x1EC5;"). Only the
// template's own text is searched for placeholders: a typed text that holds one stays as typed.
// A point the analysis did not judge gets empty chamber and verdict cells, a heat element it
// did not measure an empty temperature cell.
#include <string>
#include <string_view>

#include "engine/bus_state.h"
#include "reports/follow_up.h"
#include "reports/report_images.h"
#include "runtime/runtime.h"
#include "screens/report_window.h"

namespace korvane::reports {

std::string htmlReport(std::string_view templateText, const screens::ReportWindow& form,
                       engine::BusState& state, const ReportImages& images,
                       const runtime::Date& date, const runtime::TimeOfDay& time,
                       const FollowUps& followUps = {});

// The rows of %%liste_produits%%, UTF-8; with `followUps`, those of %%liste_produits_suivi%%.
std::string productRows(engine::BusState& state, const ReportImages& images,
                        const FollowUps* followUps = nullptr);

std::string escapeHtml(std::string_view text);

}  // namespace korvane::reports
