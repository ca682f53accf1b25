#include "runtime/virtual_runtime.h"

#include <gtest/gtest.h>

#include <functional>

#include "runtime_contract.h"

namespace korvane::runtime {
namespace {

struct VirtualHarness {
  VirtualRuntime rt;
  bool waitFor(const std::function<bool()>& done) { return rt.processUntil(done); }
  bool waitIdly(const std::function<bool()>& done) { return waitFor(done); }
};
INSTANTIATE_TYPED_TEST_SUITE_P(Virtual, RuntimeContract, VirtualHarness);

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
}

TEST(VirtualRuntime, TheDateTurnsAtMidnight) {
  VirtualRuntime rt({23, 59, 59}, {2026, 12, 31});
  EXPECT_EQ(rt.date(), (Date{2026, 12, 31}));
  rt.runForMs(1000);
  EXPECT_EQ(rt.date(), (Date{2027, 1, 1}));
  EXPECT_EQ(rt.timeOfDay(), (TimeOfDay{0, 0, 0}));
}

}  // namespace
}  // namespace korvane::runtime
