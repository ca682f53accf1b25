#pragma once
// The runtime of the application: timers on QTimer, waits in Qt's event loop.
//
// processUntil sleeps in the event loop until something happens (a timer, a port
// notification, a click) and checks its condition after each batch of events, so an idle
// tool costs no CPU. Waits nest: a handler that runs inside a wait may wait in turn.
//
//   QtRuntime      createTimer, processUntil, processPending, timeOfDay, setOnActivity,
//                  shutdown
//
// Create it after the QCoreApplication (or QApplication), on the thread that runs the loop.

#include <atomic>
#include <functional>
#include <memory>

#include "runtime/runtime.h"

class QObject;

namespace korvane::runtime {

class CoarseTimers;

class QtRuntime final : public Runtime {
 public:
  QtRuntime();
  ~QtRuntime() override;
  QtRuntime(const QtRuntime&) = delete;
  QtRuntime& operator=(const QtRuntime&) = delete;

  std::unique_ptr<Timer> createTimer() override;
  // After shutdown() this returns false at once, whatever `done` says.
  bool processUntil(const std::function<bool()>& done) override;
  void processPending() override;
  TimeOfDay timeOfDay() const override;
  Date date() const override;

  // Called after each timer tick and as each wait begins: the only moments at which the core
  // can have written something a window shows. The windows draw then, not on a clock of
  // their own that would wake the tool for nothing.
  void setOnActivity(std::function<void()> onActivity);

  // The application is quitting: every wait, present and future, gives up and returns
  // false, so nested engine steps unwind instead of holding the loop. Safe to call from any
  // thread; a wait asleep in the loop is woken.
  void shutdown();
  bool isShutDown() const { return shutdown_.load(); }

  // How many processUntil calls are in progress: what owns the objects a wait may touch can
  // be destroyed only at depth 0.
  int waitDepth() const { return depth_; }

 private:
  std::atomic<bool> shutdown_{false};
  int depth_ = 0;
  std::unique_ptr<QObject> waker_;
  // Shared with the timers, which may outlive the runtime.
  std::shared_ptr<std::function<void()>>
      onActivity_;  // target of the event that wakes a sleeping wait
  std::shared_ptr<CoarseTimers> coarse_;
};

}  // namespace korvane::runtime
