#pragma once
// A detector's past visits, from the visit history, and what they say about the next one.
//
//   PastVisit    one visit that judged the detector, as the history gives it back
//   dueDate      when the least-squares line through the visits' percentages reaches 70 %,
//                the replacement threshold. It needs at least two visits spanning at least
//                30 days; a line that does not rise, or would take more than 50 years to get
//                there, is no measurable drift
//   dueText      "12/03/2028", "Pas de dérive mesurable" or "Historique insuffisant"
//   kDueTip      how it is computed, for the window's tooltip
//   followUpOf   the follow-up of a point's serial, none for a serial that could not be read
//   followUp     for the reports: the previous visit (the latest not made by the run the table
//                shows, `currentRun`) and the date due over all of them
//   showHistory  the parameter window's history panel, from the detector's visits
//   shortDate    "06/12/2026"
//   visitPercent a visit's percentage as the reports write a judged point's (percentText)
//   dueCell      the date due as the reports give it: nothing while the history is too short
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "runtime/runtime.h"
#include "screens/param_window.h"

namespace korvane::reports {

struct PastVisit {
  std::int64_t run = 0;  // the history's number of the run that made it
  runtime::Date date;
  runtime::TimeOfDay time;
  double percent = 0;
  std::string verdict;
  std::optional<int> temperature;
};

enum class Due { kTooShort, kNoDrift, kOn };

struct DueDate {
  Due due = Due::kTooShort;
  runtime::Date date;  // kOn only
};

inline constexpr double kReplacePercent = 70;
inline constexpr double kMinimumSpanDays = 30;
inline constexpr double kLongestYears = 50;
extern const char* const kDueTip;

DueDate dueDate(const std::vector<PastVisit>& visits);
std::string dueText(const DueDate& due);

struct FollowUp {
  std::optional<PastVisit> previous;
  DueDate due;
};
// By serial number.
using FollowUps = std::map<std::string, FollowUp>;

FollowUp followUp(const std::vector<PastVisit>& visits, std::int64_t currentRun);
const FollowUp* followUpOf(const FollowUps& followUps, const std::string& serial);

void showHistory(screens::HistoryPanel& panel, const std::string& serial,
                 const std::vector<PastVisit>& visits);

std::string shortDate(const runtime::Date& date);
std::string visitPercent(double percent, int decimals);
std::string dueCell(const DueDate& due);

}  // namespace korvane::reports
