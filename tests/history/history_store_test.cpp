#include "history/history_store.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <csignal>
#include <random>

#include "support/ordinary_user.h"
#include "support/temp_dir.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace korvane::history {
namespace {

namespace fs = std::filesystem;
using engine::VisitKind;

engine::VisitPoint judged(const std::string& serial, double percent, std::optional<int> celsius) {
  const char* verdict = percent < 20 ? "Bon" : "À surveiller";
  return {3, serial, "Optique", "Détecteur", 120, 180, 131, percent, verdict, celsius};
}

engine::Visit visit(VisitKind kind, runtime::Date date, std::vector<engine::VisitPoint> points) {
  return {kind, date, {10, 15, 0}, "Sécurité & Fils", "Entrepôt Nord", std::move(points)};
}

// SQL on the file itself, beside the store, as an older or later Korvane would have left it.
std::vector<QString> sql(const fs::path& file, const std::vector<QString>& statements) {
  std::vector<QString> rows;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "raw");
    db.setDatabaseName(QString::fromStdU16String(file.u16string()));
    EXPECT_TRUE(db.open());
    QSqlQuery query(db);
    for (const QString& statement : statements) {
      EXPECT_TRUE(query.exec(statement)) << statement.toStdString();
      while (query.next())
        rows.push_back(query.value(0).toString());
    }
  }
  QSqlDatabase::removeDatabase("raw");
  return rows;
}

// A history as the first schema wrote it, with one visit, marked `version`.
void firstSchema(const fs::path& file, int version) {
  sql(file,
      {"CREATE TABLE version (numero INTEGER NOT NULL)",
       "INSERT INTO version VALUES (" + QString::number(version) + ")",
       "CREATE TABLE runs (id INTEGER PRIMARY KEY, kind TEXT, date TEXT, time TEXT, company TEXT, "
       "site TEXT)",
       "CREATE TABLE points (run INTEGER NOT NULL REFERENCES runs(id), address INTEGER, serial "
       "TEXT NOT NULL, product TEXT, category TEXT, initial INTEGER, alarm INTEGER, mean INTEGER, "
       "percent REAL, verdict TEXT, temperature INTEGER NULL)",
       "INSERT INTO runs VALUES (7, 'analyse', '2024-11-05', '09:30:00', 'Société', 'Site')",
       "INSERT INTO points VALUES (7, 4, 'A1', 'Optique', 'Détecteur', 120, 180, 140, 33.25, "
       "'À surveiller', 22)"});
}

class History : public testing::TempDirTest {
 protected:
  History() { fs::create_directories(folder_); }

  const fs::path folder_ = dir_ / "Clients été";  // accents in the path
  const fs::path file_ = folder_ / kHistoryFile;
  std::string problem_;
};

TEST_F(History, RunsComeBackAsEachDetectorsVisitsAndFollowUps) {
  std::optional<std::int64_t> april, january;  // January's written last, made first
  {
    HistoryStore store(file_);
    EXPECT_FALSE(fs::exists(file_));  // nothing opened before the first use
    EXPECT_TRUE(store.record(
        visit(VisitKind::kSearch, {2025, 1, 10}, {judged("A1", 0, {}), judged("N°7-é", 0, {})}),
        problem_));
    EXPECT_FALSE(store.record(visit(VisitKind::kAnalysis, {2025, 1, 10}, {}), problem_));
    EXPECT_EQ(problem_, "");
    april = store.record(
        visit(VisitKind::kAnalysis, {2025, 4, 20}, {judged("A1", 25.5, {}), judged("B2", 31, 19)}),
        problem_);
    january = store.record(visit(VisitKind::kAnalysis, {2025, 1, 10},
                                 {judged("A1", 12.345678901234567, 21), judged("B2", 30, {})}),
                           problem_);
    EXPECT_EQ(store.revision(), 3);
  }

  // A new store on the same file: the oldest visit first; the search's points are not visits.
  HistoryStore store(file_);
  const std::vector<reports::PastVisit> visits = store.visitsOf("A1", problem_);
  ASSERT_EQ(visits.size(), 2u) << problem_;
  EXPECT_EQ(visits[0].run, january);
  EXPECT_EQ(visits[0].date, (runtime::Date{2025, 1, 10}));
  EXPECT_EQ(visits[0].percent, 12.345678901234567);
  EXPECT_EQ(visits[0].temperature, 21);
  EXPECT_EQ(visits[1].run, april);
  EXPECT_EQ(visits[1].verdict, "À surveiller");
  EXPECT_EQ(visits[1].temperature, std::nullopt);
  EXPECT_TRUE(store.visitsOf("N°7-é", problem_).empty());

  // The report of the April run: each detector's January visit.
  const reports::FollowUps follow = store.followUps({"B2", "A1", "N°7-é", "A1"}, *april, problem_);
  ASSERT_EQ(follow.size(), 2u) << problem_;
  ASSERT_TRUE(follow.at("A1").previous && follow.at("B2").previous);
  EXPECT_EQ(follow.at("A1").previous->run, january);
  EXPECT_EQ(follow.at("A1").due.due, reports::Due::kOn);
  EXPECT_EQ(follow.at("A1").due.date, reports::dueDate(visits).date);
  EXPECT_EQ(follow.at("B2").previous->temperature, std::nullopt);
}

TEST_F(History, ADamagedFileIsSetAsideAndANewHistoryStarts) {
  std::string noise(8192, '\0');
  std::generate(noise.begin(), noise.end(), std::mt19937(3));
  // Sound pages that break their own schema: only SQLite's quick check sees it.
  sql(file_, {"CREATE TABLE version (numero INTEGER NOT NULL)", "INSERT INTO version VALUES (2)",
              "CREATE TABLE runs (id INTEGER)", "INSERT INTO runs VALUES (NULL)",
              "PRAGMA writable_schema = ON",
              "UPDATE sqlite_master SET sql = 'CREATE TABLE runs (id INTEGER NOT NULL)' "
              "WHERE name = 'runs'"});
  const std::string schema = bytes(file_);
  std::string pages = schema;  // and the same with its pages past the first overwritten
  std::fill(pages.begin() + 4096, pages.end(), '\x5A');

  const std::string dated =
      "korvane-historique-endommage-" + QDate::currentDate().toString("yyyy-MM-dd").toStdString();
  const std::string journal("\0journal", 8);
  const struct {
    std::string content;
    bool nameTaken;  // an earlier damaged file of the same day is there: "-2"
  } cases[] = {
      {"Ceci n'est pas une base.\n", false}, {noise, true}, {pages, false}, {schema, false}};
  for (const auto& c : cases) {
    for (const auto& entry : fs::directory_iterator(folder_))
      fs::remove(entry);
    put(file_, c.content);
    put(fs::path(file_) += "-journal", journal);
    if (c.nameTaken) put(folder_ / (dated + ".sqlite"), "earlier");
    const fs::path aside = folder_ / (dated + (c.nameTaken ? "-2" : "") + ".sqlite");

    HistoryStore store(file_);
    EXPECT_TRUE(
        store.record(visit(VisitKind::kAnalysis, {2025, 2, 1}, {judged("A1", 5, {})}), problem_))
        << problem_;
    EXPECT_EQ(bytes(aside), c.content);
    EXPECT_EQ(bytes(fs::path(aside) += "-journal"), journal);
    EXPECT_EQ(store.takeNotices(),
              std::vector<std::string>{"L'historique des visites était endommagé. Il a été mis "
                                       "de côté sous « " +
                                       aside.string() + " » et un nouvel historique commence."});
    EXPECT_EQ(store.visitsOf("A1", problem_).size(), 1u);
    EXPECT_TRUE(store.takeNotices().empty());
  }
}

TEST_F(History, WhatCannotTakeTheRunFailsTheCallsUntilItCan) {
  const engine::Visit run = visit(VisitKind::kAnalysis, {2025, 3, 1}, {judged("A1", 5, {})});
  enum Cause { kReadOnlyFolder, kReadOnlyFile, kFullDisk };
  const std::string folder = "le dossier « " + folder_.string() + " » ";
  const struct {
    Cause cause;
    bool fileThere;
    std::string reason;
  } cases[] = {
      {kReadOnlyFolder, false, folder + "n'est pas accessible en écriture"},
      {kReadOnlyFolder, true, folder + "n'est pas accessible en écriture"},
      {kReadOnlyFile, true,
       "le fichier « " + file_.string() + " » n'est pas accessible en écriture"},
      {kFullDisk, true, "disque plein"},
  };
  for (const auto& c : cases) {
    fs::remove(file_);
    if (c.fileThere) HistoryStore(file_).record(run, problem_);
    HistoryStore store(file_);
    const fs::path locked = c.cause == kReadOnlyFile ? file_ : folder_;
    {
      testing::AsOrdinaryUser user;
#ifndef _WIN32
      // A write cut short by a limit on file sizes, as by a full disk.
      rlimit sizes{};
      getrlimit(RLIMIT_FSIZE, &sizes);
      const auto previous = std::signal(SIGXFSZ, SIG_IGN);
      const rlimit tiny{1, sizes.rlim_max};
      if (c.cause == kFullDisk) setrlimit(RLIMIT_FSIZE, &tiny);
#endif
      if (c.cause != kFullDisk) fs::permissions(locked, fs::perms(0555));
      EXPECT_FALSE(store.record(run, problem_));
      EXPECT_EQ(problem_, "L'historique des visites n'a pas été écrit (" + c.reason +
                              "). Les résultats restent à l'écran et dans les rapports.");
      EXPECT_EQ(store.visitsOf("A1", problem_).size(), c.fileThere ? 1u : 0u) << problem_;
      fs::permissions(locked, fs::perms(0755));
#ifndef _WIN32
      setrlimit(RLIMIT_FSIZE, &sizes);
      std::signal(SIGXFSZ, previous);
#endif
      EXPECT_TRUE(store.record(run, problem_)) << problem_;
    }
    EXPECT_EQ(store.visitsOf("A1", problem_).size(), c.fileThere ? 2u : 1u);
    EXPECT_EQ(store.revision(), 1);
  }
}

// A file of the first schema is brought up with its records; one from a later Korvane is
// neither read nor written.
TEST_F(History, AFirstSchemaFileIsBroughtUpAndALaterOneLeftAlone) {
  firstSchema(file_, 1);
  {
    HistoryStore store(file_);
    const auto visits = store.visitsOf("A1", problem_);
    ASSERT_EQ(visits.size(), 1u) << problem_;
    EXPECT_EQ(visits[0].run, 7);
    EXPECT_EQ(visits[0].percent, 33.25);
    EXPECT_EQ(visits[0].temperature, 22);
  }
  EXPECT_EQ(sql(file_, {"SELECT numero FROM version",
                        "SELECT sql FROM sqlite_master WHERE type = 'index'"}),
            (std::vector<QString>{"2", "CREATE INDEX points_serial ON points(serial, run)"}));

  fs::remove(file_);
  firstSchema(file_, 99);
  const std::string before = bytes(file_);
  HistoryStore store(file_);
  EXPECT_FALSE(
      store.record(visit(VisitKind::kSearch, {2025, 1, 1}, {judged("A1", 0, {})}), problem_));
  EXPECT_NE(problem_.find("vient d'une version plus récente de Korvane et reste tel quel"),
            std::string::npos)
      << problem_;
  EXPECT_TRUE(store.visitsOf("A1", problem_).empty());
  EXPECT_EQ(bytes(file_), before);
}

}  // namespace
}  // namespace korvane::history
