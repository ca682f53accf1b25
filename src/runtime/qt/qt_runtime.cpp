#include "runtime/qt/qt_runtime.h"

#include <QCoreApplication>
#include <QDate>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace korvane::runtime {

namespace {

constexpr int kCoarseFromMs = 75;
// A coarse timer due this soon fires with one that fires now (never earlier than a twentieth
// of its interval, the slack Qt gives its own coarse timers).
constexpr auto kJoinWithin = std::chrono::milliseconds(3);

using Clock = std::chrono::steady_clock;

}  // namespace

// The coarse timers of a runtime (the engine's step, the lights, the answer time-out) share one
// QTimer, armed for the earliest of them, and a timer due within a few milliseconds fires in
// the same wake-up: the send and receive lights go out two milliseconds apart after every
// exchange, and the idle tool would wake twice for them.
class CoarseTimers final : public std::enable_shared_from_this<CoarseTimers> {
 public:
  // What a coarse timer shows the wheel.
  struct Entry {
    Clock::time_point due;
    Clock::duration slack;
    std::function<void(Clock::time_point)> fire;  // its tick, told the time it fired at
  };

  CoarseTimers() : timer_(std::make_unique<QTimer>()) {
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { fireDue(); });
  }

  void set(const void* owner, Entry entry) {
    entries_.insert_or_assign(owner, std::move(entry));
    arm();
  }
  void remove(const void* owner) {
    if (entries_.erase(owner) > 0) arm();
  }

 private:
  void arm() {
    if (entries_.empty()) {
      timer_->stop();
      return;
    }
    Clock::time_point first = Clock::time_point::max();
    for (const auto& [owner, e] : entries_)
      first = std::min(first, e.due);
    using std::chrono::milliseconds;
    const auto wait = std::chrono::ceil<milliseconds>(first - Clock::now());
    timer_->start(static_cast<int>(std::max<milliseconds::rep>(wait.count(), 0)));
  }

  // Takes the due timers off first, arms for the rest, then ticks them in the order they fell
  // due, as Qt does: a tick may wait in the event loop, and the others must keep their time
  // meanwhile.
  void fireDue() {
    const auto keep = shared_from_this();  // a tick may drop the last timer, and the wheel
    const Clock::time_point now = Clock::now();
    std::vector<Entry> due;
    for (auto it = entries_.begin(); it != entries_.end();) {
      if (it->second.due <= now + std::min<Clock::duration>(kJoinWithin, it->second.slack)) {
        due.push_back(std::move(it->second));
        it = entries_.erase(it);
      } else {
        ++it;
      }
    }
    std::stable_sort(due.begin(), due.end(),
                     [](const Entry& a, const Entry& b) { return a.due < b.due; });
    arm();
    for (const Entry& e : due)
      e.fire(now);
  }

  std::unique_ptr<QTimer> timer_;
  std::map<const void*, Entry> entries_;
};

namespace {

class QtTimer final : public Timer {
 public:
  QtTimer(std::shared_ptr<std::function<void()>> onActivity, std::shared_ptr<CoarseTimers> coarse)
      : timer_(new QTimer), onActivity_(std::move(onActivity)), coarse_(std::move(coarse)) {
    QObject::connect(timer_, &QTimer::timeout, [this] { fire(); });
  }

  ~QtTimer() override {
    *alive_ = false;
    coarse_->remove(this);
    timer_->stop();
    QObject::disconnect(timer_, nullptr, nullptr, nullptr);
    // A window may drop its timer from inside that timer's tick; the QTimer is then still
    // delivering its signal further up the stack, so let the loop delete it later.
    if (ticking_) {
      timer_->deleteLater();
    } else {
      delete timer_;
    }
  }

  QtTimer(const QtTimer&) = delete;
  QtTimer& operator=(const QtTimer&) = delete;

  void setInterval(int ms) override {
    interval_ = std::max(ms, 0);
    // QTimer::start restarts an active timer, which is the restart we want even when the
    // value did not change.
    if (enabled_) start();
  }
  int interval() const override { return interval_; }

  void setEnabled(bool enabled) override {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (enabled) {
      start();
    } else {
      timer_->stop();
      coarse_->remove(this);
      parkedDuringTick_ = false;
    }
  }
  bool isEnabled() const override { return enabled_; }

  void setOnTick(std::function<void()> onTick) override { onTick_ = std::move(onTick); }

 private:
  void start() {
    parkedDuringTick_ = false;
    // The pauses before frames are short and add up over a search: a coarse timer could
    // stretch each by a few milliseconds. Longer timers (the step, the lights, the answer
    // time-out) may move by their 5 %, which lets the system wake the tool once for several.
    if (interval_ < kCoarseFromMs) {
      timer_->setTimerType(Qt::PreciseTimer);
      timer_->start(interval_);
      return;
    }
    ++starts_;
    due_ = Clock::now() + std::chrono::milliseconds(interval_);
    joinWheel();
  }

  void joinWheel() {
    coarse_->set(this, {due_, std::chrono::milliseconds(interval_) / 20,
                        [this, alive = alive_, start = starts_](Clock::time_point now) {
                          if (*alive) coarseDue(start, now);
                        }});
  }

  // As a periodic QTimer would: the next period counts from this one's due time, or from now
  // when a long tick let it slip by.
  void coarseDue(unsigned start, Clock::time_point now) {
    if (!enabled_ || start != starts_) return;  // stopped or restarted by an earlier tick
    due_ += std::chrono::milliseconds(interval_);
    if (due_ <= now) due_ = now + std::chrono::milliseconds(interval_);
    joinWheel();
    fire();
  }

  void fire() {
    if (ticking_) {
      // The previous tick is still running, waiting further up the stack: this one is
      // dropped. A 0 ms timer would come straight back and turn that wait into a busy
      // loop, so park it until the running tick returns.
      if (interval_ == 0) {
        timer_->stop();
        parkedDuringTick_ = true;
      }
      return;
    }
    ticking_ = true;
    const auto alive = alive_;
    if (onTick_) {
      auto tick = onTick_;  // the handler may replace itself
      tick();
    }
    if (!*alive) return;  // the tick destroyed this timer
    ticking_ = false;
    if (parkedDuringTick_ && enabled_) start();
    parkedDuringTick_ = false;
    if (*onActivity_) (*onActivity_)();
  }

  QTimer* timer_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  int interval_ = 0;
  bool enabled_ = false;
  bool ticking_ = false;
  bool parkedDuringTick_ = false;
  unsigned starts_ = 0;  // coarse: tells a tick of this start from one of an earlier start
  Clock::time_point due_;
  std::function<void()> onTick_;
  std::shared_ptr<std::function<void()>> onActivity_;
  std::shared_ptr<CoarseTimers> coarse_;
};

}  // namespace

QtRuntime::QtRuntime()
    : waker_(std::make_unique<QObject>()),
      onActivity_(std::make_shared<std::function<void()>>()),
      coarse_(std::make_shared<CoarseTimers>()) {}

QtRuntime::~QtRuntime() = default;

std::unique_ptr<Timer> QtRuntime::createTimer() {
  return std::make_unique<QtTimer>(onActivity_, coarse_);
}

bool QtRuntime::processUntil(const std::function<bool()>& done) {
  struct Depth {
    int& depth;
    explicit Depth(int& d) : depth(d) { ++depth; }
    ~Depth() { --depth; }
  } inWait{depth_};
  if (*onActivity_) (*onActivity_)();
  for (;;) {
    if (shutdown_.load()) return false;
    if (done()) return true;
    // Sleeps until events arrive and handles them; the loop only turns when something
    // happened, so a long wait costs nothing.
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
}

void QtRuntime::processPending() {
  if (shutdown_.load()) return;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

TimeOfDay QtRuntime::timeOfDay() const {
  const QTime now = QTime::currentTime();
  return TimeOfDay{now.hour(), now.minute(), now.second()};
}

Date QtRuntime::date() const {
  const QDate today = QDate::currentDate();
  return Date{today.year(), today.month(), today.day()};
}

void QtRuntime::setOnActivity(std::function<void()> onActivity) {
  *onActivity_ = std::move(onActivity);
}

void QtRuntime::shutdown() {
  shutdown_.store(true);
  // A wait asleep in processEvents only looks at the flag after some event; give it one.
  QCoreApplication::postEvent(waker_.get(), new QEvent(QEvent::User));
}

}  // namespace korvane::runtime
