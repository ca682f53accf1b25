// The report writers on large inputs. Base64 of a 50 MB picture, against the system's
// `base64 -w 72` on the same file when it is there (counter vs_base64_w72: our time over
// its time, below 1 when we are faster). Run: cmake -DKORVANE_BENCHMARKS=ON
// -DCMAKE_BUILD_TYPE=Release ... && korvane_bench --benchmark_filter=Report\|Base64
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "reports/base64.h"

namespace {

namespace fs = std::filesystem;
using namespace korvane;

// Written once per run, removed at exit.
struct BigFile {
  fs::path path = fs::temp_directory_path() / "korvane-bench-50MB.bin";
  BigFile() {
    std::string bytes(50'000'000, '\0');
    std::generate(bytes.begin(), bytes.end(), std::mt19937(1));
    std::ofstream(path, std::ios::binary) << bytes;
  }
  ~BigFile() {
    std::error_code ignored;
    fs::remove(path, ignored);
  }
};

const fs::path& bigFile() {
  static const BigFile file;
  return file.path;
}

// Best of a few wall-clock runs of the system's encoder; 0 when it cannot run.
double systemBase64Seconds(const fs::path& file) {
  if (std::system("base64 --version > /dev/null 2>&1") != 0) return 0;
  const std::string command = "base64 -w 72 '" + file.string() + "' > /dev/null";
  double best = 0;
  for (int run = 0; run < 5; ++run) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) return 0;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (run == 0 || took.count() < best) best = took.count();
  }
  return best;
}

void BM_Base64OfA50MBFile(benchmark::State& state) {
  const fs::path& file = bigFile();
  double best = 0;
  int blocks = 0;
  for (auto _ : state) {
    blocks = 0;
    const auto start = std::chrono::steady_clock::now();
    const auto text = reports::Base64_Fichier(file, [&] { ++blocks; });
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (!text) state.SkipWithError("the file could not be read");
    benchmark::DoNotOptimize(text);
    if (best == 0 || took.count() < best) best = took.count();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(file)));
  state.counters["progress_calls"] = blocks;
  state.counters["ours_best_s"] = best;
  // The floor under ours: the text alone, written once into fresh memory (best of three).
  // Where first touches of memory are dear (some virtual machines) this is most of our time.
  double alone = 0;
  for (int run = 0; run < 3; ++run) {
    const auto start = std::chrono::steady_clock::now();
    std::string text(fs::file_size(file) / 54 * 74, 'A');
    benchmark::DoNotOptimize(text.data());
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (run == 0 || took.count() < alone) alone = took.count();
  }
  state.counters["text_alone_s"] = alone;
  if (const double system = systemBase64Seconds(file); system > 0) {
    state.counters["system_best_s"] = system;
    state.counters["vs_base64_w72"] = best / system;
  }
}
BENCHMARK(BM_Base64OfA50MBFile)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace
