#pragma once
// One QApplication for a whole widget test program, on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

namespace korvane::shell::testing {

class QtApplication final : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "korvane_shell_test";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
  }
  void TearDown() override { delete app_; }

 private:
  QApplication* app_ = nullptr;
};

}  // namespace korvane::shell::testing
