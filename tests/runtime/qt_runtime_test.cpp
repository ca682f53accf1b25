#include "runtime/qt/qt_runtime.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

namespace korvane::runtime {
namespace {

// Never torn down: Qt dislikes an application object destroyed during static destruction.
QCoreApplication& app() {
  static int argc = 1;
  static char name[] = "qt_runtime_test";
  static char* argv[] = {name, nullptr};
  static auto* instance = new QCoreApplication(argc, argv);
  return *instance;
}

double cpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

class QtRuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app();
    // Only a guard against hanging: every wait below also ends when it fires, and the
    // tests fail if it did.
    hangGuard_.setSingleShot(true);
    QObject::connect(&hangGuard_, &QTimer::timeout, [this] { hung_ = true; });
    hangGuard_.start(10000);
  }

  bool hung() const { return hung_; }

  QtRuntime rt_;

 private:
  QTimer hangGuard_;
  bool hung_ = false;
};

TEST_F(QtRuntimeTest, WaitsReturnOnceTheConditionHoldsAndMayNestInsideATick) {
  auto outer = rt_.createTimer();
  auto inner = rt_.createTimer();
  bool innerFired = false;
  bool nestedResult = false;
  bool outerDone = false;
  inner->setOnTick([&] { innerFired = true; });
  inner->setInterval(30);
  outer->setOnTick([&] {
    outer->setEnabled(false);
    inner->setEnabled(true);
    nestedResult = rt_.processUntil([&] { return innerFired || hung(); });
    outerDone = true;
  });
  outer->setInterval(10);
  outer->setEnabled(true);

  EXPECT_TRUE(rt_.processUntil([&] { return outerDone || hung(); }));
  EXPECT_TRUE(nestedResult);
  EXPECT_TRUE(innerFired);
  EXPECT_FALSE(hung());
  // A condition that already holds returns without waiting for anything.
  EXPECT_TRUE(rt_.processUntil([] { return true; }));
}

// The engine's step timer keeps running while a step waits for an answer; a second step must
// not start inside the first. Checked for a paced timer and for one of interval 0, which
// would otherwise come due again on every turn of the loop.
TEST_F(QtRuntimeTest, ATickThatWaitsIsNotReenteredAndTheTimerGoesOnAfterIt) {
  for (const int interval : {0, 5}) {
    SCOPED_TRACE(interval);
    auto stepTimer = rt_.createTimer();
    auto answer = rt_.createTimer();
    int ticks = 0;
    int depth = 0;
    int maxDepth = 0;
    bool answered = false;
    bool waitResult = false;
    answer->setOnTick([&] {
      answered = true;
      answer->setEnabled(false);
    });
    answer->setInterval(150);
    stepTimer->setOnTick([&] {
      ++ticks;
      maxDepth = std::max(maxDepth, ++depth);
      if (ticks == 1) {
        // As a step does around its pause: stop the tick, then start it again before
        // waiting for the answer.
        stepTimer->setEnabled(false);
        stepTimer->setEnabled(true);
        answer->setEnabled(true);
        waitResult = rt_.processUntil([&] { return answered || hung(); });
      }
      --depth;
    });
    stepTimer->setInterval(interval);
    stepTimer->setEnabled(true);

    EXPECT_TRUE(rt_.processUntil([&] { return ticks >= 3 || hung(); }));
    EXPECT_FALSE(hung());
    EXPECT_TRUE(waitResult);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_GE(ticks, 3);
  }
}

// The idle tool must cost no CPU: a wait sleeps in the loop, also while a 0 ms timer's tick
// is the one waiting (its dropped ticks must not turn the wait into a spin). The bound is
// loose on purpose; a spinning wait burns about all of the wall time.
TEST_F(QtRuntimeTest, WaitsSleepInsteadOfSpinning) {
  auto wake = rt_.createTimer();
  bool woken = false;
  wake->setOnTick([&] { woken = true; });
  wake->setInterval(300);

  {
    SCOPED_TRACE("idle wait");
    woken = false;
    wake->setEnabled(true);
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuSeconds();
    rt_.processUntil([&] { return woken || hung(); });
    wake->setEnabled(false);
    EXPECT_LT(cpuSeconds() - cpuBefore, 0.5 * static_cast<double>(wall.elapsed()) / 1000.0);
  }
  {
    SCOPED_TRACE("wait inside the tick of a 0 ms timer");
    auto zero = rt_.createTimer();
    double cpu = 0;
    double seconds = 0;
    zero->setOnTick([&] {
      // Restarted inside its tick, the timer is a fresh one to Qt, which then no longer holds
      // it back by itself: it stays due all through the wait below.
      zero->setInterval(0);
      woken = false;
      wake->setEnabled(true);
      QElapsedTimer wall;
      wall.start();
      const double cpuBefore = cpuSeconds();
      rt_.processUntil([&] { return woken || hung(); });
      cpu = cpuSeconds() - cpuBefore;
      seconds = static_cast<double>(wall.elapsed()) / 1000.0;
      zero->setEnabled(false);
    });
    zero->setInterval(0);
    zero->setEnabled(true);
    rt_.processUntil([&] { return seconds > 0 || hung(); });
    EXPECT_FALSE(hung());
    EXPECT_LT(cpu, 0.5 * seconds);
  }
}

// Both checks use a second timer that keeps poking the first well inside its interval. Timers
// fire in order of their due time, so the poker always runs first even on a loaded machine.
TEST_F(QtRuntimeTest, EnablingAgainKeepsTheCountButANewIntervalRestartsIt) {
  auto paced = rt_.createTimer();
  auto poker = rt_.createTimer();
  int pacedTicks = 0;
  int pokes = 0;
  paced->setOnTick([&] { ++pacedTicks; });
  paced->setInterval(100);
  paced->setEnabled(true);
  poker->setInterval(20);

  {
    SCOPED_TRACE("enabling an enabled timer");
    poker->setOnTick([&] { paced->setEnabled(true); });
    poker->setEnabled(true);
    EXPECT_TRUE(rt_.processUntil([&] { return pacedTicks >= 1 || hung(); }));
    EXPECT_FALSE(hung());
    poker->setEnabled(false);
  }
  {
    SCOPED_TRACE("setting the interval of an enabled timer, even to the same value");
    pacedTicks = 0;
    pokes = 0;
    poker->setOnTick([&] {
      ++pokes;
      paced->setInterval(100);
    });
    poker->setEnabled(true);
    rt_.processUntil([&] { return pokes >= 15 || pacedTicks > 0 || hung(); });
    poker->setEnabled(false);
    EXPECT_EQ(pacedTicks, 0);
    EXPECT_GE(pokes, 15);
    // Restarted, not stopped.
    EXPECT_TRUE(rt_.processUntil([&] { return pacedTicks >= 1 || hung(); }));
    EXPECT_FALSE(hung());
  }
}

TEST_F(QtRuntimeTest, ShutdownEndsWaitsInProgressAndEveryLaterWait) {
  // The application quits from elsewhere while a step sleeps in a nested wait with no timer
  // due: the wake-up must reach it, and both the nested and the outer wait give up.
  auto step = rt_.createTimer();
  std::thread quitter;
  bool nestedResult = true;
  step->setOnTick([&] {
    step->setEnabled(false);
    quitter = std::thread([this] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      rt_.shutdown();
    });
    nestedResult = rt_.processUntil([&] { return hung(); });
  });
  step->setInterval(0);
  step->setEnabled(true);

  const bool outerResult = rt_.processUntil([&] { return hung(); });
  if (quitter.joinable()) quitter.join();

  EXPECT_FALSE(nestedResult);
  EXPECT_FALSE(outerResult);
  EXPECT_FALSE(hung());
  EXPECT_TRUE(rt_.isShutDown());
  // From now on nothing waits, whatever the condition.
  EXPECT_FALSE(rt_.processUntil([] { return true; }));
  EXPECT_FALSE(rt_.processUntil([] { return false; }));
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

  EXPECT_TRUE(rt_.processUntil([&] { return afterFired || hung(); }));
  EXPECT_EQ(doomedTicks, 1);
  EXPECT_EQ(doomed, nullptr);
}

}  // namespace
}  // namespace korvane::runtime
