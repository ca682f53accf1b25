#pragma once
// What both runtimes promise of their timers, run against each: the engine is tested on the
// virtual runtime and runs on Qt's, so the two must agree on when a tick comes.
//
// A harness H holds `rt` (the Runtime) and offers waitFor(done), false if the wait was given
// up, and waitIdly(done), the same for a wait that must not spin where that can be measured.
#include <gtest/gtest.h>

#include <algorithm>

#include "runtime/runtime.h"

namespace korvane::runtime {

template <typename H>
class RuntimeContract : public ::testing::Test {
 protected:
  H h;
};
TYPED_TEST_SUITE_P(RuntimeContract);

// A second timer keeps enabling the first well inside its interval, as the engine's steps
// enable their tick again: the tick must still come. Timers fire in order of their due time, so the
// poker always runs first even on a loaded machine.
TYPED_TEST_P(RuntimeContract, EnablingAgainKeepsTheCount) {
  auto& h = this->h;
  auto paced = h.rt.createTimer();
  auto poker = h.rt.createTimer();
  int pacedTicks = 0;
  paced->setOnTick([&] { ++pacedTicks; });
  paced->setInterval(100);
  paced->setEnabled(true);
  poker->setInterval(20);

  poker->setOnTick([&] { paced->setEnabled(true); });
  poker->setEnabled(true);
  EXPECT_TRUE(h.waitFor([&] { return pacedTicks >= 1; }));
}

// The engine's step timer keeps running while a step waits, nested in its tick, for an answer;
// a second step must not start inside the first. Restarted inside its tick, a 0 ms timer stays
// due all through the wait: its dropped ticks must not turn the wait into a spin, as the idle
// tool must cost no CPU.
TYPED_TEST_P(RuntimeContract, ATickMayWaitAsleepAndIsNotReenteredMeanwhile) {
  auto& h = this->h;
  for (const int interval : {0, 5}) {
    SCOPED_TRACE(interval);
    auto step = h.rt.createTimer();
    auto answer = h.rt.createTimer();
    int ticks = 0, depth = 0, maxDepth = 0;
    bool answered = false, waited = false;
    answer->setOnTick([&] { answered = true; });
    answer->setInterval(300);
    step->setOnTick([&] {
      maxDepth = std::max(maxDepth, ++depth);
      if (++ticks == 1) {
        // As a step does around its pause: stop the tick, start it again, then wait.
        step->setEnabled(false);
        step->setEnabled(true);
        answer->setEnabled(true);
        waited = h.waitIdly([&] { return answered; });
      }
      --depth;
    });
    step->setInterval(interval);
    step->setEnabled(true);
    EXPECT_TRUE(h.waitFor([&] { return ticks >= 3; }));
    EXPECT_TRUE(waited);
    EXPECT_EQ(maxDepth, 1);
  }
}

REGISTER_TYPED_TEST_SUITE_P(RuntimeContract, EnablingAgainKeepsTheCount,
                            ATickMayWaitAsleepAndIsNotReenteredMeanwhile);

}  // namespace korvane::runtime
