#include "reports/follow_up.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/point_table.h"
#include "engine/visit.h"
#include "reports/report_file.h"

namespace korvane::reports {

using runtime::dateOfDay;
using runtime::dayNumber;

const char* const kDueTip =
    "Droite des moindres carrés passant au plus près des encrassements mesurés à chaque "
    "visite : la date est celle où elle atteint 70 %, le seuil de remplacement. Il faut au "
    "moins deux visites à 30 jours d'écart au moins. « Pas de dérive mesurable » : "
    "l'encrassement ne monte pas, ou si lentement qu'il n'atteindrait pas 70 % en 50 ans.";

namespace {

double when(const PastVisit& v) {
  return static_cast<double>(dayNumber(v.date)) + v.time.secondsSinceMidnight() / 86400.0;
}

struct Line {
  double slope;  // percent per day
  double meanX;
  double meanY;
  double last;  // the latest visit
};

std::optional<Line> leastSquares(const std::vector<PastVisit>& visits) {
  if (visits.size() < 2) return std::nullopt;
  double first = when(visits.front());
  double last = first;
  double sumX = 0;
  double sumY = 0;
  for (const PastVisit& v : visits) {
    first = std::min(first, when(v));
    last = std::max(last, when(v));
    sumX += when(v);
    sumY += v.percent;
  }
  if (last - first < kMinimumSpanDays) return std::nullopt;
  const double n = static_cast<double>(visits.size());
  const Line line{0, sumX / n, sumY / n, last};
  double sxy = 0;
  double sxx = 0;
  for (const PastVisit& v : visits) {
    sxy += (when(v) - line.meanX) * (v.percent - line.meanY);
    sxx += (when(v) - line.meanX) * (when(v) - line.meanX);
  }
  return Line{sxy / sxx, line.meanX, line.meanY, last};
}

DueDate dueOn(const std::optional<Line>& line) {
  if (!line) return {};
  if (!(line->slope > 0)) return {Due::kNoDrift, {}};
  const double at = line->meanX + (kReplacePercent - line->meanY) / line->slope;
  if (at - line->last > kLongestYears * 365.25) return {Due::kNoDrift, {}};
  return {Due::kOn, dateOfDay(static_cast<std::int64_t>(std::floor(at)))};
}

}  // namespace

std::string visitPercent(double percent, int decimals) {
  engine::Point p;
  p.Adr_Taux = static_cast<std::int16_t>(std::lround(std::clamp(percent, 0.0, 100.0)));
  p.Adr_Taux_Exact = percent;
  return percentText(p, decimals);
}

std::string dueCell(const DueDate& due) {
  return due.due == Due::kTooShort ? std::string() : dueText(due);
}

std::string shortDate(const runtime::Date& date) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d", date.day, date.month, date.year);
  return text;
}

DueDate dueDate(const std::vector<PastVisit>& visits) {
  return dueOn(leastSquares(visits));
}

std::string dueText(const DueDate& due) {
  switch (due.due) {
    case Due::kOn:
      return shortDate(due.date);
    case Due::kNoDrift:
      return "Pas de dérive mesurable";
    case Due::kTooShort:
      break;
  }
  return "Historique insuffisant";
}

FollowUp followUp(const std::vector<PastVisit>& visits, std::int64_t currentRun) {
  FollowUp f;
  for (const PastVisit& v : visits) {
    if (v.run == currentRun) continue;
    if (!f.previous || when(v) >= when(*f.previous)) f.previous = v;
  }
  f.due = dueDate(visits);
  return f;
}

const FollowUp* followUpOf(const FollowUps& followUps, const std::string& serial) {
  if (!engine::followsDetector(serial)) return nullptr;
  const auto it = followUps.find(serial);
  return it != followUps.end() ? &it->second : nullptr;
}

void showHistory(screens::HistoryPanel& panel, const std::string& serial,
                 const std::vector<PastVisit>& visits) {
  panel = screens::HistoryPanel();
  panel.visible = true;
  panel.serial = serial;
  panel.dueTip = kDueTip;
  std::vector<const PastVisit*> order;
  for (const PastVisit& v : visits)
    order.push_back(&v);
  std::stable_sort(order.begin(), order.end(),
                   [](const PastVisit* a, const PastVisit* b) { return when(*a) < when(*b); });
  const auto line = leastSquares(visits);
  const DueDate due = dueOn(line);
  panel.due = "Prochaine échéance : " + dueText(due);
  if (order.empty()) return;
  const double first = when(*order.front());
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    const PastVisit& v = **it;
    panel.rows.push_back({shortDate(v.date), visitPercent(v.percent, 0), v.verdict,
                          v.temperature ? std::to_string(*v.temperature) : ""});
  }
  for (const PastVisit* v : order)
    panel.points.emplace_back(when(*v) - first, v->percent);
  panel.firstDate = shortDate(order.front()->date);
  panel.lastDate = shortDate(order.back()->date);
  if (due.due == Due::kOn) {
    const double end = std::max(static_cast<double>(dayNumber(due.date)), when(*order.back()));
    const auto at = [&](double x) { return line->meanY + line->slope * (x - line->meanX); };
    panel.trend = {{0, at(first)}, {end - first, at(end)}};
    panel.lastDate = shortDate(dateOfDay(static_cast<std::int64_t>(end)));
  }
}

}  // namespace korvane::reports
