#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>

#include "runtime_contract.h"
#include "support/qt_loop.h"

namespace korvane::runtime {
namespace {

// CPU time per wall-clock time spent in `work`: about 1 for a spin, near 0 for a sleep.
double cpuShareOf(const std::function<void()>& work) {
  const auto wallStart = std::chrono::steady_clock::now();
  const std::clock_t cpuStart = std::clock();
  work();
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wallStart;
  const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  return cpu / std::max(wall.count(), 1e-3);
}

struct QtHarness : testing::QtLoop {
  // A spin burns about all of the wall time, a sleep next to none; the bound is loose.
  bool waitIdly(const std::function<bool()>& done) {
    bool waited = false;
    EXPECT_LT(cpuShareOf([&] { waited = waitFor(done); }), 0.5);
    return waited;
  }
};
INSTANTIATE_TYPED_TEST_SUITE_P(Qt, RuntimeContract, QtHarness);

}  // namespace
}  // namespace korvane::runtime
