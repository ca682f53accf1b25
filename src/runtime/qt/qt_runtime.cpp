#include "runtime/qt/qt_runtime.h"

#include <QCoreApplication>
#include <QDate>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace korvane::runtime {

namespace {

constexpr int kCoarseFromMs = 75;

class QtTimer final : public Timer {
 public:
  explicit QtTimer(std::shared_ptr<std::function<void()>> onActivity)
      : timer_(new QTimer), onActivity_(std::move(onActivity)) {
    QObject::connect(timer_, &QTimer::timeout, [this] { fire(); });
  }

  ~QtTimer() override {
    *alive_ = false;
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
    timer_->setTimerType(interval_ < kCoarseFromMs ? Qt::PreciseTimer : Qt::CoarseTimer);
    timer_->start(interval_);
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
  std::function<void()> onTick_;
  std::shared_ptr<std::function<void()>> onActivity_;
};

}  // namespace

QtRuntime::QtRuntime()
    : waker_(std::make_unique<QObject>()), onActivity_(std::make_shared<std::function<void()>>()) {}

QtRuntime::~QtRuntime() = default;

std::unique_ptr<Timer> QtRuntime::createTimer() {
  return std::make_unique<QtTimer>(onActivity_);
}

bool QtRuntime::processUntil(const std::function<bool()>& done) {
  struct Depth {
    int& depth;
    explicit Depth(int& d) : depth(d) { ++depth; }
    ~Depth() { --depth; }
  } inWait{depth_};
  const unsigned cancels = cancels_;
  if (*onActivity_) (*onActivity_)();
  for (;;) {
    if (shutdown_.load() || cancels_ != cancels) return false;
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

void QtRuntime::cancelWaits() {
  ++cancels_;
  QCoreApplication::postEvent(waker_.get(), new QEvent(QEvent::User));
}

void QtRuntime::shutdown() {
  shutdown_.store(true);
  // A wait asleep in processEvents only looks at the flag after some event; give it one.
  QCoreApplication::postEvent(waker_.get(), new QEvent(QEvent::User));
}

}  // namespace korvane::runtime
