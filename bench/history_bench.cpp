// The visit history on disk (Qt SQL on SQLite): what the technician waits for when a run
// ends, a 128-point run written in its transaction (counter vs_50ms: its best time over the
// 50 ms we allow it), and the history part of opening a parameter window, one detector's 20
// visits read and laid out for the panel (vs_20ms), on a file of those 20 runs alone and on
// one grown over years with other sites' runs. Run:
// cmake -DKORVANE_BENCHMARKS=ON -DCMAKE_BUILD_TYPE=Release ... && korvane_history_bench
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "history/history_store.h"
#include "reports/follow_up.h"

namespace {

namespace fs = std::filesystem;
using namespace korvane;

struct Summary {
  double recordMs = 0;
  std::map<std::pair<int, bool>, double> panelMs;  // best ms, by runs in the file, first use
  ~Summary() {
    if (recordMs > 0)
      std::printf("History, a 128-point run written: %.2f ms, ratio %.3f of the 50 ms allowed\n",
                  recordMs, recordMs / 50);
    for (const auto& [file, ms] : panelMs)
      std::printf(
          "History panel, 20 visits in a file of %d runs%s: %.3f ms, ratio %.4f of the 20 ms "
          "allowed\n",
          file.first, file.second ? ", first use (file opened and checked)" : "", ms, ms / 20);
  }
} summary;

// A folder of its own, removed at the end.
struct Folder {
  fs::path path;
  explicit Folder(const std::string& name) : path(fs::temp_directory_path() / name) {
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~Folder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
};

// A run over 128 detectors `S<site>-<n>`, `day` days after 2020-01-01.
engine::Visit run128(int site, int day, std::mt19937& random) {
  engine::Visit visit;
  visit.kind = engine::VisitKind::kAnalysis;
  visit.date = runtime::dateOfDay(runtime::dayNumber({2020, 1, 1}) + day);
  visit.time = {9, 30, 0};
  visit.company = "Sécurité & Fils";
  visit.site = "Site ";
  visit.site += std::to_string(site);
  std::string serial = "S";
  serial += std::to_string(site);
  serial += '-';
  std::uniform_real_distribution<double> percent(0, 60);
  for (int a = 1; a <= 128; ++a) {
    engine::VisitPoint p;
    p.address = a;
    p.serial = serial + std::to_string(a);
    p.product = "Optique";
    p.category = "Détecteur";
    p.initial = 120;
    p.alarm = 180;
    p.mean = 140;
    p.percent = percent(random);
    p.verdict = p.percent < 20 ? "Bon" : "À surveiller";
    if (a % 2) p.temperature = 21;
    visit.points.push_back(std::move(p));
  }
  return visit;
}

void BM_HistoryRecordOf128Points(benchmark::State& state) {
  const Folder folder("korvane-bench-history-record");
  history::HistoryStore store(folder.path / history::kHistoryFile);
  std::mt19937 random(1);
  std::string problem;
  store.record(run128(0, 0, random), problem);  // the file made and opened: not the run's time
  const engine::Visit run = run128(0, 30, random);
  double best = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const auto id = store.record(run, problem);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (!id) state.SkipWithError(problem.c_str());
    if (best == 0 || took.count() < best) best = took.count();
  }
  state.counters["best_ms"] = best * 1000;
  state.counters["vs_50ms"] = best / 0.050;
  summary.recordMs = best * 1000;
}
BENCHMARK(BM_HistoryRecordOf128Points)->Unit(benchmark::kMillisecond)->UseRealTime();

// Arguments: the other sites' runs in the file besides the detector's 20; 1 for the first
// window after the application starts, which opens and checks the file (else the store is
// already open, as for every later window).
void BM_HistoryPanelOf20Visits(benchmark::State& state) {
  const Folder folder("korvane-bench-history-panel");
  const int others = static_cast<int>(state.range(0));
  const bool firstUse = state.range(1) != 0;
  double best = 0;
  {
    history::HistoryStore store(folder.path / history::kHistoryFile);
    std::mt19937 random(2);
    std::string problem;
    // Each visit of site 0 and, until the next, the other sites' runs.
    for (int visit = 0; visit < 20; ++visit) {
      for (int other = -1; other < others / 20; ++other) {
        const int site = other < 0 ? 0 : 1 + visit * others / 20 + other;
        if (!store.record(run128(site, visit * 90 + other + 1, random), problem)) {
          state.SkipWithError(problem.c_str());
          return;
        }
      }
    }
  }
  auto store = std::make_unique<history::HistoryStore>(folder.path / history::kHistoryFile);
  std::string problem;
  if (store->visitsOf("S0-1", problem).size() != 20) state.SkipWithError("not 20 visits");
  for (auto _ : state) {
    if (firstUse) {
      state.PauseTiming();
      store = std::make_unique<history::HistoryStore>(folder.path / history::kHistoryFile);
      state.ResumeTiming();
    }
    const auto start = std::chrono::steady_clock::now();
    screens::HistoryPanel panel;
    const auto visits = store->visitsOf("S0-64", problem);
    reports::showHistory(panel, "S0-64", visits);
    benchmark::DoNotOptimize(panel);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (best == 0 || took.count() < best) best = took.count();
  }
  state.counters["file_MB"] =
      static_cast<double>(fs::file_size(folder.path / history::kHistoryFile)) / 1e6;
  state.counters["best_ms"] = best * 1000;
  state.counters["vs_20ms"] = best / 0.020;
  summary.panelMs[{20 + others, firstUse}] = best * 1000;
}
BENCHMARK(BM_HistoryPanelOf20Visits)
    ->Args({0, 0})
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(200);

}  // namespace
