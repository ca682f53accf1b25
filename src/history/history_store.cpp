#include "history/history_store.h"

#include <QDate>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <atomic>
#include <cstdio>
#include <functional>
#include <set>
#include <system_error>
#include <utility>

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace korvane::history {

namespace fs = std::filesystem;

namespace {

// SQLite's result codes, as QSqlError::nativeErrorCode() gives them: the primary code, or an
// extended one that carries it in its low byte.
enum SqliteCode {
  kPerm = 3,
  kBusy = 5,
  kLocked = 6,
  kReadOnly = 8,
  kIoErr = 10,
  kCorrupt = 11,
  kFull = 13,
  kCantOpen = 14,
  kAuth = 23,
  kNotADb = 26,
  kReadOnlyDirectory = kReadOnly | 6 << 8,
};

int codeOf(const QSqlError& error) {
  bool ok = false;
  const int code = error.nativeErrorCode().toInt(&ok);
  return ok ? code : 0;
}

bool isDamage(const QSqlError& error) {
  const int code = codeOf(error) & 0xFF;
  return code == kCorrupt || code == kNotADb;
}

std::string utf8(const fs::path& path) {
  const std::u8string name = path.u8string();
  return {reinterpret_cast<const char*>(name.data()), name.size()};
}

QString qPath(const fs::path& path) {
  const std::string name = utf8(path);
  return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

QString qText(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string quoted(const fs::path& path) {
  return "« " + utf8(path) + " »";
}

fs::path folderOf(const fs::path& file) {
  return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

// A write that failed for room rather than for a fault: the disk nearly full, or the file as
// large as this process may make files (a quota set on it).
bool outOfRoom(const fs::path& file) {
  constexpr std::uintmax_t kMargin = 1 << 20;
  std::error_code failed;
  const fs::space_info space = fs::space(folderOf(file), failed);
  if (!failed && space.available < kMargin) return true;
#ifndef _WIN32
  rlimit sizes{};
  if (getrlimit(RLIMIT_FSIZE, &sizes) == 0 && sizes.rlim_cur != RLIM_INFINITY) {
    const std::uintmax_t size = fs::file_size(file, failed);
    if (sizes.rlim_cur < (failed ? 0 : size) + kMargin) return true;
  }
#endif
  return false;
}

// What went wrong, in the words of a message box: short, and saying what to do about it
// where the technician can.
std::string reasonOf(const QSqlError& error, const fs::path& file) {
  const fs::path folder = folderOf(file);
  std::error_code ignored;
  const int code = codeOf(error);
  if (code == kReadOnlyDirectory)
    return "le dossier " + quoted(folder) + " n'est pas accessible en écriture";
  switch (code & 0xFF) {
    case kFull:
      return "disque plein";
    case kIoErr:
      if (outOfRoom(file)) return "disque plein";
      break;
    case kBusy:
    case kLocked:
      return "le fichier " + quoted(file) + " est occupé par un autre programme";
    case kPerm:
    case kReadOnly:
    case kCantOpen:
    case kAuth:
      if (!fs::is_directory(folder, ignored))
        return "le dossier " + quoted(folder) + " est introuvable";
      if (!fs::exists(file, ignored))
        return "le dossier " + quoted(folder) + " n'est pas accessible en écriture";
      return "le fichier " + quoted(file) + " n'est pas accessible en écriture";
    default:
      break;
  }
  const QString text = error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
  return text.toStdString();
}

std::string writeProblem(const std::string& reason) {
  return "L'historique des visites n'a pas été écrit (" + reason +
         "). Les résultats restent à l'écran et dans les rapports.";
}

std::string readProblem(const std::string& reason) {
  return "L'historique des visites n'a pas pu être lu (" + reason + ").";
}

// Each migration brings the file from the version before it to its own.
struct Migration {
  int version;
  std::vector<const char*> statements;
};

const std::vector<Migration>& migrations() {
  static const std::vector<Migration> all{
      {1,
       {"CREATE TABLE version (numero INTEGER NOT NULL)",
        "CREATE TABLE runs (id INTEGER PRIMARY KEY, kind TEXT NOT NULL, date TEXT NOT NULL, "
        "time TEXT NOT NULL, company TEXT, site TEXT)",
        "CREATE TABLE points (run INTEGER NOT NULL REFERENCES runs(id), address INTEGER, "
        "serial TEXT NOT NULL, product TEXT, category TEXT, initial INTEGER, alarm INTEGER, "
        "mean INTEGER, percent REAL, verdict TEXT, temperature INTEGER NULL)"}},
      // One detector's visits without reading every point of every site.
      {2, {"CREATE INDEX points_serial ON points(serial, run)"}},
  };
  return all;
}

// The visits of the serial bound to `query`, the oldest first.
const char* const kVisitsQuery =
    "SELECT r.id, r.date, r.time, p.percent, p.verdict, p.temperature FROM points p "
    "JOIN runs r ON r.id = p.run WHERE p.serial = ? AND r.kind = 'analyse' "
    "AND p.percent IS NOT NULL ORDER BY r.date, r.time, r.id";

runtime::Date dateOf(const QString& text) {  // YYYY-MM-DD
  return {text.mid(0, 4).toInt(), text.mid(5, 2).toInt(), text.mid(8, 2).toInt()};
}

runtime::TimeOfDay timeOf(const QString& text) {  // HH:MM:SS
  return {text.mid(0, 2).toInt(), text.mid(3, 2).toInt(), text.mid(6, 2).toInt()};
}

QString dateText(const runtime::Date& d) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
  return QString::fromLatin1(text);
}

QString timeText(const runtime::TimeOfDay& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hours, t.minutes, t.seconds);
  return QString::fromLatin1(text);
}

bool readVisits(QSqlQuery& query, const std::string& serial,
                std::vector<reports::PastVisit>& visits) {
  query.bindValue(0, qText(serial));
  if (!query.exec()) return false;
  while (query.next()) {
    reports::PastVisit v;
    v.run = query.value(0).toLongLong();
    v.date = dateOf(query.value(1).toString());
    v.time = timeOf(query.value(2).toString());
    v.percent = query.value(3).toDouble();
    v.verdict = query.value(4).toString().toStdString();
    if (!query.value(5).isNull()) v.temperature = query.value(5).toInt();
    visits.push_back(std::move(v));
  }
  query.finish();
  return true;
}

// A name beside `file` that nothing holds yet: NAME-endommage-DATE.sqlite, then -2, -3...
fs::path asideName(const fs::path& file) {
  const QDate today = QDate::currentDate();
  char dated[64];
  std::snprintf(dated, sizeof dated, "-endommage-%04d-%02d-%02d", today.year(), today.month(),
                today.day());
  for (int n = 1;; ++n) {
    fs::path aside = file.parent_path() / file.stem();
    aside += dated;
    if (n > 1) {
      aside += '-';
      aside += std::to_string(n);
    }
    aside += file.extension();
    std::error_code ignored;
    if (!fs::exists(aside, ignored)) return aside;
  }
}

std::atomic<int> connections{0};

// Opens the connection, checks the file and brings its schema up to this version. On failure,
// `damage` holds the error when the file is not a sound database.
bool prepareFile(QSqlDatabase& db, const fs::path& file, std::optional<QSqlError>& damage,
                 std::string& reason) {
  if (!db.isValid()) {  // Qt's SQLite plugin is a package of its own
    reason = "le module SQLite de Qt (QSQLITE) est introuvable";
    return false;
  }
  if (!db.isOpen() && !db.open()) {
    reason = reasonOf(db.lastError(), file);
    return false;
  }
  QSqlQuery query(db);
  const auto failed = [&] {
    const QSqlError error = query.lastError();
    if (isDamage(error)) damage = error;
    reason = reasonOf(error, file);
    return false;
  };
  const auto version = [&]() -> std::optional<int> {
    if (!query.exec(
            "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'version'") ||
        !query.next())
      return std::nullopt;
    if (query.value(0).toInt() == 0) return 0;
    if (!query.exec("SELECT max(numero) FROM version") || !query.next()) return std::nullopt;
    return query.value(0).toInt();
  };

  const std::optional<int> found = version();
  if (!found) return failed();
  // A later Korvane's file: its meaning is unknown here, so not even a check reads it.
  if (*found > kSchemaVersion) {
    reason = "le fichier " + quoted(file) +
             " vient d'une version plus récente de Korvane et reste tel quel";
    return false;
  }
  if (!query.exec("PRAGMA quick_check") || !query.next()) return failed();
  if (query.value(0).toString() != "ok") {
    damage = QSqlError();
    reason = "fichier endommagé";
    return false;
  }
  query.finish();

  // Each step in its own transaction, the version read again inside it: another Korvane may
  // have brought the file up in between. An up-to-date file is not written at all, so that a
  // read-only one can still be read.
  for (const Migration& step : migrations()) {
    if (*found >= step.version) continue;
    if (!query.exec("BEGIN IMMEDIATE")) return failed();
    const std::optional<int> now = version();
    bool done = now.has_value();
    if (done && *now < step.version) {
      for (const char* statement : step.statements)
        done = done && query.exec(statement);
      done =
          done && query.exec("DELETE FROM version") &&
          query.exec("INSERT INTO version (numero) VALUES (" + QString::number(step.version) + ")");
    }
    if (!done || !query.exec("COMMIT")) {
      const QSqlError error = query.lastError();
      query.exec("ROLLBACK");
      if (isDamage(error)) damage = error;
      reason = reasonOf(error, file);
      return false;
    }
  }
  return true;
}

// One visit in one transaction; an invalid error when it is written.
QSqlError write(const QSqlDatabase& db, const engine::Visit& visit, std::int64_t& run) {
  QSqlQuery query(db);
  const bool analysis = visit.kind == engine::VisitKind::kAnalysis;
  bool done =
      query.exec("BEGIN IMMEDIATE") &&
      query.prepare("INSERT INTO runs (kind, date, time, company, site) VALUES (?, ?, ?, ?, ?)");
  if (done) {
    query.addBindValue(analysis ? QStringLiteral("analyse") : QStringLiteral("recherche"));
    query.addBindValue(dateText(visit.date));
    query.addBindValue(timeText(visit.time));
    query.addBindValue(qText(visit.company));
    query.addBindValue(qText(visit.site));
    done = query.exec();
  }
  if (done) run = query.lastInsertId().toLongLong();
  done = done && query.prepare(
                     "INSERT INTO points (run, address, serial, product, category, initial, "
                     "alarm, mean, percent, verdict, temperature) "
                     "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  const QVariant none;
  for (auto p = visit.points.begin(); done && p != visit.points.end(); ++p) {
    query.bindValue(0, QVariant(static_cast<qlonglong>(run)));
    query.bindValue(1, p->address);
    query.bindValue(2, qText(p->serial));
    query.bindValue(3, qText(p->product));
    query.bindValue(4, qText(p->category));
    query.bindValue(5, analysis ? QVariant(p->initial) : none);
    query.bindValue(6, analysis ? QVariant(p->alarm) : none);
    query.bindValue(7, analysis ? QVariant(p->mean) : none);
    query.bindValue(8, analysis ? QVariant(p->percent) : none);
    query.bindValue(9, analysis ? QVariant(qText(p->verdict)) : none);
    query.bindValue(10, analysis && p->temperature ? QVariant(*p->temperature) : none);
    done = query.exec();
  }
  if (done && query.exec("COMMIT")) return {};
  const QSqlError error = query.lastError();
  query.exec("ROLLBACK");
  return error;
}

}  // namespace

HistoryStore::HistoryStore(std::filesystem::path file)
    : file_(std::move(file)), connection_("korvane-historique-" + std::to_string(++connections)) {}

HistoryStore::~HistoryStore() {
  const QString name = QString::fromStdString(connection_);
  if (!QSqlDatabase::contains(name)) return;
  QSqlDatabase::database(name, false).close();
  QSqlDatabase::removeDatabase(name);
}

std::vector<std::string> HistoryStore::takeNotices() {
  return std::exchange(notices_, {});
}

bool HistoryStore::open(std::string& reason) {
  if (opened_) return true;
  const QString name = QString::fromStdString(connection_);
  if (!QSqlDatabase::contains(name)) {
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
    db.setDatabaseName(qPath(file_));
    // Another Korvane writing the same file holds it a few milliseconds.
    db.setConnectOptions("QSQLITE_BUSY_TIMEOUT=2000");
  }
  QSqlDatabase db = QSqlDatabase::database(name, false);
  for (bool movedAside = false;;) {
    std::optional<QSqlError> damage;
    if (!prepareFile(db, file_, damage, reason)) {
      db.close();
      if (!damage || movedAside) return false;
      // Set the damaged file aside, with the journal that belongs to it: left beside a new
      // file, SQLite would play it back into that one.
      const fs::path aside = asideName(file_);
      std::error_code failed;
      fs::rename(file_, aside, failed);
      if (failed) {
        reason = "le fichier " + quoted(file_) + " est endommagé et n'a pas pu être renommé";
        return false;
      }
      for (const char* companion : {"-journal", "-wal", "-shm"}) {
        fs::path from = file_, to = aside;
        from += companion;
        to += companion;
        if (fs::exists(from, failed)) fs::rename(from, to, failed);
      }
      notices_.push_back("L'historique des visites était endommagé. Il a été mis de côté sous " +
                         quoted(aside) + " et un nouvel historique commence.");
      movedAside = true;
      continue;
    }
    opened_ = true;
    return true;
  }
}

std::optional<std::int64_t> HistoryStore::record(const engine::Visit& visit, std::string& problem) {
  problem.clear();
  if (visit.points.empty()) return std::nullopt;
  for (bool again = opened_;; again = false) {
    std::string reason;
    if (!open(reason)) {
      problem = writeProblem(reason);
      return std::nullopt;
    }
    std::int64_t run = 0;
    const QSqlError error =
        write(QSqlDatabase::database(QString::fromStdString(connection_), false), visit, run);
    if (!error.isValid()) {
      ++revision_;
      return run;
    }
    // A connection opened while the file could not be written stays read-only: once, open
    // the file again in case it now can.
    close();
    if (again && (codeOf(error) & 0xFF) == kReadOnly) continue;
    problem = writeProblem(reasonOf(error, file_));
    return std::nullopt;
  }
}

std::vector<reports::PastVisit> HistoryStore::visitsOf(const std::string& serial,
                                                       std::string& problem) {
  std::vector<reports::PastVisit> visits;
  read({serial}, problem, [&](const std::string&, std::vector<reports::PastVisit>& found) {
    visits = std::move(found);
  });
  return visits;
}

reports::FollowUps HistoryStore::followUps(const std::vector<std::string>& serials,
                                           std::int64_t currentRun, std::string& problem) {
  reports::FollowUps follow;
  const std::set<std::string> distinct(serials.begin(), serials.end());
  const bool done = read({distinct.begin(), distinct.end()}, problem,
                         [&](const std::string& serial, std::vector<reports::PastVisit>& visits) {
                           if (!visits.empty())
                             follow[serial] = reports::followUp(visits, currentRun);
                         });
  return done ? follow : reports::FollowUps();
}

bool HistoryStore::read(const std::vector<std::string>& serials, std::string& problem,
                        const std::function<void(const std::string& serial,
                                                 std::vector<reports::PastVisit>& visits)>& take) {
  problem.clear();
  std::string reason;
  if (!open(reason)) {
    problem = readProblem(reason);
    return false;
  }
  QSqlError error;
  {
    QSqlQuery query(QSqlDatabase::database(QString::fromStdString(connection_), false));
    query.setForwardOnly(true);
    bool done = query.prepare(kVisitsQuery);
    for (auto serial = serials.begin(); done && serial != serials.end(); ++serial) {
      std::vector<reports::PastVisit> visits;
      done = readVisits(query, *serial, visits);
      if (done) take(*serial, visits);
    }
    if (!done) error = query.lastError();
  }
  if (!error.isValid()) return true;
  problem = readProblem(reasonOf(error, file_));
  close();
  return false;
}

void HistoryStore::close() {
  opened_ = false;
  QSqlDatabase::database(QString::fromStdString(connection_), false).close();
}

}  // namespace korvane::history
