#include "engine/led_sequencer.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace korvane::engine {

std::int16_t fieldNumber(std::string_view text) {
  std::size_t at = text.find_first_not_of(" \t");
  if (at == std::string_view::npos) return 0;
  text.remove_prefix(at);
  if (text.starts_with('+')) text.remove_prefix(1);
  double value = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (error == std::errc::result_out_of_range) value = text.starts_with('-') ? -1e9 : 1e9;
  if (end == text.data() || std::isnan(value)) return 0;
  value = std::nearbyint(value);  // halves to even
  constexpr double kMin = std::numeric_limits<std::int16_t>::min();
  constexpr double kMax = std::numeric_limits<std::int16_t>::max();
  return static_cast<std::int16_t>(value < kMin ? kMin : value > kMax ? kMax : value);
}

struct LedSequencer::Run {};

LedSequencer::LedSequencer(BusEngine& engine, screens::LedWindow& window)
    : e_(engine), w_(window) {}

LedSequencer::~LedSequencer() = default;

void LedSequencer::Form_Load() {
  const std::uint8_t found = e_.state().Nb_Trouve;
  const bool blinkEnabled = false;
  w_ = screens::LedWindow{};
  w_.visible = true;
  w_.Text5.text = found != 0 ? "1" : "0";
  w_.Text7.text = std::to_string(found);
  w_.blinkLabelsEnabled = blinkEnabled;
}

void LedSequencer::Check2_Click() {
  for (screens::Button& arrow : w_.CMD_AR)
    arrow.enabled = !w_.Check2.checked;
}

void LedSequencer::Option1_Click() {
  w_.Text2.enabled = w_.Text3.enabled = w_.blinkLabelsEnabled = false;
}

void LedSequencer::Option2_Click() {
  w_.Text2.enabled = w_.Text3.enabled = w_.blinkLabelsEnabled = true;
}

void LedSequencer::Command2_Click() {}
void LedSequencer::CMD_AR_Click(int) {}
void LedSequencer::Command1_Click() {
  w_.visible = false;
}

bool LedSequencer::running() const {
  return run_ != nullptr;
}

}  // namespace korvane::engine
