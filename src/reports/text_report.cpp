#include "reports/text_report.h"

#include "reports/report_file.h"
#include "text/cp1252.h"

namespace korvane::reports {

std::string textReport(const screens::ReportWindow& form, const runtime::Date& date,
                       const runtime::TimeOfDay& time) {
  std::string text;
  auto put = [&text](std::string_view line) {
    text += text::utf8ToCp1252(crLf(line), text::Unmappable::kBaseLetter);
    text += kCrLf;
  };
  put("");
  put("");
  put(kSeparator);
  put(dateText(date) + " / " + timeText(time));
  put("Société de Maintenance : " + form.Text2);
  put("Site : " + form.Text3);
  put("Adresse : " + form.Text4);
  put("Commentaires");
  put(form.Text1);
  put(kSeparator);
  return text + countedListing(form.List1.lines);
}

}  // namespace korvane::reports
