// The search of a full loop in real time, with the application's own runtime and serial port
// (QtRuntime, QtSerialPort) and the engine, against korvane-loopsim: how close the tool comes
// to what the line and its mandated waits allow. scripts/bench-search runs it.
//
//   korvane_search_bench [--latency-timer MS] LOOP.json
//                                      (port 1 is the simulator: KORVANE_COM1=/dev/pts/N)
//
// It measures the wall time from the click on the search button, between two steps of the
// idle cycle, to the end of the search (state 4 has run: Bus_Occupe is false), and divides it
// by the floor.
//
// The floor is the time the same search takes when nothing but the mandated waits and the
// line take time: every Tempo lasts exactly what it was asked (Tempo_Bus before each frame,
// the search step's 50 ms, the rearm's 3000 ms), every step starts exactly 100 ms after the
// engine's tick was last enabled (a step starts only on a tick, and each Tempo re-arms the
// tick at its end), and every byte takes 1042 us on the line, one direction after the other
// as korvane-loopsim paces them, while the tool's own work, the wake-ups and the pty take no
// time at all. That is exactly the same engine run on the virtual clock against the
// simulated box paced like korvane-loopsim, which is how it is computed here, on the same
// loop file. The two runs must exchange the same bytes; the program says so when they do
// not. The floor's parts: pauses (the Tempos asked), line (bytes x 1.042 ms) and ticks (the
// rest: the waits for the next 100 ms tick).
//
// --latency-timer MS says that the simulator plays a USB adapter with that latency timer
// (korvane-loopsim --latency-timer): the floor stays the line's, so the ratio is what the
// adapter costs, and the goal, which is the tool's, is not judged.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <string>

#include "engine/bus_station.h"
#include "link/qt/qt_serial_port.h"
#include "runtime/qt/qt_runtime.h"
#include "runtime/virtual_runtime.h"
#include "sim/loop.h"
#include "sim/loop_simulator.h"
#include "sim/simulated_port.h"

namespace {

using namespace korvane;

constexpr double kByteMs = 1.042;
constexpr double kGoal = 1.02;
constexpr int kGiveUpMs = 30 * 60 * 1000;

// Where the real run loses time: how late each kind of wait ends against what it asked (the
// engine's tick, the pauses, the answers against their line time).
struct Lateness {
  std::function<double()> nowMs;
  double ticksMs = 0, pausesMs = 0, answersMs = 0, afterEventMs = 0;
  int ticks = 0, pauses = 0, answers = 0;
};

// Counts the bytes that cross the line, both ways; with `late`, also how long each answer
// came after its line time.
class CountingPort final : public link::SerialPort {
 public:
  CountingPort(link::SerialPort& port, Lateness* late) : port_(port), late_(late) {}
  bool open(int number, const std::string& settings) override {
    return port_.open(number, settings);
  }
  void close() override { port_.close(); }
  bool isOpen() const override { return port_.isOpen(); }
  bool write(std::span<const std::uint8_t> bytes) override {
    bytes_ += static_cast<std::int64_t>(bytes.size());
    if (late_) sentAt_ = late_->nowMs();
    return port_.write(bytes);
  }
  std::size_t bytesWaiting() const override { return port_.bytesWaiting(); }
  std::vector<std::uint8_t> readAll() override {
    std::vector<std::uint8_t> in = port_.readAll();
    bytes_ += static_cast<std::int64_t>(in.size());
    if (late_ && !in.empty()) {
      late_->answersMs += late_->nowMs() - sentAt_ - static_cast<double>(1 + in.size()) * kByteMs;
      late_->afterEventMs += late_->nowMs() - eventAt_;
      ++late_->answers;
    }
    return in;
  }
  void discardInput() override {
    bytes_ += static_cast<std::int64_t>(port_.bytesWaiting());
    port_.discardInput();
  }
  bool lost() const override { return port_.lost(); }
  void setReceiveThreshold(std::size_t threshold) override { port_.setReceiveThreshold(threshold); }
  void setOnEvent(std::function<void()> onEvent) override {
    if (!late_ || !onEvent) return port_.setOnEvent(std::move(onEvent));
    port_.setOnEvent([this, onEvent = std::move(onEvent)] {
      eventAt_ = late_->nowMs();
      onEvent();
    });
  }
  std::string errorText() const override { return port_.errorText(); }

  std::int64_t bytes() const { return bytes_; }

 private:
  link::SerialPort& port_;
  Lateness* late_;
  std::int64_t bytes_ = 0;
  double sentAt_ = 0;
  double eventAt_ = 0;
};

class TimedTimer final : public runtime::Timer {
 public:
  TimedTimer(std::unique_ptr<runtime::Timer> timer, Lateness& late)
      : timer_(std::move(timer)), late_(late) {}
  void setInterval(int ms) override {
    timer_->setInterval(ms);
    if (timer_->isEnabled()) since_ = late_.nowMs();
  }
  int interval() const override { return timer_->interval(); }
  void setEnabled(bool enabled) override {
    if (enabled && !timer_->isEnabled()) since_ = late_.nowMs();
    timer_->setEnabled(enabled);
  }
  bool isEnabled() const override { return timer_->isEnabled(); }
  void setOnTick(std::function<void()> onTick) override {
    timer_->setOnTick([this, onTick = std::move(onTick)] {
      const double now = late_.nowMs();
      const double late = now - since_ - timer_->interval();
      since_ = now;
      const int interval = timer_->interval();
      if (interval == 100) {
        late_.ticksMs += late;
        ++late_.ticks;
      } else if (interval != engine::kIndicatorMs && interval != link::kAnswerTimeoutMs &&
                 interval != link::kReopenMs) {
        late_.pausesMs += late;
        ++late_.pauses;
      }
      if (onTick) onTick();
    });
  }

 private:
  std::unique_ptr<runtime::Timer> timer_;
  Lateness& late_;
  double since_ = 0;
};

class TimedRuntime final : public runtime::Runtime {
 public:
  TimedRuntime(runtime::Runtime& rt, Lateness& late) : rt_(rt), late_(late) {}
  std::unique_ptr<runtime::Timer> createTimer() override {
    return std::make_unique<TimedTimer>(rt_.createTimer(), late_);
  }
  bool processUntil(const std::function<bool()>& done) override { return rt_.processUntil(done); }
  void processPending() override { rt_.processPending(); }
  runtime::TimeOfDay timeOfDay() const override { return rt_.timeOfDay(); }
  runtime::Date date() const override { return rt_.date(); }

 private:
  runtime::Runtime& rt_;
  Lateness& late_;
};

struct Run {
  bool completed = false;
  double totalMs = 0;
  double pausedMs = 0;
  std::int64_t bytes = 0;
  double frames = 0;
  int found = 0;
};

// One search, from the click to the end of state 4, on whatever runtime and port it is given.
// `until` lets the runtime run until its condition holds (false: given up); `nowMs` is its
// clock.
Run search(runtime::Runtime& rt, link::SerialPort& linePort,
           const std::function<bool(const std::function<bool()>&)>& until,
           const std::function<double()>& nowMs, Lateness* late = nullptr) {
  CountingPort port(linePort, late);
  screens::RecordingDialogs dialogs;
  engine::BusStation st(rt, port, dialogs);
  engine::BusState& s = st.state;
  Run run;
  if (!st.engine.openPort()) return run;
  // Connected, and between two steps of the idle cycle, as a technician's click would be.
  if (!until([&] {
        return s.Bus_Connecte && s.Etat_Bus == engine::kLinkCheck && !st.engine.stepRunning();
      })) {
    return run;
  }
  const std::int64_t bytesBefore = port.bytes();
  const std::int64_t pausedBefore = st.com.pausedMs;
  const double framesBefore = st.com.Nb_Com;
  const double start = nowMs();
  st.control.Start_Bus_Cmd_Click();
  run.completed = until([&] { return !s.Bus_Occupe; });
  run.totalMs = nowMs() - start;
  run.pausedMs = static_cast<double>(st.com.pausedMs - pausedBefore);
  run.bytes = port.bytes() - bytesBefore;
  run.frames = st.com.Nb_Com - framesBefore;
  run.found = s.Nb_Trouve;
  st.Timer_Tache->setEnabled(false);
  return run;
}

Run floorOf(const sim::Loop& loop) {
  runtime::VirtualRuntime rt;
  sim::LoopSimulator box(loop);
  sim::SimulatedPort port(rt, box);
  return search(
      rt, port, [&](const std::function<bool()>& done) { return rt.runUntil(done, kGiveUpMs); },
      [&] { return rt.nowMs(); });
}

Run inRealTime(Lateness& late) {
  runtime::QtRuntime qtRuntime;
  link::QtSerialPort port;
  QElapsedTimer clock;
  clock.start();
  late.nowMs = [&] { return static_cast<double>(clock.nsecsElapsed()) / 1e6; };
  TimedRuntime rt(qtRuntime, late);
  // A simulator that stops answering must not hang the benchmark.
  QTimer giveUp;
  giveUp.setSingleShot(true);
  QObject::connect(&giveUp, &QTimer::timeout, [&] { qtRuntime.shutdown(); });
  giveUp.start(kGiveUpMs);
  return search(
      rt, port, [&](const std::function<bool()>& done) { return rt.processUntil(done); },
      late.nowMs, &late);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const bool withTimer = argc == 4 && std::string(argv[1]) == "--latency-timer";
  const int latencyTimerMs = withTimer ? std::atoi(argv[2]) : 0;  // 0: the line is direct
  if (argc != (withTimer ? 4 : 2) || (withTimer && (latencyTimerMs < 1 || latencyTimerMs > 255))) {
    std::fprintf(stderr,
                 "usage: korvane_search_bench [--latency-timer MS (1..255)] LOOP.json "
                 "(port 1: korvane-loopsim)\n");
    return 2;
  }
  sim::Loop loop;
  try {
    loop = sim::loadLoop(argv[argc - 1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "korvane_search_bench: %s\n", e.what());
    return 2;
  }

  const Run floor = floorOf(loop);
  Lateness late;
  const Run real = inRealTime(late);
  if (!floor.completed || !real.completed) {
    std::fprintf(stderr, "korvane_search_bench: the search did not end (%s)\n",
                 real.completed ? "virtual time" : "real time: is korvane-loopsim on port 1?");
    return 1;
  }
  const double lineMs = static_cast<double>(floor.bytes) * kByteMs;
  const double ratio = real.totalMs / floor.totalMs;
  char verdict[64];
  if (withTimer) {
    std::snprintf(verdict, sizeof verdict, "with a %d ms adapter latency timer", latencyTimerMs);
  } else {
    std::snprintf(verdict, sizeof verdict, "(goal <= %.2f)", kGoal);
  }
  std::printf(
      "search of %d points: %.2f s, floor %.2f s (pauses %.2f s, ticks %.2f s, line %.2f s: "
      "%lld bytes, %.0f frames), ratio %.3f %s\n",
      real.found, real.totalMs / 1000, floor.totalMs / 1000, floor.pausedMs / 1000,
      (floor.totalMs - floor.pausedMs - lineMs) / 1000, lineMs / 1000,
      static_cast<long long>(floor.bytes), floor.frames, ratio, verdict);
  // The lateness of the waits does not add up to the whole: a step's frames after its last
  // pause run within the 100 ms to the next tick, so their answers cost nothing when late.
  std::printf(
      "  %.2f s over the floor. Late: ticks %.3f s (%d), pauses %.3f s (%d), answers %.3f s "
      "(%d; of which %.3f s after the port's notification)\n",
      (real.totalMs - floor.totalMs) / 1000, late.ticksMs / 1000, late.ticks, late.pausesMs / 1000,
      late.pauses, late.answersMs / 1000, late.answers, late.afterEventMs / 1000);
  if (real.bytes != floor.bytes || real.found != floor.found || real.frames != floor.frames) {
    std::printf("  not the same search: real time %d points, %lld bytes, %.0f frames\n", real.found,
                static_cast<long long>(real.bytes), real.frames);
    return 1;
  }
  return withTimer || ratio <= kGoal ? 0 : 3;
}
