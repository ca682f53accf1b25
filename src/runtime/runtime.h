#pragma once
// The small interfaces through which the core waits.
//
// The engine and the frame layer never read a clock, sleep or spin. They ask for timers and
// for "let events run until this is true". The application answers with Qt's event loop
// (qt_runtime.h); the tests answer with a virtual clock that jumps from one due event to the
// next (virtual_runtime.h), so a 128-point search runs in milliseconds and deterministically.
//
//   Timer          interval in ms, enabled, tick callback (window-timer semantics)
//   TimeOfDay      hours, minutes, seconds
//   Date           year, month, day: the reports are dated
//   Runtime        createTimer, processUntil, processPending, timeOfDay, date

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace korvane::runtime {

struct TimeOfDay {
  int hours = 0;
  int minutes = 0;
  int seconds = 0;

  int secondsSinceMidnight() const { return hours * 3600 + minutes * 60 + seconds; }
  friend bool operator==(const TimeOfDay&, const TimeOfDay&) = default;
};

struct Date {
  int year = 2000;
  int month = 1;
  int day = 1;
  friend bool operator==(const Date&, const Date&) = default;
};

// Days since 1970-01-01 (proleptic Gregorian), and back: the arithmetic of dates.
inline std::int64_t dayNumber(const Date& date) {
  using namespace std::chrono;
  return sys_days{year{date.year} / date.month / date.day}.time_since_epoch().count();
}
inline Date dateOfDay(std::int64_t day) {
  using namespace std::chrono;
  const year_month_day ymd{sys_days{days{day}}};
  return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
          static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

// A window timer: while enabled it ticks every interval milliseconds.
// - Enabling a timer starts its count from now; enabling an enabled timer changes nothing.
// - Changing the interval of an enabled timer restarts its count.
// - An interval of 0 ticks as soon as the event loop is free.
// - A tick never starts while the previous tick of the same timer is still running, even
//   when that tick waits in processUntil: such a tick is dropped, not queued. This is what
//   keeps an engine step from starting inside another step's wait.
class Timer {
 public:
  virtual ~Timer() = default;
  virtual void setInterval(int ms) = 0;
  virtual int interval() const = 0;
  virtual void setEnabled(bool enabled) = 0;
  virtual bool isEnabled() const = 0;
  virtual void setOnTick(std::function<void()> onTick) = 0;
};

class Runtime {
 public:
  virtual ~Runtime() = default;

  virtual std::unique_ptr<Timer> createTimer() = 0;

  // Lets timer ticks, port notifications and user actions run until `done` returns true.
  // Handlers run nested inside this call, and may themselves wait.
  // Returns false when the wait was given up instead: the application is shutting down, or
  // (virtual time) nothing left could ever make `done` true. Callers treat that as a failure
  // of whatever they were waiting for and unwind.
  virtual bool processUntil(const std::function<bool()>& done) = 0;

  // Lets the events that are already pending run once, without waiting for more.
  virtual void processPending() = 0;

  virtual TimeOfDay timeOfDay() const = 0;
  virtual Date date() const = 0;

  // A steady clock in milliseconds, for measuring how long something took: real time here,
  // the virtual clock in the tests.
  virtual double nowMs() const {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

}  // namespace korvane::runtime
