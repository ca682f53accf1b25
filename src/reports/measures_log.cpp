#include "reports/measures_log.h"

#include <optional>
#include <string_view>

#include "text/cp1252.h"
#include "text/replace_file.h"

namespace korvane::reports {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::string logText(const std::vector<std::string>& lines) {
  std::string text;
  auto put = [&text](std::string_view line) {
    text += text::utf8ToCp1252(line);
    text += kLineEnd;
  };
  if (!lines.empty()) {
    put("");
    for (const std::string& line : lines)
      put(line);
    put("");
    put(kMeasuresLogSeparator);
  }
  put("Nb de points : " + std::to_string(lines.size()));
  return text;
}

std::string displayName(const fs::path& file) {
  const std::u8string name = file.u8string();
  return {reinterpret_cast<const char*>(name.data()), name.size()};
}

}  // namespace

bool saveMeasuresLog(const fs::path& file, const std::vector<std::string>& lines,
                     std::string& error) {
  try {
    const std::optional<text::WriteTarget> target = text::writableTarget(file);
    if (target && text::replaceFile(*target, logText(lines))) return true;
    error = "Impossible d'enregistrer le fichier " + displayName(file) + ".";
  } catch (...) {
    error = "Impossible d'enregistrer le fichier.";
  }
  return false;
}

}  // namespace korvane::reports
