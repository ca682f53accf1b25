#pragma once
// What the tool's text files have in common.
//
//   kSeparator       the 36 hyphens that close a block
//   countedListing   the listing block and its count, Windows-1252 with CR LF:
//                      (empty line), every line, (empty line), separator   only when there are
//                      lines "Nb de points : " and the number of lines
//   saveReportFile   the bytes replace the file whole, never leaving it half written; on
//                    failure false, with `error` the message to show, and the file untouched
//   withSuffix       a file chosen in a save dialog, with the kind's extension when it has
//                    none: a dialog that adds none would write a web page called "rapport"
//   pathText         a path as UTF-8, for messages
//   percentText      a judged point's percentage with a decimal comma: `decimals` of them at
//                    least (0: the whole number Adr_Taux), and one or two more wherever fewer
//                    would read as another verdict than the one judged on the exact value
//                    (20.4 % is not "20", 70.04 % is not "70,0")
//   dateText         "mm-dd-yyyy", the reports' date
//   longDateText     "6 décembre 2026", "1er mai 2027": the date as a French reader reads it
//   timeText         "hh:mm:ss", 24-hour clock
//   crLf             a typed text with its line breaks as CR LF, whatever the window gave
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/point_table.h"
#include "runtime/runtime.h"

namespace korvane::reports {

inline constexpr std::string_view kSeparator = "------------------------------------";
inline constexpr std::string_view kCrLf = "\r\n";

// What a save dialog offers: its filter and the suffix it adds to a name typed without one.
struct FileKind {
  std::string filter;
  std::string suffix;
};
inline const FileKind kTextFile{"Rapport texte (*.txt)", "txt"};
inline const FileKind kHtmlFile{"Page web (*.html)", "html"};
inline const FileKind kCsvFile{"Tableur CSV (*.csv)", "csv"};

std::string countedListing(const std::vector<std::string>& lines);
bool saveReportFile(const std::filesystem::path& file, std::string_view bytes, std::string& error);
std::filesystem::path withSuffix(std::filesystem::path file, const FileKind& kind);
std::string pathText(const std::filesystem::path& file);
std::string percentText(const engine::Point& p, int decimals);
std::string dateText(const runtime::Date& date);
std::string longDateText(const runtime::Date& date);
std::string timeText(const runtime::TimeOfDay& time);
std::string crLf(std::string_view text);

}  // namespace korvane::reports
