#include "engine/led_sequencer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

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

namespace {

constexpr int kTickMs = 1000;
constexpr int kRetryMs = 100;
constexpr const char* kLineBusy = "Recherche ou mesures en cours";

}  // namespace

LedSequencer::LedSequencer(BusEngine& engine, screens::LedWindow& window)
    : e_(engine),
      w_(window),
      Tempo21(engine.runtime().createTimer()),
      retry_(engine.runtime().createTimer()) {
  Tempo21->setOnTick([this] {
    if (--ticksLeft_ > 0) return;
    Tempo21->setEnabled(false);
    std::exchange(then_, nullptr)();
  });
  retry_->setInterval(kRetryMs);
  retry_->setOnTick([this] { postHeld(); });
}

LedSequencer::~LedSequencer() = default;

void LedSequencer::Form_Load() {
  const std::uint8_t found = e_.state().Nb_Trouve;
  w_ = screens::LedWindow{};
  w_.visible = true;
  litSome_ = false;
  w_.Text5.text = std::to_string(found != 0 ? 1 : 0);  // a literal here trips GCC 12's -Wrestrict
  w_.Text7.text = std::to_string(found);
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

void LedSequencer::wait(int seconds, std::function<void()> then) {
  if (seconds > 0) passWaited_ = true;
  then_ = std::move(then);
  ticksLeft_ = seconds > 0 ? seconds : 1;
  Tempo21->setInterval(seconds > 0 ? kTickMs : 0);
  Tempo21->setEnabled(true);
}

// Through the engine's request slot: the LED command runs as a step of its own, never inside
// another.
void LedSequencer::requestLed(bool on, int address) {
  if (on) {
    litSome_ = true;
    w_.Label5.caption = "Allumage voyant N°" + std::to_string(address);
  }
  held_ = LedRequest{on, address};
  postHeld();
}

void LedSequencer::postHeld() {
  BusState& s = e_.state();
  const bool slotFree = s.Etat_Demande == kNone || ownRequestWaiting();
  retry_->setEnabled(held_ && !slotFree);
  if (!held_ || !slotFree) return;
  s.Cde_Led = held_->on ? 1 : 0;
  s.Adr_Led_Cde = static_cast<std::uint8_t>(held_->address);
  s.request(kLedCommand);
  posted_ = std::exchange(held_, std::nullopt);
}

bool LedSequencer::ownRequestWaiting() const {
  const BusState& s = e_.state();
  return posted_ && s.Etat_Demande == kLedCommand && s.Cde_Led == (posted_->on ? 1 : 0) &&
         s.Adr_Led_Cde == posted_->address;
}

bool LedSequencer::lineBusy() const {
  return e_.state().Bus_Occupe || e_.state().Boucle_Mesures;
}

void LedSequencer::Command2_Click() {
  Num_Voyant = 1;
  if (running_ && !Arret_Led) {
    // "ARRETER": an LED lit finishes its step (off, then its pause); otherwise the run ends now.
    w_.Command2.caption = "LANCER";
    w_.Label5.caption.clear();
    Arret_Led = true;
    if (stepLed_ == 0) endRun();
    return;
  }
  if (running_) {
    // A stopped run still finishing its LED: the LED goes out now, the new run takes over.
    const int finishing = stepLed_;
    endRun();
    requestLed(false, finishing);
  }
  if (lineBusy()) {
    w_.Label5.caption = kLineBusy;
    return;
  }
  Arret_Led = false;
  running_ = true;
  w_.Command2.caption = "ARRETER";
  w_.Label5.caption = "Attente avant le lancement";
  const int minutes = fieldNumber(w_.Text1.text);
  if (minutes > 0) {
    wait(minutes * 60, [this] { checkFound(); });
  } else {
    checkFound();
  }
}

void LedSequencer::checkFound() {
  w_.Label5.caption = "Vérification nombre trouvé";
  if (e_.state().Nb_Trouve == 0) {
    endRun();
    // A message box waits for the user: between engine steps, never inside a frame's wait.
    e_.afterStep([this] {
      e_.views().dialogs.messageBox("Pas de points trouvées", "INFO", screens::Icon::kInformation);
    });
    return;
  }
  w_.Label5.caption = "Lancement";
  startPass();
}

void LedSequencer::startPass() {
  passWaited_ = false;
  int debut = fieldNumber(w_.Text5.text);
  if (debut < 1) debut = 1;
  if (!w_.Check2.checked) {
    // By hand: the first LED lit, then the arrows.
    if (debut <= kMaxAddresses) requestLed(true, debut);
    endPass();
    return;
  }
  led_ = debut;
  fin_ = std::min<int>(fieldNumber(w_.Text7.text), kMaxAddresses);
  ledStep();
}

void LedSequencer::ledStep() {
  if (Arret_Led) return endRun();
  if (lineBusy()) {
    w_.Label5.caption = kLineBusy;
    return endRun();
  }
  if (led_ > fin_) return endPass();
  const int i = led_++;
  if (!w_.Option1.selected) {  // blinking: no behaviour of its own yet, the pass just steps
    wait(0, [this] { ledStep(); });
    return;
  }
  requestLed(true, i);
  stepLed_ = i;
  wait(fieldNumber(w_.Text4.text), [this, i] {
    requestLed(false, i);
    stepLed_ = 0;
    w_.Label5.caption = "Extinction voyant N°" + std::to_string(i);
    wait(fieldNumber(w_.Text6.text), [this] { ledStep(); });
  });
}

void LedSequencer::endPass() {
  if (Arret_Led || !w_.Check1.checked) return endRun();
  // "Boucle": pass after pass. One that took no time (by hand, an empty range, or LEDs of no
  // duration and no pause) waits a tick: passes at no time at all would keep the loop spinning
  // and starve the engine of its turns.
  if (passWaited_) {
    startPass();
  } else {
    wait(1, [this] { startPass(); });
  }
}

void LedSequencer::endRun() {
  Tempo21->setEnabled(false);
  then_ = nullptr;
  running_ = false;
  stepLed_ = 0;
  w_.Command2.caption = "LANCER";
}

// By hand: put out the LED, light the next (or the previous), round the points found. The
// switch-on puts out whatever the tool lit last anyway, so one LED stays lit even when the
// engine only takes the second request.
void LedSequencer::CMD_AR_Click(int index) {
  const int found = std::min<int>(e_.state().Nb_Trouve, kMaxAddresses);
  if ((index != 0 && index != 1) || found == 0) return;
  requestLed(false, Num_Voyant);
  Num_Voyant += index == 1 ? 1 : -1;
  if (Num_Voyant > found) Num_Voyant = 1;
  if (Num_Voyant < 1) Num_Voyant = found;
  requestLed(true, Num_Voyant);
}

// "FERMER": the run stops, and the LED it left lit goes out, between steps: a request could
// take the place of another one waiting for its step.
void LedSequencer::Command1_Click() {
  const bool lit = std::exchange(litSome_, false);
  stop();
  w_.visible = false;
  if (lit) e_.afterStep([this] { e_.putLedsOut(); });
}

// Nothing the run asked for and the engine has not taken yet is left behind: a switch-on would
// light an LED nobody puts out, a switch-off is the caller's to make.
void LedSequencer::stop() {
  held_.reset();
  retry_->setEnabled(false);
  if (ownRequestWaiting()) e_.state().Etat_Demande = kNone;
  posted_.reset();
  if (running_) {
    endRun();
    w_.Label5.caption.clear();
  }
}

}  // namespace korvane::engine
