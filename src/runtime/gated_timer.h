#pragma once
// A timer behind a gate. While the gate is shut the timer never ticks, whoever enables it:
// the engine's tick is switched on again by every pause, every rearm and the end of every
// step, and a bus window that has closed must not find it running because a step or a
// search start was still unwinding when it closed.
#include <memory>
#include <utility>

#include "runtime/runtime.h"

namespace korvane::runtime {

class GatedTimer final : public Timer {
 public:
  explicit GatedTimer(std::unique_ptr<Timer> inner) : inner_(std::move(inner)) {}

  void setInterval(int ms) override { inner_->setInterval(ms); }
  int interval() const override { return inner_->interval(); }
  void setEnabled(bool enabled) override { inner_->setEnabled(enabled && open_); }
  bool isEnabled() const override { return inner_->isEnabled(); }
  void setOnTick(std::function<void()> onTick) override { inner_->setOnTick(std::move(onTick)); }

  // Shutting the gate stops the timer; opening it starts nothing until it is enabled.
  void setOpen(bool open) {
    open_ = open;
    if (!open_) inner_->setEnabled(false);
  }

 private:
  std::unique_ptr<Timer> inner_;
  bool open_ = true;
};

}  // namespace korvane::runtime
