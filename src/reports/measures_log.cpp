#include "reports/measures_log.h"

#include "reports/report_file.h"

namespace korvane::reports {

bool saveMeasuresLog(const std::filesystem::path& file, const std::vector<std::string>& lines,
                     std::string& error) {
  return saveReportFile(file, countedListing(lines), error);
}

}  // namespace korvane::reports
