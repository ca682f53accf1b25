#pragma once
// Plain data for the controls the windows show. The engine writes these; the Qt windows
// render them; the tests read them. No behaviour lives here.

#include <cstdint>
#include <string>
#include <vector>

namespace korvane::screens {

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

namespace colors {
inline constexpr Rgb kGreen{0, 255, 0};
inline constexpr Rgb kYellow{255, 255, 0};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kOrange{255, 128, 0};
inline constexpr Rgb kFoundBlue{128, 128, 255};
inline constexpr Rgb kGrey{192, 192, 192};
inline constexpr Rgb kLightGrey{224, 224, 224};
// The system colours of the window theme; the Qt side maps them to the palette.
inline constexpr Rgb kButtonFace{240, 240, 240};
inline constexpr Rgb kWindowBackground{255, 255, 255};
}  // namespace colors

struct Label {
  std::string caption;
  bool visible = true;
  Rgb backColor = colors::kButtonFace;
};

struct Button {
  std::string caption;
  bool visible = true;
  bool enabled = true;
};

// A filled shape used as an indicator (send and receive lights, LED marks).
struct Shape {
  bool visible = false;
  Rgb fillColor = colors::kRed;
};

struct Frame {
  std::string caption;
  bool visible = true;
  Rgb backColor = colors::kButtonFace;
};

struct CheckBox {
  std::string caption;
  bool checked = false;
  bool visible = true;
  bool enabled = true;
};

struct OptionButton {
  std::string caption;
  bool selected = false;
  bool enabled = true;
};

// A text box: what the user typed (the window writes it as it changes; the core reads it when
// it needs it).
struct TextBox {
  std::string text;
  bool enabled = true;
};

// A horizontal scroll bar's position.
struct ScrollBar {
  int value = 1;
  int min = 1;
  int max = 10;
  bool visible = true;
};

// The text of a combo box is what the user typed or picked; the engine reads its number.
struct ComboBox {
  std::string text;
  std::vector<std::string> items;
};

struct MenuItem {
  std::string caption;
  bool checked = false;
  bool enabled = true;
};

// A picture or panel that the window draws, placed in twips (15 to a pixel at 96 dpi).
struct Area {
  bool visible = true;
  int left = 0;
  int width = 0;
};

struct ListBox {
  std::vector<std::string> lines;
  // Counts the clears, so that a view that only appends new lines can tell a list emptied and
  // filled again from one that grew.
  std::uint64_t clears = 0;
  void add(std::string line) { lines.push_back(std::move(line)); }
  void clear() {
    lines.clear();
    ++clears;
  }
};

}  // namespace korvane::screens
