#include "reports/csv_report.h"

#include <initializer_list>
#include <string_view>

#include "reports/report_file.h"

namespace korvane::reports {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// A field as written: quoted when it holds a separator, a quote or a line break.
void field(std::string& csv, std::string_view text) {
  if (text.find_first_of(";\"\r\n") == std::string_view::npos) {
    csv += text;
    return;
  }
  csv += '"';
  for (char c : text) {
    if (c == '"') csv += '"';
    csv += c;
  }
  csv += '"';
}

void row(std::string& csv, std::initializer_list<std::string_view> fields) {
  bool first = true;
  for (std::string_view text : fields) {
    if (!first) csv += ';';
    first = false;
    field(csv, text);
  }
  csv += "\r\n";
}

}  // namespace

std::string csvReport(const engine::BusState& state, const FollowUps& followUps) {
  std::string csv(kByteOrderMark);
  row(csv, {"Adresse", "Produit", "N° de série", "Catégorie", "Température (°C)",
            "Encrassement (%)", "Verdict", "Encrassement précédent (%)", "Échéance prévue"});
  for (int i = 1; i <= state.Nb_Trouve; ++i) {
    const engine::Point& p = state.points[i];
    const bool judged = engine::hasVerdict(p);
    const FollowUp* f = followUpOf(followUps, p.Adr_Serie);
    row(csv,
        {std::to_string(i), p.Adr_Produit, p.Adr_Serie, p.Adr_Categorie,
         engine::hasTemperature(p) ? std::to_string(p.Adr_Temperature) : "",
         judged ? percentText(p, 1) : "", judged ? p.Adr_Verdict : "",
         f && f->previous ? visitPercent(f->previous->percent, 1) : "", f ? dueCell(f->due) : ""});
  }
  return csv;
}

}  // namespace korvane::reports
