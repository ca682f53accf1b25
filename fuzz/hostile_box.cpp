#include "hostile_box.h"

#include <stdlib.h>  // mkdtemp: the fuzzer runs on Linux only

#include <algorithm>
#include <bitset>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <set>

#include "box_framing.h"
#include "engine/bus_station.h"
#include "reports/report_commands.h"
#include "reports/report_images.h"
#include "runtime/virtual_runtime.h"
#include "screens/dialogs.h"
#include "sim/loop.h"
#include "sim/loop_simulator.h"
#include "sim/simulated_port.h"
#include "text/cp1252.h"

namespace korvane::fuzz {

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Micros = runtime::VirtualRuntime::Micros;

constexpr std::int64_t kMainPhaseMs = 30 * 60 * 1000;
constexpr long kMaxSteps = 6000;
constexpr std::int64_t kLineAfterActionsMs = 3 * 60 * 1000;
constexpr std::int64_t kBackToIdleMs = 20 * 60 * 1000;
constexpr std::int64_t kStaysIdleMs = 5 * 1000;
constexpr std::int64_t kCloseMs = 60 * 1000;
constexpr std::int64_t kClosedQuietMs = 5 * 1000;
constexpr std::int64_t kReconnectMs = 60 * 1000;
constexpr std::int64_t kSearchMs = 20 * 60 * 1000;
// The application looks this often whether a closed bus window has finished closing, before
// it opens the one asked for meanwhile.
constexpr Micros kReopenRetryUs = 20'000;

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
// 2 does not. `reached` hears of every byte, and of whether the box heard it, once the box has.
class HostileLine {
 public:
  HostileLine(runtime::VirtualRuntime& rt, sim::LoopSimulator& box, sim::SimulatedPort& port,
              LineScript& script, bool silentTail, bool trace)
      : rt_(rt), box_(box), port_(port), script_(script), silentTail_(silentTail), trace_(trace) {
    port_.setLine([this](std::uint8_t byte) { reachBox(byte); });
  }

  std::size_t decisions = 0;
  bool counting = true;
  std::function<void(std::uint8_t byte, bool heard)> reached;

 private:
  void reachBox(std::uint8_t byte) {
    if (counting) ++decisions;
    const std::optional<std::uint8_t> d = script_.next();
    const bool heard = !d || (*d >> 4) != 0xD || (*d & 0x08) == 0;
    const Bytes honest = heard ? box_.receive(byte, rt_.nowUs()) : Bytes{};
    if (reached) reached(byte, heard);
    if (!d) {
      if (!silentTail_) port_.injectFromLine(honest);
      return;
    }
    const int n = *d & 0x0F;
    auto note = [&](const char* what) {
      if (trace_) std::fprintf(stderr, "  line %02X -> %02X %s\n", byte, *d, what);
    };
    switch (*d >> 4) {
      case 0xA:
        note("silent");
        return;
      case 0xB: {
        Bytes a = honest;
        a.resize(a.empty() ? 0 : static_cast<std::size_t>(n) % a.size());
        note("cut");
        return port_.injectFromLine(a);
      }
      case 0xC: {
        Bytes a = honest;
        const std::uint8_t mask = script_.operand();
        if (!a.empty()) a[static_cast<std::size_t>(n) % a.size()] ^= mask != 0 ? mask : 0xFF;
        note("corrupt");
        return port_.injectFromLine(a);
      }
      case 0xD: {
        Bytes a;
        for (int i = 0; i < (n & 0x07); ++i)
          a.push_back(script_.operand());
        note("replaced");
        return port_.injectFromLine(a);
      }
      case 0xE: {
        Bytes a = honest;
        for (int i = 0; i <= (n & 0x07); ++i)
          a.push_back(script_.operand());
        note("lengthened");
        return port_.injectFromLine(a);
      }
      case 0xF:
        return timing(n, honest, note);
      default:
        return port_.injectFromLine(honest);
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

// The station's port: the simulated one, with each byte the PC writes told first, and the
// port's release too.
class WatchedPort final : public link::SerialPort {
 public:
  explicit WatchedPort(sim::SimulatedPort& port) : port_(port) {}

  std::function<void(std::uint8_t)> writing;
  std::function<void()> closing;

  bool open(int number, const std::string& settings) override {
    return port_.open(number, settings);
  }
  void close() override {
    if (closing) closing();
    port_.close();
  }
  bool isOpen() const override { return port_.isOpen(); }
  bool write(std::span<const std::uint8_t> bytes) override {
    if (port_.isOpen() && writing) {
      for (std::uint8_t byte : bytes)
        writing(byte);
    }
    return port_.write(bytes);
  }
  std::size_t bytesWaiting() const override { return port_.bytesWaiting(); }
  std::vector<std::uint8_t> readAll() override { return port_.readAll(); }
  void discardInput() override { port_.discardInput(); }
  bool lost() const override { return port_.lost(); }
  void setReceiveThreshold(std::size_t threshold) override { port_.setReceiveThreshold(threshold); }
  void setOnEvent(std::function<void()> onEvent) override { port_.setOnEvent(std::move(onEvent)); }
  std::string errorText() const override { return port_.errorText(); }
  link::PortFailure failure() const override { return port_.failure(); }

 private:
  sim::SimulatedPort& port_;
};

struct Bench {
  Bench(sim::Loop loop, std::span<const std::uint8_t> bytes, std::uint8_t setupBits,
        std::uint8_t combo, int trace)
      : box(std::move(loop)),
        script(bytes),
        port(rt, box),
        line(rt, box, port, script, (setupBits & setup::kSilentTail) != 0, trace > 0),
        watched(port),
        station(rt, watched, dialogs),
        setupBits(setupBits),
        combo(combo),
        trace(trace) {}

  bool honestTail() const { return (setupBits & setup::kSilentTail) == 0; }
  // The bus window is gone and its close is over: nothing may talk to the box any more.
  bool closed() const { return !station.windowOpen() && !station.closing(); }

  runtime::VirtualRuntime rt;
  sim::LoopSimulator box;
  LineScript script;
  sim::SimulatedPort port;
  HostileLine line;
  WatchedPort watched;
  FramingWatch framing;
  screens::RecordingDialogs dialogs;
  engine::BusStation station;
  const std::uint8_t setupBits;
  const std::uint8_t combo;
  const int trace;
  long steps = 0;
  int clicksOnTheWay = 0;    // clicks posted and not yet delivered
  bool openWaiting = false;  // an open asked for while the last close was under way
  // The last parameter reading: the point it was for, and that point's class then.
  int readAddress = -1;
  std::uint8_t readType = 0;
};

[[gnu::format(printf, 2, 3)]] void say(const Bench& b, const char* format, ...) {
  if (!b.trace) return;
  std::fprintf(stderr, "%.3f s: ", b.rt.nowMs() / 1000.0);
  std::va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
}

[[noreturn]] void fail(const Bench& b, const std::string& why) {
  const engine::BusStation& st = b.station;
  const engine::BusState& s = st.state;
  std::fprintf(stderr,
               "hostile box: %s\n  at %.3f s virtual, %ld steps: Etat_Bus %d, Etat_Demande %d, "
               "Etat_Suite %d, Bus_Occupe %d, Boucle_Mesures %d, Bus_Connecte %d, "
               "LED run %d, F5 shown %d, tick %d, busy %d, window open %d, closing %d, "
               "port open %d\n  Current_Operation_Lbl \"%s\", Adr_Status_Cde \"%s\" (shown %d)\n",
               why.c_str(), b.rt.nowMs() / 1000.0, b.steps, s.Etat_Bus, s.Etat_Demande,
               s.Etat_Suite, s.Bus_Occupe, s.Boucle_Mesures, s.Bus_Connecte, st.leds.running(),
               st.bus.Start_Bus_Cmd.visible, st.Timer_Tache->isEnabled(), st.engine.busy(),
               st.windowOpen(), st.closing(), b.port.isOpen(),
               st.bus.Current_Operation_Lbl.caption.c_str(), st.bus.Adr_Status_Cde.caption.c_str(),
               st.bus.Adr_Status_Cde.visible);
  std::abort();
}

// ---- The bus window ---------------------------------------------------------------------------

// What byte 1 puts in the settings file, read when the bus window opens.
void loadSettings(Bench& b) {
  engine::BusStation& st = b.station;
  const std::uint8_t bits = b.setupBits;
  if ((bits & setup::kKapre) != 0) {
    st.bus.SS_Det_12V.checked = false;
    st.bus.SS_KAPRE.checked = true;
  }
  st.bus.Check5.checked = (bits & setup::kNoReaddressing) == 0;
  st.bus.Check4.checked = (bits & setup::kCourtCircuit) != 0;
  st.bus.Combo1.text = std::to_string(b.combo);
  st.bus.Check2.checked = (bits & setup::kNoListing) == 0;
  st.state.Mode_Debug = st.com.Mode_Debug2 = (bits & setup::kDebug) != 0;
  st.com.Tempo_Bus = (bits & setup::kNoTempoBus) != 0 ? 0 : 50;
  st.state.Aff_Led = (bits & setup::kAffLed) != 0;
}

const std::string& product(const Bench& b) {
  return (b.setupBits & setup::kKapre) != 0 ? engine::kProductKapre : engine::kProductDI;
}

void openBusWindow(Bench& b);

// The application opens the window asked for once the last one has closed and nothing of it is
// on the stack any more, looking again every 20 ms.
void openWhenClosed(Bench& b) {
  b.rt.post(kReopenRetryUs, [&b] {
    if (!b.openWaiting) return;
    if (b.station.closing() || b.station.engine.busy()) return openWhenClosed(b);
    b.openWaiting = false;
    openBusWindow(b);
  });
}

void openBusWindow(Bench& b) {
  engine::BusStation& st = b.station;
  if (st.windowOpen() || b.openWaiting) return;
  if (st.closing() || st.engine.busy()) {
    say(b, "bus window: open waits for the last close");
    b.openWaiting = true;
    return openWhenClosed(b);
  }
  say(b, "bus window opens");
  st.openWindow(product(b), [&b] { loadSettings(b); });
}

void closeBusWindow(Bench& b) {
  if (!b.station.windowOpen()) return;
  say(b, "bus window closes");
  b.station.closeWindow();
}

// ---- The report window ------------------------------------------------------------------------

// One folder per process for the reports, gone when the process ends normally.
class ReportFolder {
 public:
  ReportFolder() {
    std::string pattern = (fs::temp_directory_path() / "korvane-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::fprintf(stderr, "hostile box: no folder for the reports in %s\n", pattern.c_str());
      std::abort();
    }
    path_ = pattern;
    // The bar pictures only: the logo and the background would lengthen every page.
    images_ = reports::Init_Images(path_);
  }
  ~ReportFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  ReportFolder(const ReportFolder&) = delete;
  ReportFolder& operator=(const ReportFolder&) = delete;

  fs::path text() const { return path_ / "report.txt"; }
  fs::path html() const { return path_ / "report.html"; }
  const reports::ReportImages& images() const { return images_; }

 private:
  fs::path path_;
  reports::ReportImages images_;
};

const ReportFolder& reportFolder() {
  static const ReportFolder folder;
  return folder;
}

// "Sauvegarder" and "Rapport HTML", as the report window runs them: between engine steps, the
// save dialog answered with the folder's file. The report window is a window of its own: with
// nothing on the engine's stack its save runs at once, bus window open or not.
void saveReport(Bench& b, bool html) {
  const bool atOnce = !b.station.engine.busy();
  const auto saved = std::make_shared<bool>(false);
  b.station.engine.afterStep([&b, html, saved] {
    *saved = true;
    const ReportFolder& folder = reportFolder();
    const reports::ReportContext context{
        b.station.report,
        b.station.state,
        folder.images(),
        fs::path(KORVANE_REPORT_FOLDER) / reports::kTemplateFile,
        b.rt,
        b.dialogs,
        [&folder](const reports::FileKind& kind) -> std::optional<fs::path> {
          return kind.suffix == "html" ? folder.html() : folder.text();
        },
        {}};
    say(b, "report window: %s", html ? "Rapport HTML" : "Sauvegarder");
    if (html) {
      reports::saveHtmlReport(context);
    } else {
      reports::saveTextReport(context);
    }
  });
  if (atOnce && !*saved)
    fail(b, std::string(html ? "\"Rapport HTML\"" : "\"Sauvegarder\"") + " saved nothing");
}

// ---- The technician ---------------------------------------------------------------------------

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
  const std::uint8_t what = kind & 0x0F;
  if (what == kBusWindow) {
    if ((a & 1) == kOpenWindow) {
      openBusWindow(b);
    } else {
      closeBusWindow(b);
    }
    return;
  }
  if (what == kReportWindow) {
    if ((a & 3) == kSaveText || (a & 3) == kSaveHtml) saveReport(b, (a & 3) == kSaveHtml);
    return;
  }
  // The bus window and the windows it opens are not on screen.
  if (!st.windowOpen()) return;
  switch (what) {
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

// Back where a technician can start anew: the bus window open, no search, no run, no request
// left but the idle cycle's, the search button shown, the LED sequencer stopped.
bool backToIdle(const Bench& b) {
  const engine::BusStation& st = b.station;
  const engine::BusState& s = st.state;
  return st.windowOpen() && !st.engine.busy() && busFree(s) && idleState(s.Etat_Bus) &&
         (s.Etat_Demande == engine::kNone || idleState(s.Etat_Demande)) && s.Etat_Suite == 0 &&
         st.bus.Start_Bus_Cmd.visible && !st.leds.running() && st.Timer_Tache->isEnabled();
}

// What the technician does at the end: opens the bus window again if it was closed, closes the
// parameter and LED windows, stops a run with F9, and picks port 1 again when the port is not
// open (a wrong choice in the port menu, an adapter that was out when the tool tried it).
void stopEverything(Bench& b) {
  engine::BusStation& st = b.station;
  if (!st.windowOpen()) return openBusWindow(b);
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

// ---- What must hold ---------------------------------------------------------------------------

void checkNoPortWhileClosed(const Bench& b) {
  if (b.closed() && (b.port.isOpen() || b.port.lost()))
    fail(b, "the port is held while the bus window is closed");
}

// The rows 5 on that each class of point shows (the detector's parameters, a module's input
// delay, the BRIM's supply), by Adr_Type; a class not named here shows none.
bool rowOfClass(std::uint8_t adrType, const std::string& label) {
  static const std::set<std::string> kDetector = {"Valeur Initiale",
                                                  "Seuil Alarme",
                                                  "Seuil Défaut",
                                                  "Nombre de requêtes",
                                                  "Nombre de conv.Défaut",
                                                  "Largeur Strobe",
                                                  "Type de moyenne",
                                                  "Nombre de vérification Défaut",
                                                  "Délai ampli"};
  switch (adrType) {
    case 1:   // ZUN112
    case 10:  // KEV11x
      return kDetector.contains(label);
    case 3:  // KEV312A
    case 8:  // KEV112A
      return kDetector.contains(label) || label == "Mode détection";
    case 4:  // the MOLS modules
    case 6:
    case 7:
      return label == "Temporisation entrée";
    case 18:  // BRIM
      return label == "Etat du BRIM" || label == "Calibre AES" || label == "Tension AES";
    default:
      return false;
  }
}

const char* classLabel(std::uint8_t adrType) {
  static const std::pair<std::uint8_t, const char*> kLabels[] = {
      {1, "ZUN112"},   {2, "PRADE-112"}, {3, "KEV312A"}, {4, "MOLS-112"}, {5, "GLIR112"},
      {6, "MOLS-412"}, {7, "MOLS-212"},  {8, "KEV112A"}, {9, "KEV212A"},  {10, "KEV11x"},
      {11, "KAPRE"},   {16, "TU-OX"},    {17, "RAYL"},   {18, "BRIM"}};
  for (const auto& [type, label] : kLabels) {
    if (type == adrType) return label;
  }
  return "???";
}

std::string threeDigits(int n) {
  char text[16];
  std::snprintf(text, sizeof text, "%03d", n);
  return text;
}

// The parameter window's rows all come from the point it names: a reading of one point laid
// under another's name would show another address, or another class's rows. A search (or the
// report's demonstration loop) may retype the point after its reading: the rows then show the
// class it had, which is checked no further.
void checkParameterWindow(const Bench& b) {
  const engine::BusStation& st = b.station;
  const screens::ParamWindow& w = st.param;
  if (!st.windowOpen() || !w.visible) return;
  const std::string& frame = w.Status_Frame.caption;
  if (!frame.starts_with("Position ")) return;  // no point chosen yet
  const int address = std::atoi(frame.c_str() + 9);
  // A point of no known class shows "???" in its first rows, its address too.
  const bool unknown = w.Value_Lbl[0].caption == "???" && w.Value_Lbl[1].caption == "???";
  if (w.Value_Lbl[0].visible && w.Value_Lbl[0].caption != threeDigits(address) && !unknown) {
    fail(b, "the parameter window shows address " + w.Value_Lbl[0].caption + " under \"" + frame +
                "\"");
  }
  if (!engine::PointTable::isAddress(address)) return;
  const std::uint8_t type = st.state.points[address].Adr_Type;
  if (b.readAddress != address || b.readType != type) return;
  const screens::Label& shown = w.Value_Lbl[1];
  if (shown.visible && shown.caption != "???" && shown.caption != classLabel(type)) {
    fail(b, "the parameter window shows a " + shown.caption + " under \"" + frame +
                "\", a point of class " + std::to_string(type));
  }
  if (type == 0) return;
  for (int k = 5; k < screens::kParamRows; ++k) {
    const screens::Label& row = w.Param_Lbl[static_cast<std::size_t>(k)];
    if (row.visible && !rowOfClass(type, row.caption)) {
      fail(b, "the parameter window shows the row \"" + row.caption + "\" under \"" + frame +
                  "\", a point of class " + std::to_string(type));
    }
  }
}

// The loop's lit LEDs, one per point (a module's channels share theirs), each with the
// addresses its channels hold. A point cut off (the loop off during a rearm, beyond an open
// isolator) has no power: its LED shows nothing, whatever the box remembers.
struct LitPoint {
  std::vector<std::uint8_t> addresses;
};

std::vector<LitPoint> litPoints(const sim::LoopSimulator& box) {
  std::vector<LitPoint> lit;
  std::size_t channel = 0;
  for (const sim::Point& p : box.loop().points) {
    const std::size_t first = channel;
    channel += static_cast<std::size_t>(sim::channelsOf(p.code));
    if (!box.ledOn(first) || !box.reachable(first)) continue;
    LitPoint point;
    for (std::size_t c = first; c < channel; ++c)
      point.addresses.push_back(box.address(c));
    lit.push_back(point);
  }
  return lit;
}

// Unless the line made the box act on frames the tool never sent (box_framing.h): no tool
// could know what those lit.
bool ledsCheckable(const Bench& b) {
  if (!b.framing.lineMisledLeds()) return true;
  say(b, "LED checks skipped: the line made the box take LED frames or searches otherwise");
  return false;
}

void checkLedsTracked(const Bench& b) {
  const std::bitset<engine::kMaxAddresses + 1>& known = b.station.state.ledsMaybeLit;
  for (const LitPoint& p : litPoints(b.box)) {
    const bool tracked = std::any_of(p.addresses.begin(), p.addresses.end(),
                                     [&known](std::uint8_t a) { return a != 0 && known.test(a); });
    if (!tracked) {
      fail(b, "the LED of the point at address " + std::to_string(p.addresses.front()) +
                  " is lit, and the tool does not know it may have lit it");
    }
  }
}

// What the search should find: every point up to the first that never answers, at most as
// many as the product's grid. A KAPRE search ends at the first point that keeps silent, and
// how many silences such a point has left after the run's own searches the loop does not
// tell: with one before the end, the search may stop there or go on to the end.
struct Expected {
  int least = 0;
  int most = 0;
};

Expected expectedSearch(const Bench& b) {
  const bool kapre = (b.setupBits & setup::kKapre) != 0;
  const int limit = kapre ? engine::kKapreAddresses : engine::kMaxAddresses;
  int reach = 0;
  std::optional<int> silent;
  for (const sim::Point& p : b.box.loop().points) {
    if (p.dead) break;
    if (kapre && p.silentAtSearch > 0 && !silent) silent = reach;
    reach += sim::channelsOf(p.code);
  }
  const int most = std::min(reach, limit);
  return {silent ? std::min(*silent, most) : most, most};
}

std::string readFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++n;
  return n;
}

// The technician's own search at the end, on an honest box: "Reprog. Adr." and "Listing"
// ticked, "Court-Circuit" not, F5, then the count, the table, the listing and both reports.
void checkFullSearch(Bench& b) {
  engine::BusStation& st = b.station;
  const engine::BusState& s = st.state;
  st.bus.Check5.checked = true;
  st.bus.Check4.checked = false;
  st.bus.Check2.checked = true;
  say(b, "the technician's search");
  if (!st.control.Form_KeyDown(engine::kKeyF5) || !s.Bus_Occupe)
    fail(b, "F5 did not start the technician's search");
  if (!b.rt.runUntil([&b] { return backToIdle(b); }, kSearchMs))
    fail(b, "the technician's search did not end");

  const Expected want = expectedSearch(b);
  const int found = s.Nb_Trouve;
  if (found < want.least || found > want.most) {
    fail(b, "the search found " + std::to_string(found) + " points, not " +
                std::to_string(want.least) +
                (want.most != want.least ? " to " + std::to_string(want.most) : ""));
  }
  std::vector<std::string> lines;
  for (int a = 1; a <= found; ++a) {
    const auto channel = b.box.channelAt(static_cast<std::uint8_t>(a));
    const engine::Point& p = s.points[a];
    if (!channel || p.Adr_Code_Type != b.box.code(*channel)) {
      fail(b, "the point at address " + std::to_string(a) + " is typed " +
                  std::to_string(p.Adr_Code_Type) + ", the loop has " +
                  (channel ? std::to_string(b.box.code(*channel)) : "nobody") + " there");
    }
    lines.push_back(p.Adr_Ligne);
  }
  if (st.report.List1.lines != lines) fail(b, "the listing is not the points found");

  // The reports, saved afresh.
  const ReportFolder& folder = reportFolder();
  std::error_code ignored;
  fs::remove(folder.text(), ignored);
  fs::remove(folder.html(), ignored);
  saveReport(b, false);
  saveReport(b, true);
  std::string block = "\r\n";
  for (const std::string& line : lines)
    block += text::utf8ToCp1252(line) + "\r\n";
  const std::string textReport = readFile(folder.text());
  const std::string counted = "Nb de points : " + std::to_string(found) + "\r\n";
  if (!textReport.ends_with(counted) ||
      (found > 0 && textReport.find(block + "\r\n") == std::string::npos)) {
    fail(b, "the text report does not list the " + std::to_string(found) + " points found");
  }
  // With no point found, the page shows the demonstration loop instead.
  const std::size_t rows = count(readFile(folder.html()), "<tr align=\"center\">");
  const std::size_t wantRows = found > 0 ? static_cast<std::size_t>(found) : engine::kMaxAddresses;
  if (rows != wantRows) {
    fail(b, "the HTML report has " + std::to_string(rows) + " point rows, not " +
                std::to_string(wantRows));
  }
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

// Every byte the PC writes, and every byte as it reaches the box; every tick of the engine.
void watch(Bench& b) {
  engine::BusStation& st = b.station;
  b.watched.writing = [&b](std::uint8_t byte) {
    if (b.closed()) fail(b, "a byte went out to the box while the bus window was closed");
    b.framing.written(byte, b.station.com.Nb_Com, b.station.com.Nb_Erreur_Com);
  };
  b.watched.closing = [&b] { say(b, "the port is let go"); };
  // The history hears of a search once it has ended and of a run once it has stopped, and
  // only what the table holds then: points found, in order, each with a readable serial, a
  // run's with the verdict as judged.
  st.engine.onVisit = [&b](const engine::Visit& v) {
    const engine::BusStation& st = b.station;
    const engine::BusState& s = st.state;
    const bool run = v.kind == engine::VisitKind::kAnalysis;
    if (run ? s.Boucle_Mesures && st.windowOpen() : s.Bus_Occupe)
      fail(b, run ? "the history heard of a run still going"
                  : "the history heard of a search still going");
    int last = 0;
    for (const engine::VisitPoint& p : v.points) {
      const engine::Point& in = s.points[p.address];
      if (p.address <= last || p.address > s.Nb_Trouve || !engine::followsDetector(p.serial) ||
          p.serial != in.Adr_Serie)
        fail(b, "the history got address " + std::to_string(p.address) + " (" + p.serial +
                    ") out of what the table found");
      if (run && (!engine::hasVerdict(in) || p.verdict != in.Adr_Verdict ||
                  p.percent != in.Adr_Taux_Exact || p.percent < 0 || p.percent > 100))
        fail(b, "the history got a verdict the run did not give at address " +
                    std::to_string(p.address));
      last = p.address;
    }
  };
  b.line.reached = [&b](std::uint8_t byte, bool heard) {
    if (!b.framing.reached(byte, heard, b.rt.nowUs(), b.box.idle()))
      fail(b, "harness: the framing watch lost track of the box");
    if (const auto slip = b.framing.takeSlip()) {
      say(b, "  box takes %02X otherwise than sent (%s)", slip->byte,
          slip->line ? "the line's doing" : "the tool's");
    }
  };
  st.Timer_Tache->setOnTick([&b] {
    engine::BusStation& st = b.station;
    // The gate is shut as the close begins: no step may start after it.
    if (!st.windowOpen()) fail(b, "the engine's tick ran while the bus window was closed");
    ++b.steps;
    const engine::BusState& s = st.state;
    const bool stepRuns = !st.engine.busy();
    const std::int16_t ran = s.Etat_Demande != engine::kNone ? s.Etat_Demande : s.Etat_Bus;
    st.engine.Timer_Tache_Timer();
    if (!stepRuns) return;
    if (b.trace) {
      std::fprintf(stderr, "%.3f s: step %d -> %d (request %d, occupied %d)\n",
                   b.rt.nowMs() / 1000.0, ran, s.Etat_Bus, s.Etat_Demande, s.Bus_Occupe);
    }
    if (ran == engine::kReadParameters) {
      b.readAddress = s.Adr_Cde;
      b.readType = s.points[s.Adr_Cde].Adr_Type;
    }
    // The HTML report's demonstration loop fills the table outside a search; a search counts
    // from nothing.
    if ((ran == engine::kSearch || ran == engine::kSearchEnd) && s.Nb_Trouve > s.Nb_Adr)
      fail(b, "more points found than the grid has");
  });
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

RunReport runInput(std::span<const std::uint8_t> input, int trace) {
  const std::vector<sim::Loop>& loops = parsedLoops();
  if (input.size() < kHeaderSize || loops.empty()) return {};
  const std::uint8_t bits = input[1];
  const std::size_t room = (input.size() - kHeaderSize) / 3;
  const std::size_t count = std::min({static_cast<std::size_t>(input[3]), kMaxActions, room});
  const std::span<const std::uint8_t> body =
      input.subspan(kHeaderSize, input.size() - kHeaderSize - 3 * count);
  const std::span<const std::uint8_t> actions = input.last(3 * count);

  Bench b(loops[input[0] % loops.size()], body, bits, input[2], trace);
  engine::BusStation& st = b.station;
  engine::BusState& s = st.state;
  watch(b);
  if (trace >= 2) {
    b.box.setLogger(
        [](const std::string& line) { std::fprintf(stderr, "    box %s\n", line.c_str()); });
  }
  // The application's window asks for its own unloading at the end of a step that ran while it
  // closed; the close is over by then, or under way.
  st.engine.unloadWindow = [&b] { closeBusWindow(b); };
  openBusWindow(b);

  const auto overrun = [&b] { return b.steps >= kMaxSteps || b.rt.nowMs() >= kMainPhaseMs; };
  for (std::size_t i = 0; i < count && !overrun(); ++i) {
    const std::uint8_t kind = actions[3 * i];
    const std::uint8_t arg = actions[3 * i + 1];
    const std::uint8_t wait = actions[3 * i + 2];
    say(b, "action %d (%02X) arg %02X wait %02X, state %d", kind & 0x0F, kind, arg, wait,
        s.Etat_Bus);
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
    checkNoPortWhileClosed(b);
  }
  b.rt.runUntil([&] { return b.clicksOnTheWay == 0 && (overrun() || b.script.spent()); },
                kLineAfterActionsMs);
  b.line.counting = false;
  b.script.end();
  say(b, "input spent");
  const int found = s.Nb_Trouve;
  checkNoPortWhileClosed(b);
  checkParameterWindow(b);

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
  const bool ledsChecked = ledsCheckable(b);
  if (ledsChecked) checkLedsTracked(b);

  // The technician closes the bus window.
  closeBusWindow(b);
  if (!b.rt.runUntil([&st] { return !st.closing(); }, kCloseMs))
    fail(b, "the bus window's close did not end");
  if (b.honestTail() && ledsChecked && !litPoints(b.box).empty()) {
    fail(b, "the LED of the point at address " +
                std::to_string(litPoints(b.box).front().addresses.front()) +
                " is still lit after the bus window closed");
  }
  checkNoPortWhileClosed(b);
  const std::size_t sent = b.port.sent().size();
  const long steps = b.steps;
  b.rt.runForMs(kClosedQuietMs);
  if (b.port.sent().size() != sent || b.steps != steps || st.Timer_Tache->isEnabled())
    fail(b, "the engine went on after the bus window closed");

  // And opens it again.
  openBusWindow(b);
  if (b.honestTail()) {
    if (!b.rt.runUntil([&s] { return s.Bus_Connecte; }, kReconnectMs))
      fail(b, "the engine did not find the honest box again");
    checkFullSearch(b);
  }
  return {b.line.decisions, found, b.rt.nowMs() / 1000.0};
}

}  // namespace korvane::fuzz
