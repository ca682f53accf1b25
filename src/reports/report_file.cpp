#include "reports/report_file.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>

#include "text/cp1252.h"
#include "text/replace_file.h"

namespace korvane::reports {

std::string countedListing(const std::vector<std::string>& lines) {
  std::string text;
  auto put = [&text](std::string_view line) {
    text += text::utf8ToCp1252(line, text::Unmappable::kBaseLetter);
    text += kCrLf;
  };
  if (!lines.empty()) {
    put("");
    for (const std::string& line : lines)
      put(line);
    put("");
    put(kSeparator);
  }
  put("Nb de points : " + std::to_string(lines.size()));
  return text;
}

std::filesystem::path withSuffix(std::filesystem::path file, const FileKind& kind) {
  if (!file.has_extension() && !file.filename().empty()) file += "." + kind.suffix;
  return file;
}

std::string pathText(const std::filesystem::path& file) {
  const std::u8string name = file.u8string();
  return {reinterpret_cast<const char*>(name.data()), name.size()};
}

namespace {

int verdictLevel(double percent) {
  return percent <= 20 ? 0 : percent <= 70 ? 1 : 2;
}

}  // namespace

std::string percentText(const engine::Point& p, int decimals) {
  const double exact = p.Adr_Taux_Exact;
  // An exact value that is not this point's (a table filled from elsewhere): the whole number.
  if (!(std::abs(exact - p.Adr_Taux) <= 0.5)) return std::to_string(p.Adr_Taux);
  if (decimals == 0 && verdictLevel(exact) == verdictLevel(p.Adr_Taux))
    return std::to_string(p.Adr_Taux);
  long long scale = 1;
  long long scaled = 0;
  for (int d = 1; d <= std::max(decimals, 1) + 2; ++d) {
    scale *= 10;
    scaled = std::llround(exact * static_cast<double>(scale));
    if (d >= decimals && verdictLevel(static_cast<double>(scaled) / static_cast<double>(scale)) ==
                             verdictLevel(exact))
      break;
  }
  std::string fraction = std::to_string(scaled % scale);
  fraction.insert(0, std::to_string(scale).size() - 1 - fraction.size(), '0');
  return std::to_string(scaled / scale) + "," + fraction;
}

std::string dateText(const runtime::Date& date) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d-%02d-%04d", date.month, date.day, date.year);
  return text;
}

std::string longDateText(const runtime::Date& date) {
  static constexpr std::array<std::string_view, 12> kMonths{
      "janvier", "février", "mars",      "avril",   "mai",      "juin",
      "juillet", "août",    "septembre", "octobre", "novembre", "décembre"};
  if (date.month < 1 || date.month > 12) return dateText(date);
  std::string text = std::to_string(date.day);
  if (date.day == 1) text += "er";
  text += ' ';
  text += kMonths[static_cast<std::size_t>(date.month - 1)];
  return text + ' ' + std::to_string(date.year);
}

std::string timeText(const runtime::TimeOfDay& time) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", time.hours, time.minutes, time.seconds);
  return text;
}

std::string crLf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += kCrLf;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool saveReportFile(const std::filesystem::path& file, std::string_view bytes, std::string& error) {
  try {
    const std::optional<text::WriteTarget> target = text::writableTarget(file);
    if (target && text::replaceFile(*target, bytes)) return true;
    error = "Impossible d'enregistrer le fichier " + pathText(file) + ".";
  } catch (...) {
    error = "Impossible d'enregistrer le fichier.";
  }
  return false;
}

}  // namespace korvane::reports
