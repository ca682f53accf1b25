#include "runtime/virtual_runtime.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane::runtime {
namespace {

TEST(VirtualRuntime, TimerSemanticsFollowWindowTimers) {
  VirtualRuntime rt;
  auto t = rt.createTimer();
  std::vector<double> ticks;
  t->setInterval(100);
  t->setOnTick([&] { ticks.push_back(rt.nowMs()); });
  t->setEnabled(true);
  rt.runForMs(50);
  t->setEnabled(true);  // already enabled: the count goes on
  rt.runForMs(60);
  EXPECT_EQ(ticks, std::vector<double>{100});

  t->setInterval(100);  // re-timing an enabled timer restarts its count
  rt.runForMs(150);
  EXPECT_EQ(ticks, (std::vector<double>{100, 210}));

  t->setEnabled(false);
  rt.runForMs(1000);
  EXPECT_EQ(ticks.size(), 2u);
}

TEST(VirtualRuntime, NestedWaitInsideATickLetsOtherTimersRunButNotItself) {
  VirtualRuntime rt;
  auto step = rt.createTimer();
  auto pause = rt.createTimer();
  int steps = 0;
  int depth = 0;
  int maxDepth = 0;
  bool pauseOver = false;

  pause->setInterval(500);
  pause->setOnTick([&] { pauseOver = true; });
  step->setInterval(100);
  step->setOnTick([&] {
    ++steps;
    maxDepth = std::max(maxDepth, ++depth);
    // Like a pause inside an engine step: the step's own timer stays enabled and comes due
    // five times during the wait, and must not start a second step.
    pauseOver = false;
    pause->setEnabled(true);
    EXPECT_TRUE(rt.processUntil([&] { return pauseOver; }));
    pause->setEnabled(false);
    --depth;
  });
  step->setEnabled(true);

  rt.runForMs(1000);
  EXPECT_EQ(maxDepth, 1);
  EXPECT_GE(steps, 1);
  EXPECT_LE(steps, 2);
}

TEST(VirtualRuntime, WaitsGiveUpInsteadOfHanging) {
  VirtualRuntime rt;
  EXPECT_FALSE(rt.processUntil([] { return false; }));  // nothing could ever end it
  EXPECT_TRUE(rt.stalled());

  VirtualRuntime busy;
  busy.setWaitLimitMs(1000);
  auto t = busy.createTimer();
  t->setInterval(100);
  t->setOnTick([] {});
  t->setEnabled(true);
  EXPECT_FALSE(busy.processUntil([] { return false; }));
  EXPECT_LE(busy.nowUs(), 1'000'000);

  VirtualRuntime quitting;
  quitting.post(0, [] {});
  quitting.shutdown();
  EXPECT_FALSE(quitting.processUntil([] { return false; }));
}

TEST(VirtualRuntime, TimeOfDayFollowsTheVirtualClockAndWrapsAtMidnight) {
  VirtualRuntime rt({23, 59, 58});
  rt.runForMs(1500);
  EXPECT_EQ(rt.timeOfDay(), (TimeOfDay{23, 59, 59}));
  rt.runForMs(1000);
  EXPECT_EQ(rt.timeOfDay(), (TimeOfDay{0, 0, 0}));
}

}  // namespace
}  // namespace korvane::runtime
