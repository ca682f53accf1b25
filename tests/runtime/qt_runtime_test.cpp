#include "runtime/qt/qt_runtime.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>

#include "runtime_contract.h"

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

// Never torn down: Qt dislikes an application object destroyed during static destruction.
struct QtApplicationOnce {
  QtApplicationOnce() {
    static int argc = 1;
    static char name[] = "qt_runtime_test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);
  }
};

struct QtHarness : QtApplicationOnce {
  QtHarness() {
    // Only a guard against hanging: waitFor also ends when it fires, and then fails.
    hangGuard.callOnTimeout([this] { hung = true; });
    hangGuard.start(10000);
  }

  // Waits until `done` holds; false if the wait was given up or the hang guard fired first.
  bool waitFor(const std::function<bool()>& done) {
    return rt.processUntil([&] { return done() || hung; }) && !hung;
  }
  // A spin burns about all of the wall time, a sleep next to none; the bound is loose.
  bool waitIdly(const std::function<bool()>& done) {
    bool waited = false;
    EXPECT_LT(cpuShareOf([&] { waited = waitFor(done); }), 0.5);
    return waited;
  }

  QtRuntime rt;
  bool hung = false;
  QTimer hangGuard;
};
INSTANTIATE_TYPED_TEST_SUITE_P(Qt, RuntimeContract, QtHarness);

}  // namespace
}  // namespace korvane::runtime
