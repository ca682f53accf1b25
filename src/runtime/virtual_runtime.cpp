#include "runtime/virtual_runtime.h"

#include <algorithm>
#include <chrono>
#include <limits>

namespace korvane::runtime {

struct VirtualRuntime::TimerState {
  int interval = 0;
  bool enabled = false;
  bool ticking = false;
  bool alive = true;
  Micros due = 0;
  std::uint64_t seq = 0;
  std::function<void()> onTick;
};

class VirtualTimer final : public Timer {
 public:
  VirtualTimer(VirtualRuntime& rt, std::shared_ptr<VirtualRuntime::TimerState> s)
      : rt_(rt), s_(std::move(s)) {}
  ~VirtualTimer() override {
    s_->alive = false;
    s_->enabled = false;
    s_->onTick = nullptr;
  }

  void setInterval(int ms) override {
    s_->interval = std::max(ms, 0);
    if (s_->enabled) rt_.schedule(*s_);
  }
  int interval() const override { return s_->interval; }
  void setEnabled(bool enabled) override {
    if (enabled == s_->enabled) return;
    s_->enabled = enabled;
    if (enabled) rt_.schedule(*s_);
  }
  bool isEnabled() const override { return s_->enabled; }
  void setOnTick(std::function<void()> onTick) override { s_->onTick = std::move(onTick); }

 private:
  VirtualRuntime& rt_;
  std::shared_ptr<VirtualRuntime::TimerState> s_;
};

VirtualRuntime::VirtualRuntime(TimeOfDay start, Date startDate)
    : start_(start), startDate_(startDate) {}
VirtualRuntime::~VirtualRuntime() = default;

std::unique_ptr<Timer> VirtualRuntime::createTimer() {
  // Forget timers whose owners are gone, so the registry does not grow with every window.
  std::erase_if(timers_, [](const auto& t) { return !t->alive; });
  auto state = std::make_shared<TimerState>();
  timers_.push_back(state);
  return std::make_unique<VirtualTimer>(*this, std::move(state));
}

void VirtualRuntime::schedule(TimerState& t) {
  t.due = now_ + static_cast<Micros>(t.interval) * 1000;
  t.seq = nextSeq();
}

void VirtualRuntime::post(Micros delay, std::function<void()> action) {
  posted_.push(Posted{now_ + std::max<Micros>(delay, 0), nextSeq(), std::move(action)});
}

bool VirtualRuntime::runNext(Micros until, std::uint64_t seqBound) {
  std::shared_ptr<TimerState> timer;
  Micros due = std::numeric_limits<Micros>::max();
  std::uint64_t seq = std::numeric_limits<std::uint64_t>::max();
  for (const auto& t : timers_) {
    if (!t->alive || !t->enabled || t->seq >= seqBound) continue;
    if (t->due < due || (t->due == due && t->seq < seq)) {
      timer = t;
      due = t->due;
      seq = t->seq;
    }
  }
  const bool postedFirst =
      !posted_.empty() && posted_.top().seq < seqBound &&
      (posted_.top().due < due || (posted_.top().due == due && posted_.top().seq < seq));
  if (postedFirst) {
    if (posted_.top().due > until) return false;
    Posted p = posted_.top();
    posted_.pop();
    now_ = std::max(now_, p.due);
    p.action();
    return true;
  }
  if (!timer || due > until) return false;

  now_ = std::max(now_, due);
  // Reschedule before the tick so that a tick that disables or re-times the timer wins.
  schedule(*timer);
  if (timer->ticking) {
    // Its previous tick is still running further up the stack: drop this one. An interval
    // of 0 would come due again at once, so step it on by a millisecond.
    if (timer->interval == 0) timer->due = now_ + 1000;
    return true;
  }
  timer->ticking = true;
  if (timer->onTick) {
    auto tick = timer->onTick;  // the handler may replace itself
    tick();
  }
  timer->ticking = false;
  return true;
}

bool VirtualRuntime::processUntil(const std::function<bool()>& done) {
  const Micros giveUpAt = now_ + waitLimit_;
  for (;;) {
    // Shut down wins over done, as in the application: a quitting tool unwinds its waits.
    if (shutdown_) return false;
    if (done()) return true;
    if (!runNext(giveUpAt, std::numeric_limits<std::uint64_t>::max())) {
      stalled_ = true;
      return false;
    }
  }
}

void VirtualRuntime::processPending() {
  const std::uint64_t bound = seq_;
  while (!shutdown_ && runNext(now_, bound)) {
  }
}

TimeOfDay VirtualRuntime::timeOfDay() const {
  const std::int64_t secs = (start_.secondsSinceMidnight() + now_ / 1000000) % 86400;
  return TimeOfDay{static_cast<int>(secs / 3600), static_cast<int>(secs / 60 % 60),
                   static_cast<int>(secs % 60)};
}

Date VirtualRuntime::date() const {
  const std::int64_t days = (start_.secondsSinceMidnight() + now_ / 1000000) / 86400;
  return dateOfDay(dayNumber(startDate_) + days);
}

void VirtualRuntime::turnDays(int days) {
  startDate_ = dateOfDay(dayNumber(startDate_) + days);
}

void VirtualRuntime::runForMs(std::int64_t ms) {
  const Micros end = now_ + ms * 1000;
  while (!shutdown_ && runNext(end, std::numeric_limits<std::uint64_t>::max())) {
  }
  now_ = std::max(now_, end);
}

bool VirtualRuntime::runUntil(const std::function<bool()>& done, std::int64_t limitMs) {
  const Micros end = now_ + limitMs * 1000;
  while (!done()) {
    if (shutdown_ || !runNext(end, std::numeric_limits<std::uint64_t>::max())) {
      now_ = std::max(now_, end);
      return done();
    }
  }
  return true;
}

}  // namespace korvane::runtime
