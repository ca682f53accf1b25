#pragma once
// The Qt event loop for tests that run without windows: one application object for the whole
// program, and waits that give up after ten seconds instead of hanging the test run.
#include <QCoreApplication>
#include <QTimer>

#include <functional>

#include "runtime/qt/qt_runtime.h"

namespace korvane::testing {

// Never torn down: Qt dislikes an application object destroyed during static destruction.
struct QtApplicationOnce {
  QtApplicationOnce() {
    static int argc = 1;
    static char name[] = "korvane_test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);
  }
};

struct QtLoop : QtApplicationOnce {
  QtLoop() {
    hangGuard.callOnTimeout([this] { hung = true; });
    hangGuard.start(10000);
  }

  // Waits until `done` holds; false if the wait was given up or the hang guard fired first.
  bool waitFor(const std::function<bool()>& done) {
    return rt.processUntil([&] { return done() || hung; }) && !hung;
  }

  runtime::QtRuntime rt;
  bool hung = false;
  QTimer hangGuard;
};

}  // namespace korvane::testing
