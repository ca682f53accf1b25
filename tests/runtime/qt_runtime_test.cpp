#include "runtime/qt/qt_runtime.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <thread>

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

class QtRuntimeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Never torn down: Qt dislikes an application object destroyed during static destruction.
    static int argc = 1;
    static char name[] = "qt_runtime_test";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
  }
  void SetUp() override {
    // Only a guard against hanging: waitFor also ends when it fires, and then fails.
    hangGuard_.callOnTimeout([this] { hung_ = true; });
    hangGuard_.start(10000);
  }

  // Waits until `done` holds; false if the wait was given up or the hang guard fired first.
  bool waitFor(const std::function<bool()>& done) {
    return rt_.processUntil([&] { return done() || hung_; }) && !hung_;
  }

  QtRuntime rt_;
  bool hung_ = false;
  QTimer hangGuard_;
};

// The engine's step timer keeps running while a step waits, nested in its tick, for an answer;
// a second step must not start inside the first. Restarted inside its tick, a 0 ms timer stays
// due all through the wait: its dropped ticks must not turn the wait into a spin, as the idle
// tool must cost no CPU (a spin burns about all of the wall time; the bound is loose).
TEST_F(QtRuntimeTest, ATickMayWaitAsleepAndIsNotReenteredMeanwhile) {
  for (const int interval : {0, 5}) {
    SCOPED_TRACE(interval);
    auto step = rt_.createTimer();
    auto answer = rt_.createTimer();
    int ticks = 0, depth = 0, maxDepth = 0;
    bool answered = false, waited = false;
    double cpuShare = 1;
    answer->setOnTick([&] { answered = true; });
    answer->setInterval(300);
    step->setOnTick([&] {
      maxDepth = std::max(maxDepth, ++depth);
      if (++ticks == 1) {
        // As a step does around its pause: stop the tick, start it again, then wait.
        step->setEnabled(false);
        step->setEnabled(true);
        answer->setEnabled(true);
        cpuShare = cpuShareOf([&] { waited = waitFor([&] { return answered; }); });
      }
      --depth;
    });
    step->setInterval(interval);
    step->setEnabled(true);
    EXPECT_TRUE(waitFor([&] { return ticks >= 3; }));
    EXPECT_TRUE(waited);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_LT(cpuShare, 0.5);
  }
}

// A second timer keeps poking the first well inside its interval. Timers fire in order of
// their due time, so the poker always runs first even on a loaded machine.
TEST_F(QtRuntimeTest, EnablingAgainKeepsTheCountButANewIntervalRestartsIt) {
  auto paced = rt_.createTimer();
  auto poker = rt_.createTimer();
  int pacedTicks = 0, pokes = 0;
  paced->setOnTick([&] { ++pacedTicks; });
  paced->setInterval(100);
  paced->setEnabled(true);
  poker->setInterval(20);

  poker->setOnTick([&] { paced->setEnabled(true); });
  poker->setEnabled(true);
  EXPECT_TRUE(waitFor([&] { return pacedTicks >= 1; })) << "enabling an enabled timer";
  poker->setEnabled(false);

  pacedTicks = 0;
  poker->setOnTick([&] {
    ++pokes;
    paced->setInterval(100);  // the same value restarts the count as well
  });
  poker->setEnabled(true);
  EXPECT_TRUE(waitFor([&] { return pokes >= 15 || pacedTicks > 0; }));
  poker->setEnabled(false);
  EXPECT_EQ(pacedTicks, 0);
  EXPECT_TRUE(waitFor([&] { return pacedTicks >= 1; }));  // restarted, not stopped
}

// The application quits from another thread while a step sleeps (without spinning) in a nested
// wait with no timer due: the wake-up must reach it, and both the nested and the outer wait give
// up.
TEST_F(QtRuntimeTest, ShutdownEndsWaitsInProgressAndEveryLaterWait) {
  auto step = rt_.createTimer();
  std::thread quitter;
  bool nested = true;
  double cpuShare = 1;
  step->setOnTick([&] {
    step->setEnabled(false);
    quitter = std::thread([this] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      rt_.shutdown();
    });
    cpuShare = cpuShareOf([&] { nested = rt_.processUntil([&] { return hung_; }); });
  });
  step->setInterval(0);
  step->setEnabled(true);
  const bool outer = rt_.processUntil([&] { return hung_; });
  if (quitter.joinable()) quitter.join();
  EXPECT_FALSE(nested);
  EXPECT_FALSE(outer);
  EXPECT_FALSE(hung_);
  EXPECT_LT(cpuShare, 0.5);
  EXPECT_FALSE(rt_.processUntil([] { return true; }));
}

// A window closes while its step waits, nested in an outer wait: both give up, and the
// runtime serves the next window's waits as usual.
TEST_F(QtRuntimeTest, CancelEndsTheWaitsInProgressOnly) {
  auto step = rt_.createTimer();
  auto close = rt_.createTimer();
  bool nested = true;
  close->setOnTick([&] {
    close->setEnabled(false);
    rt_.cancelWaits();
  });
  close->setInterval(50);
  step->setOnTick([&] {
    step->setEnabled(false);
    close->setEnabled(true);
    nested = rt_.processUntil([&] { return hung_; });
  });
  step->setInterval(0);
  step->setEnabled(true);
  EXPECT_FALSE(rt_.processUntil([&] { return hung_; }));
  EXPECT_FALSE(nested);
  EXPECT_FALSE(hung_);
  int ticks = 0;
  step->setOnTick([&] { ++ticks; });
  step->setEnabled(true);
  EXPECT_TRUE(waitFor([&] { return ticks > 0; }));
}

TEST_F(QtRuntimeTest, ATimerDestroyedInsideItsOwnTickIsSafe) {
  auto doomed = rt_.createTimer();
  auto after = rt_.createTimer();
  int doomedTicks = 0;
  bool afterFired = false;
  doomed->setOnTick([&] {
    ++doomedTicks;
    doomed.reset();
  });
  doomed->setInterval(0);
  doomed->setEnabled(true);
  after->setOnTick([&] { afterFired = true; });
  after->setInterval(50);
  after->setEnabled(true);
  EXPECT_TRUE(waitFor([&] { return afterFired; }));
  EXPECT_EQ(doomedTicks, 1);
}

}  // namespace
}  // namespace korvane::runtime
