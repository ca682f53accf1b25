#pragma once
// The modal boxes the core may raise. The application shows real message boxes; the tests
// record what would have been shown.

#include <deque>
#include <string>
#include <vector>

namespace korvane::screens {

enum class Icon { kNone, kInformation, kExclamation, kCritical, kQuestion };

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual void messageBox(const std::string& text, const std::string& title, Icon icon) = 0;
  // A Yes/No question; true for Yes.
  virtual bool askYesNo(const std::string& text, const std::string& title) = 0;
};

// Records every box instead of showing it; questions are recorded too (with the kQuestion
// icon) and answered from `answers`, Yes once they run out.
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
  bool askYesNo(const std::string& text, const std::string& title) override {
    shown.push_back({text, title, Icon::kQuestion});
    if (answers.empty()) return true;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  std::vector<Shown> shown;
  std::deque<bool> answers;
};

}  // namespace korvane::screens
