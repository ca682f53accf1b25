#pragma once
// What a search or a measurement run leaves for the visit history: plain records, made by the
// engine when the search ends or the run stops and handed to whoever keeps the history (it
// sits beside the windows; BusEngine::onVisit).
//
//   searchVisit     the points a search found that have a readable serial number: address,
//                   serial, product and category, no result
//   analysisVisit   the points the run judged that have a readable serial number, with what
//                   the verdict stood on: initial value, alarm threshold, chamber mean, exact
//                   percentage, verdict, and the temperature when it was measured
//   followsDetector  a serial number that names one detector for its whole life: not empty and
//                   not the "???" of a serial that could not be read
//
// Both take the date, time, company and site of the report window as given.
#include <optional>
#include <string>
#include <vector>

#include "engine/bus_state.h"
#include "runtime/runtime.h"

namespace korvane::engine {

enum class VisitKind { kSearch, kAnalysis };

struct VisitPoint {
  int address = 0;
  std::string serial;
  std::string product;
  std::string category;
  // The analysis only.
  int initial = 0;
  int alarm = 0;
  int mean = 0;
  double percent = 0;
  std::string verdict;
  std::optional<int> temperature;
};

struct Visit {
  VisitKind kind = VisitKind::kSearch;
  runtime::Date date;
  runtime::TimeOfDay time;
  std::string company;
  std::string site;
  std::vector<VisitPoint> points;
};

bool followsDetector(const std::string& serial);

Visit searchVisit(const BusState& state);
Visit analysisVisit(const BusState& state);

}  // namespace korvane::engine
