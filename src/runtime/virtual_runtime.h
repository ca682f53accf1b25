#pragma once
// The runtime of the tests: a discrete-event scheduler on a virtual clock.
//
// Waiting never sleeps: processUntil jumps straight to the next due timer tick or posted
// event (a byte arriving from the simulated box, say), runs it, and checks again. Time only
// moves when something is due, so a 2 s answer time-out costs nothing, and a test can still
// read how long an exchange would have taken on the line (nowUs).
//
// Ordering is deterministic: events run by due time, then in the order they were scheduled.

#include <cstdint>
#include <functional>
#include <memory>
#include <queue>
#include <vector>

#include "runtime/runtime.h"

namespace korvane::runtime {

class VirtualRuntime final : public Runtime {
 public:
  using Micros = std::int64_t;

  // The clock starts at `start` on `startDate`; the date turns with the time of day.
  explicit VirtualRuntime(TimeOfDay start = {8, 0, 0}, Date startDate = {2026, 12, 6});
  ~VirtualRuntime() override;
  VirtualRuntime(const VirtualRuntime&) = delete;
  VirtualRuntime& operator=(const VirtualRuntime&) = delete;

  std::unique_ptr<Timer> createTimer() override;
  bool processUntil(const std::function<bool()>& done) override;
  void processPending() override;
  TimeOfDay timeOfDay() const override;
  Date date() const override;

  // A later visit: the calendar moves on by `days`, the clock keeps its time of day.
  void turnDays(int days);

  Micros nowUs() const { return now_; }
  double nowMs() const override { return static_cast<double>(now_) / 1000.0; }

  // Runs `action` once, `delay` microseconds from now (never in the past).
  void post(Micros delay, std::function<void()> action);

  // Top-level drivers for tests: let events run for a span of virtual time, or until a
  // condition holds (false if it did not within `limitMs`).
  void runForMs(std::int64_t ms);
  bool runUntil(const std::function<bool()>& done, std::int64_t limitMs);

  // A single processUntil gives up after this much virtual time (default one hour): a test
  // that would otherwise hang fails instead, and stalled() says so.
  void setWaitLimitMs(std::int64_t ms) { waitLimit_ = ms * 1000; }
  bool stalled() const { return stalled_; }

  // From now on every wait returns false at once (the application quitting).
  void shutdown() { shutdown_ = true; }

  struct TimerState;  // shared with the timers it hands out

 private:
  struct Posted {
    Micros due;
    std::uint64_t seq;
    std::function<void()> action;
  };
  struct Later {
    bool operator()(const Posted& a, const Posted& b) const {
      return a.due != b.due ? a.due > b.due : a.seq > b.seq;
    }
  };

  friend class VirtualTimer;
  std::uint64_t nextSeq() { return seq_++; }
  void schedule(TimerState& t);
  // Runs the earliest event due no later than `until` whose sequence number is below
  // `seqBound`; false when there is none.
  bool runNext(Micros until, std::uint64_t seqBound);

  TimeOfDay start_;
  Date startDate_;
  Micros now_ = 0;
  std::uint64_t seq_ = 0;
  Micros waitLimit_ = 3600LL * 1000 * 1000;
  bool stalled_ = false;
  bool shutdown_ = false;
  std::priority_queue<Posted, std::vector<Posted>, Later> posted_;
  std::vector<std::shared_ptr<TimerState>> timers_;
};

}  // namespace korvane::runtime
