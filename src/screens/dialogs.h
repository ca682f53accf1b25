#pragma once
// The modal boxes the core may raise. The application shows real message boxes; the tests
// record what would have been shown.

#include <string>
#include <vector>

namespace korvane::screens {

enum class Icon { kNone, kInformation, kExclamation, kCritical };

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual void messageBox(const std::string& text, const std::string& title, Icon icon) = 0;
};

// Records every box instead of showing it.
class RecordingDialogs final : public Dialogs {
 public:
  struct Shown {
    std::string text;
    std::string title;
    Icon icon;
  };
  void messageBox(const std::string& text, const std::string& title, Icon icon) override {
    shown.push_back({text, title, icon});
  }
  std::vector<Shown> shown;
};

}  // namespace korvane::screens
