#include "hostile_box.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "engine/bus_station.h"
#include "runtime/virtual_runtime.h"
#include "screens/dialogs.h"
#include "sim/loop.h"
#include "sim/loop_simulator.h"
#include "sim/simulated_port.h"

namespace korvane::fuzz {

namespace {

using Bytes = std::vector<std::uint8_t>;
using Micros = runtime::VirtualRuntime::Micros;

constexpr std::int64_t kMainPhaseMs = 30 * 60 * 1000;
constexpr long kMaxSteps = 6000;
constexpr std::int64_t kLineAfterActionsMs = 3 * 60 * 1000;
constexpr std::int64_t kBackToIdleMs = 20 * 60 * 1000;
constexpr std::int64_t kStaysIdleMs = 5 * 1000;

// The line's decisions, one byte at a time, until the input is spent or the run ends.
class LineScript {
 public:
  explicit LineScript(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::optional<std::uint8_t> next() {
    if (ended_ || at_ >= bytes_.size()) return std::nullopt;
    return bytes_[at_++];
  }
  std::uint8_t operand() { return next().value_or(0); }
  bool spent() const { return ended_ || at_ >= bytes_.size(); }
  void end() { ended_ = true; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
  bool ended_ = false;
};

// The line between the PC's port and the honest simulated box: each byte the PC sends, as it
// reaches the box, gets the script's next decision. Port 1 exists (while the adapter is in);
// 2 does not.
class HostileLine {
 public:
  HostileLine(runtime::VirtualRuntime& rt, sim::LoopSimulator& box, sim::SimulatedPort& port,
              LineScript& script, bool silentTail, bool trace)
      : rt_(rt), box_(box), port_(port), script_(script), silentTail_(silentTail), trace_(trace) {
    port_.setLine([this](std::uint8_t byte) { reachBox(byte); });
  }

  std::size_t decisions = 0;
  bool counting = true;

 private:
  void reachBox(std::uint8_t byte) {
    if (counting) ++decisions;
    const std::optional<std::uint8_t> d = script_.next();
    if (!d) {
      Bytes answer = box_.receive(byte, rt_.nowUs());
      if (!silentTail_) port_.injectFromLine(answer);
      return;
    }
    const int n = *d & 0x0F;
    auto answer = [&] { return box_.receive(byte, rt_.nowUs()); };
    auto note = [&](const char* what) {
      if (trace_) std::fprintf(stderr, "  line %02X -> %02X %s\n", byte, *d, what);
    };
    switch (*d >> 4) {
      case 0xA:
        answer();
        note("silent");
        return;
      case 0xB: {
        Bytes a = answer();
        a.resize(a.empty() ? 0 : static_cast<std::size_t>(n) % a.size());
        note("cut");
        return port_.injectFromLine(a);
      }
      case 0xC: {
        Bytes a = answer();
        const std::uint8_t mask = script_.operand();
        if (!a.empty()) a[static_cast<std::size_t>(n) % a.size()] ^= mask != 0 ? mask : 0xFF;
        note("corrupt");
        return port_.injectFromLine(a);
      }
      case 0xD: {
        if ((n & 0x08) == 0) answer();
        Bytes a;
        for (int i = 0; i < (n & 0x07); ++i)
          a.push_back(script_.operand());
        note("replaced");
        return port_.injectFromLine(a);
      }
      case 0xE: {
        Bytes a = answer();
        for (int i = 0; i <= (n & 0x07); ++i)
          a.push_back(script_.operand());
        note("lengthened");
        return port_.injectFromLine(a);
      }
      case 0xF:
        return timing(n, answer(), note);
      default:
        return port_.injectFromLine(answer());
    }
  }

  template <typename Note>
  void timing(int n, const Bytes& a, Note note) {
    if (n <= 3) {
      note("late");
      return port_.injectFromLine(a, (n + 1) * 700'000LL);
    }
    if (n <= 7) {
      note("apart");
      return port_.injectFromLine(a, 0, script_.operand() * 10'000LL);
    }
    if (n == 8 || n == 9) {
      note("event");
      port_.raiseErrorEvent();
      if (n == 8) port_.injectFromLine(a);
      return;
    }
    if (n == 10) {
      note("adapter pulled");
      const Micros back = script_.operand() * 100'000LL;
      port_.pullAdapter();
      rt_.post(back, [&port = port_] { port.plugAdapterBack(); });
      return;
    }
    port_.injectFromLine(a);
  }

  runtime::VirtualRuntime& rt_;
  sim::LoopSimulator& box_;
  sim::SimulatedPort& port_;
  LineScript& script_;
  bool silentTail_;
  bool trace_;
};

struct Bench {
  Bench(sim::Loop loop, std::span<const std::uint8_t> bytes, bool silentTail, bool trace)
      : box(std::move(loop)),
        script(bytes),
        port(rt, box),
        line(rt, box, port, script, silentTail, trace),
        station(rt, port, dialogs) {}

  runtime::VirtualRuntime rt;
  sim::LoopSimulator box;
  LineScript script;
  sim::SimulatedPort port;
  HostileLine line;
  screens::RecordingDialogs dialogs;
  engine::BusStation station;
  long steps = 0;
  int clicksOnTheWay = 0;  // clicks posted and not yet delivered
};

void toggle(screens::CheckBox& box) {
  box.checked = !box.checked;
}

bool clickable(const screens::CheckBox& box) {
  return box.visible && box.enabled;
}

bool clickable(const screens::Button& button) {
  return button.visible && button.enabled;
}

// What the technician's click does, through the same calls the Qt windows make.
void act(Bench& b, std::uint8_t kind, std::uint8_t a) {
  engine::BusStation& st = b.station;
  screens::BusWindow& bus = st.bus;
  screens::ParamWindow& param = st.param;
  screens::LedWindow& led = st.led;
  switch (kind & 0x0F) {
    case kF5:
      st.control.Form_KeyDown(engine::kKeyF5);
      break;
    case kF9:
      st.control.Form_KeyDown(engine::kKeyF9);
      break;
    case kAnalysisToggle:
      if (!clickable(bus.Check3)) break;
      toggle(bus.Check3);
      st.control.Check3_Click();
      break;
    case kBoxClick:
      st.control.Adr_Box_Click(a % std::max<int>(st.state.Nb_Adr, 1) + 1);
      break;
    case kParamLed:
      if (!param.visible) break;
      if ((a & 1) == 0 && clickable(param.Led_On_Cde)) st.paramControl.Led_On_Cde_Click();
      if ((a & 1) != 0 && clickable(param.Led_Off_Cde)) st.paramControl.Led_Off_Cde_Click();
      break;
    case kBaseline:
      if (param.visible && clickable(param.Command1)) st.paramControl.Command1_Click();
      break;
    case kSensorToggle: {
      if (!param.visible) break;
      screens::CheckBox& box = (a & 1) != 0 ? param.Thermo_Check : param.Opto_Check;
      if (!clickable(box)) break;
      toggle(box);
      if ((a & 1) != 0) {
        st.paramControl.Thermo_Check_Click();
      } else {
        st.paramControl.Opto_Check_Click();
      }
      break;
    }
    case kParamLoop:
      if (!param.visible) break;
      if ((a & 0x10) != 0) {
        param.HScroll1.value = a % 10 + 1;
        st.paramControl.HScroll1_Change();
      }
      toggle(param.Check1);
      st.paramControl.Check1_Click();
      break;
    case kParamClose:
      if (param.visible) st.paramControl.Close_Cmd_Click();
      break;
    case kLedWindowFields: {
      if (!led.visible) st.leds.Form_Load();
      led.Text4.text = std::to_string(a & 3);
      led.Text6.text = std::to_string((a >> 2) & 3);
      led.Check1.checked = (a & 0x10) != 0;
      const bool automatic = (a & 0x20) == 0;
      if (led.Check2.checked != automatic) {
        led.Check2.checked = automatic;
        st.leds.Check2_Click();
      }
      led.Text5.text = std::to_string(a >> 6);
      break;
    }
    case kLedStartStop:
      if (led.visible && clickable(led.Command2)) st.leds.Command2_Click();
      break;
    case kLedArrow:
      if (led.visible && clickable(led.CMD_AR[a & 1])) st.leds.CMD_AR_Click(a & 1);
      break;
    case kLedClose:
      if (led.visible) st.leds.Command1_Click();
      break;
    case kBusOptions:
      switch (a & 3) {
        case 0:
          toggle(bus.Check2);
          break;
        case 1:
          toggle(bus.Check5);
          break;
        case 2:
          toggle(bus.Check4);
          bus.Combo1.text = std::to_string(a >> 2);
          break;
        default:
          st.engine.afterStep([&st, a] {
            st.com.Port_Com = (a & 4) != 0 ? 2 : 1;
            st.engine.openPort();
          });
      }
      break;
    default:
      break;
  }
}

bool busFree(const engine::BusState& s) {
  return !s.Bus_Occupe && !s.Boucle_Mesures;
}

bool idleState(std::int16_t state) {
  switch (state) {
    case engine::kLinkCheck:
    case engine::kVersion:
    case engine::kInterfaceStatus:
    case engine::kBeforeMeasures:
    case engine::kBusMeasures:
      return true;
    default:
      return false;
  }
}

// Back where a technician can start anew: no search, no run, no request left but the idle
// cycle's, the search button shown, the LED sequencer stopped.
bool backToIdle(const Bench& b) {
  const engine::BusStation& st = b.station;
  const engine::BusState& s = st.state;
  return !st.engine.busy() && busFree(s) && idleState(s.Etat_Bus) &&
         (s.Etat_Demande == engine::kNone || idleState(s.Etat_Demande)) && s.Etat_Suite == 0 &&
         st.bus.Start_Bus_Cmd.visible && !st.leds.running() && st.Timer_Tache->isEnabled();
}

// What the technician does at the end: closes the parameter and LED windows, stops a run
// with F9, and picks port 1 again when the port is not open (a wrong choice in the port menu,
// an adapter that was out when the tool tried it).
void stopEverything(Bench& b) {
  engine::BusStation& st = b.station;
  if (st.param.visible) st.paramControl.Close_Cmd_Click();
  if (st.led.visible) st.leds.Command1_Click();
  const std::string& caption = st.bus.Adr_Status_Cde.caption;
  if (st.bus.Adr_Status_Cde.visible && caption.starts_with("ARRÊT"))
    st.control.Form_KeyDown(engine::kKeyF9);
  if (!st.Timer_Tache->isEnabled() || st.com.Port_Com != 1 || !b.port.isOpen()) {
    st.engine.afterStep([&st] {
      st.com.Port_Com = 1;
      st.engine.openPort();
    });
  }
}

[[noreturn]] void fail(const Bench& b, const char* why) {
  const engine::BusStation& st = b.station;
  const engine::BusState& s = st.state;
  std::fprintf(stderr,
               "hostile box: %s\n  at %.3f s virtual, %ld steps: Etat_Bus %d, Etat_Demande %d, "
               "Etat_Suite %d, Bus_Occupe %d, Boucle_Mesures %d, Bus_Connecte %d, "
               "LED run %d, F5 shown %d, tick %d, busy %d\n  Current_Operation_Lbl \"%s\", "
               "Adr_Status_Cde \"%s\" (shown %d)\n",
               why, b.rt.nowMs() / 1000.0, b.steps, s.Etat_Bus, s.Etat_Demande, s.Etat_Suite,
               s.Bus_Occupe, s.Boucle_Mesures, s.Bus_Connecte, st.leds.running(),
               st.bus.Start_Bus_Cmd.visible, st.Timer_Tache->isEnabled(), st.engine.busy(),
               st.bus.Current_Operation_Lbl.caption.c_str(), st.bus.Adr_Status_Cde.caption.c_str(),
               st.bus.Adr_Status_Cde.visible);
  std::abort();
}

// Parsed once: the fuzzer is after the engine, not the loop file reader.
const std::vector<sim::Loop>& parsedLoops() {
  static const std::vector<sim::Loop> loops = [] {
    std::vector<sim::Loop> parsed;
    for (const ExampleLoop& l : exampleLoops())
      parsed.push_back(sim::parseLoop(l.json));
    return parsed;
  }();
  return loops;
}

}  // namespace

std::vector<std::uint8_t> makeInput(std::uint8_t loop, std::uint8_t setupBits, std::uint8_t combo,
                                    const std::vector<std::uint8_t>& line,
                                    const std::vector<UserAction>& actions) {
  Bytes input = {loop, setupBits, combo, static_cast<std::uint8_t>(actions.size())};
  input.insert(input.end(), line.begin(), line.end());
  for (const UserAction& a : actions) {
    input.push_back(a.kind);
    input.push_back(a.arg);
    input.push_back(a.wait);
  }
  return input;
}

RunReport runInput(std::span<const std::uint8_t> input, bool trace) {
  const std::vector<sim::Loop>& loops = parsedLoops();
  if (input.size() < kHeaderSize || loops.empty()) return {};
  const std::uint8_t bits = input[1];
  const std::size_t room = (input.size() - kHeaderSize) / 3;
  const std::size_t count = std::min({static_cast<std::size_t>(input[3]), kMaxActions, room});
  const std::span<const std::uint8_t> body =
      input.subspan(kHeaderSize, input.size() - kHeaderSize - 3 * count);
  const std::span<const std::uint8_t> actions = input.last(3 * count);

  Bench b(loops[input[0] % loops.size()], body, (bits & setup::kSilentTail) != 0, trace);
  engine::BusStation& st = b.station;
  engine::BusState& s = st.state;
  if ((bits & setup::kKapre) != 0) {
    s.Produit_Courant = engine::kProductKapre;
    s.Nb_Adr = engine::kKapreAddresses;
    st.bus.SS_Det_12V.checked = false;
    st.bus.SS_KAPRE.checked = true;
  }
  st.bus.Check5.checked = (bits & setup::kNoReaddressing) == 0;
  st.bus.Check4.checked = (bits & setup::kCourtCircuit) != 0;
  st.bus.Combo1.text = std::to_string(input[2]);
  st.bus.Check2.checked = (bits & setup::kNoListing) == 0;
  s.Mode_Debug = st.com.Mode_Debug2 = (bits & setup::kDebug) != 0;
  st.com.Tempo_Bus = (bits & setup::kNoTempoBus) != 0 ? 0 : 50;
  s.Aff_Led = (bits & setup::kAffLed) != 0;

  st.Timer_Tache->setOnTick([&b, trace] {
    ++b.steps;
    const std::int16_t before = b.station.state.Etat_Demande != engine::kNone
                                    ? b.station.state.Etat_Demande
                                    : b.station.state.Etat_Bus;
    b.station.engine.Timer_Tache_Timer();
    const engine::BusState& s = b.station.state;
    if (trace && b.station.engine.stepRunning() == false) {
      std::fprintf(stderr, "%.3f s: step %d -> %d (request %d, occupied %d)\n",
                   b.rt.nowMs() / 1000.0, before, s.Etat_Bus, s.Etat_Demande, s.Bus_Occupe);
    }
    if (s.Nb_Trouve > s.Nb_Adr) fail(b, "more points found than the grid has");
  });
  st.engine.openPort();

  const auto overrun = [&b] { return b.steps >= kMaxSteps || b.rt.nowMs() >= kMainPhaseMs; };
  for (std::size_t i = 0; i < count && !overrun(); ++i) {
    const std::uint8_t kind = actions[3 * i];
    const std::uint8_t arg = actions[3 * i + 1];
    const std::uint8_t wait = actions[3 * i + 2];
    if (trace) {
      std::fprintf(stderr, "%.3f s: action %d (%02X) arg %02X wait %02X, state %d\n",
                   b.rt.nowMs() / 1000.0, kind & 0x0F, kind, arg, wait, s.Etat_Bus);
    }
    if ((kind & kNested) != 0) {
      ++b.clicksOnTheWay;
      b.rt.post(((kind >> 4) & 7) * 150'000LL + 1000, [&b, kind, arg] {
        --b.clicksOnTheWay;
        act(b, kind, arg);
      });
    } else {
      act(b, kind, arg);
    }
    if (wait < kUntilFree) {
      b.rt.runUntil(overrun, wait * 50LL);
    } else {
      b.rt.runUntil([&] { return overrun() || busFree(s); }, (wait - 0x7F) * 4000LL);
    }
  }
  b.rt.runUntil([&] { return b.clicksOnTheWay == 0 && (overrun() || b.script.spent()); },
                kLineAfterActionsMs);
  b.line.counting = false;
  b.script.end();
  if (trace) std::fprintf(stderr, "%.3f s: input spent\n", b.rt.nowMs() / 1000.0);

  // The technician stops what runs, again if need be, until the engine idles.
  const auto idle = [&b] { return backToIdle(b); };
  const std::int64_t giveUp = b.rt.nowUs() + kBackToIdleMs * 1000;
  do {
    stopEverything(b);
    b.rt.runUntil(idle, 30'000);
  } while (!idle() && b.rt.nowUs() < giveUp);
  if (!idle()) fail(b, "the engine did not come back to its idle cycle");
  if (b.rt.runUntil([&] { return !idle(); }, kStaysIdleMs))
    fail(b, "the engine left its idle cycle");
  if ((bits & setup::kSilentTail) == 0 && !b.rt.runUntil([&s] { return s.Bus_Connecte; }, 60'000)) {
    fail(b, "the engine did not find the honest box again");
  }
  return {b.line.decisions, s.Nb_Trouve, b.rt.nowMs() / 1000.0};
}

}  // namespace korvane::fuzz
