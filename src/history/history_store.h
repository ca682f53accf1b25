#pragma once
// The visit history: every detector's results across visits, kept in one SQLite file through
// Qt's SQL module, so that a technician back on a site sees how each chamber has drifted since
// the last time. Nothing leaves the machine.
//
//   HistoryStore   on `file` (korvane-historique.sqlite); nothing is opened before the first
//                  use
//   record         one search's or run's records (engine/visit.h) in one transaction. Gives
//                  the run's number, or nothing with `problem` the message to show: the results
//                  stay on screen and in the reports, only the history misses them. A visit
//                  without any point writes nothing: nothing, and `problem` empty
//   visitsOf       a detector's judged visits, the oldest first
//   followUps      for each serial given, its previous visit (the latest not made by run
//                  `currentRun`) and the date due (reports/follow_up.h)
//   revision       goes up with every run written: a window shows a history again when it
//                  changes
//   problem        left empty by a call that succeeds (visitsOf, followUps: nothing found)
//   takeNotices    what the technician is to be told once, then forgotten: a damaged file
//                  moved aside
//
// Opening: a file that is not a database, or fails SQLite's quick check, is renamed beside
// itself with "-endommage-" and the date in its name (and a number when that name is taken),
// a new history starts, and a notice says where the old one is. A file another program holds
// locked, or cannot be read, is not damaged: it is left as it is and the call fails. A file
// written by a later Korvane (a schema version above this one's) is neither read nor written.
// The schema has a version table; every version since the first is brought up to this one's
// by its migrations, each in its transaction.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/visit.h"
#include "reports/follow_up.h"

namespace korvane::history {

inline constexpr const char* kHistoryFile = "korvane-historique.sqlite";
inline constexpr int kSchemaVersion = 2;

class HistoryStore {
 public:
  explicit HistoryStore(std::filesystem::path file);
  ~HistoryStore();
  HistoryStore(const HistoryStore&) = delete;
  HistoryStore& operator=(const HistoryStore&) = delete;

  std::optional<std::int64_t> record(const engine::Visit& visit, std::string& problem);
  std::vector<reports::PastVisit> visitsOf(const std::string& serial, std::string& problem);
  reports::FollowUps followUps(const std::vector<std::string>& serials, std::int64_t currentRun,
                               std::string& problem);

  int revision() const { return revision_; }
  std::vector<std::string> takeNotices();
  const std::filesystem::path& file() const { return file_; }

  // Opens the file, sets a damaged one aside, brings the schema up; `reason` says why not.
  // A failure is not kept: the next call tries again. The calls above open it when they need
  // it; the application opens it at its start, so that checking a file grown over years
  // costs the first parameter window nothing.
  bool open(std::string& reason);

 private:
  // After a failure: the next call opens the file again.
  void close();
  // The visits of each serial, through one prepared query.
  bool read(const std::vector<std::string>& serials, std::string& problem,
            const std::function<void(const std::string& serial,
                                     std::vector<reports::PastVisit>& visits)>& take);

  std::filesystem::path file_;
  std::string connection_;  // this store's own Qt SQL connection name
  bool opened_ = false;
  int revision_ = 0;
  std::vector<std::string> notices_;
};

}  // namespace korvane::history
