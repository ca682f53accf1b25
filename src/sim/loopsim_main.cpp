// korvane-loopsim: plays a loop file behind a pseudo-terminal, so that the tool talks to the
// simulated box through its real serial-port code.
//
//   korvane-loopsim [--com N] [--link PATH] [--latency-timer MS] [--verbose] LOOP.json
//
// The first line on stdout is KORVANE_COM<N>=/dev/pts/<k> (or =PATH with --link, a symbolic
// link to the terminal kept at PATH): exported, it makes port N of the tool open that
// terminal. Fault commands come on stdin, one a line (sim/control.h), each answered by one
// line on stdout, "ok..." or "error: ...". Runs until SIGINT or SIGTERM. A loop file that
// cannot be played gives one line on stderr and exit status 2; a terminal or link it cannot
// make (something other than a link is at PATH), status 1.
//
// --latency-timer MS plays a USB adapter that holds what the box sends until 62 bytes wait or
// MS milliseconds (1..255) pass after the last one (sim/adapter_buffer.h); without it the
// box's bytes reach the tool at once. Either way each byte takes its 9600-baud time.

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "sim/adapter_buffer.h"
#include "sim/control.h"
#include "sim/loop.h"
#include "sim/loop_simulator.h"
#include "sim/pty_line.h"

namespace {

using Clock = std::chrono::steady_clock;

// A pty passes bytes at once; a 9600-baud line with 10 bits a byte takes this long for each,
// and the tool's time-outs and the box's own pause detection are tuned to that pace.
constexpr auto kByteTime = std::chrono::microseconds(1042);
// A sleeping thread wakes late, by up to a millisecond on an idle virtual machine: as late as
// a whole byte. The last stretch of each byte is waited awake, so the line keeps its pace.
constexpr auto kAwakeStretch = std::chrono::microseconds(300);
constexpr int kPollMs = 100;
// A wait for the adapter's timer ends in waitUntil, not in poll: poll counts whole
// milliseconds and wakes as late as a sleep, and one of 0 ms would keep the CPU busy.
constexpr auto kPollMargin = std::chrono::milliseconds(2);
// Lets the last answer reach the tool before the terminal disappears.
constexpr auto kClosingPause = std::chrono::milliseconds(200);

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void onStopSignal(int) {
  stopRequested = 1;
}

void installSignals() {
  struct sigaction sa {};
  sa.sa_handler = onStopSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no SA_RESTART: the wait for bytes must end on the signal
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

constexpr const char* kUsage =
    "usage: korvane-loopsim [--com N] [--link PATH] [--latency-timer MS] [--verbose] LOOP.json\n";
constexpr const char* kOptions =
    "  --com N             the first line names port N of the tool (1..99, default 1)\n"
    "  --link PATH         name the terminal by a symbolic link kept at PATH\n"
    "  --latency-timer MS  hold the box's bytes like a USB adapter: until 62 wait or MS ms\n"
    "                      (1..255) pass after the last one; without it they pass at once\n"
    "  --verbose           one line per exchange on stderr\n"
    "  -h, --help          this help\n"
    "Fault commands come on stdin, one a line; see docs/simulator.md.\n";

void waitUntil(Clock::time_point t) {
  std::this_thread::sleep_until(t - kAwakeStretch);
  while (Clock::now() < t) {
  }
}

int usage(const std::string& problem) {
  std::cerr << "korvane-loopsim: " << problem << "\n" << kUsage;
  return 2;
}

// The whole of `text` as a decimal number from lo to hi, if it is one.
std::optional<int> numberIn(const std::string& text, long lo, long hi) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < lo || value > hi) return std::nullopt;
  return static_cast<int>(value);
}

// The commands on stdin, whole lines at a time. At its end (nothing to read, or /dev/null)
// the box simply goes on without them.
class CommandInput {
 public:
  int fd() const { return open_ ? STDIN_FILENO : -1; }

  // The complete lines that came, if stdin has something now.
  std::vector<std::string> lines() {
    std::vector<std::string> out;
    pollfd pfd{fd(), POLLIN, 0};
    if (!open_ || ::poll(&pfd, 1, 0) <= 0) return out;
    char buffer[256];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
      open_ = false;
      return out;
    }
    pending_.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
      out.push_back(pending_.substr(0, end));
      pending_.erase(0, end + 1);
    }
    return out;
  }

 private:
  bool open_ = true;
  std::string pending_;
};

// The adapter's end of the line: a fresh terminal each time it is plugged in, named by a link
// when asked, like a udev name that outlives the device behind it, and what the adapter holds
// of the box's bytes before the tool gets them.
class Adapter {
 public:
  Adapter(std::string link, int latencyTimerMs) : link_(std::move(link)), held_(latencyTimerMs) {
    plug();
  }
  ~Adapter() { unplug(); }

  // Throws when the terminal or the link cannot be made (something else is at the link's path).
  void plug() {
    if (line_) return;
    line_ = std::make_unique<korvane::sim::PtyLine>();
    if (link_.empty()) return;
    removeLink();
    std::filesystem::create_symlink(line_->deviceName(), link_);
  }
  // The link goes first, so that nobody opens the old terminal in between.
  void unplug() {
    removeLink();
    line_.reset();
    held_.release();
  }
  korvane::sim::PtyLine* line() { return line_.get(); }
  std::string name() const { return link_.empty() && line_ ? line_->deviceName() : link_; }

  // A byte the box sent, at sentUs (microseconds since the start).
  void fromBox(std::uint8_t byte, std::int64_t sentUs) { toPc(held_.fromBox(byte, sentUs)); }
  // When what the adapter holds is due to the tool, if it holds anything.
  std::optional<std::int64_t> dueAt() const { return held_.dueAt(); }
  void releaseHeld() { toPc(held_.release()); }

 private:
  // Only ever a link: a --link that names a real file or device must not cost it.
  void removeLink() const {
    std::error_code ignored;
    if (!link_.empty() && std::filesystem::is_symlink(link_, ignored)) {
      std::filesystem::remove(link_, ignored);
    }
  }

  void toPc(const std::vector<std::uint8_t>& bytes) {
    if (line_ && !bytes.empty()) line_->write(bytes);
  }

  std::string link_;
  std::unique_ptr<korvane::sim::PtyLine> line_;
  korvane::sim::AdapterBuffer held_;
};

}  // namespace

int main(int argc, char** argv) {
  int com = 1;
  int latencyTimerMs = 0;
  bool verbose = false;
  std::string loopPath;
  std::string link;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--verbose") {
      verbose = true;
    } else if (arg == "--com") {
      if (i + 1 >= argc) return usage("--com needs a port number");
      const std::string n = argv[++i];
      const auto value = numberIn(n, 1, 99);
      if (!value) return usage("--com takes a port number from 1 to 99, not \"" + n + "\"");
      com = *value;
    } else if (arg == "--latency-timer") {
      if (i + 1 >= argc) return usage("--latency-timer needs milliseconds");
      const std::string ms = argv[++i];
      const auto value = numberIn(ms, 1, 255);
      if (!value) {
        return usage("--latency-timer takes milliseconds from 1 to 255, not \"" + ms + "\"");
      }
      latencyTimerMs = *value;
    } else if (arg == "--link") {
      if (i + 1 >= argc) return usage("--link needs a path");
      link = argv[++i];
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage << kOptions;
      return 0;
    } else if (!arg.empty() && arg[0] == '-') {
      return usage("unknown option " + arg);
    } else if (loopPath.empty()) {
      loopPath = arg;
    } else {
      return usage("one loop file only");
    }
  }
  if (loopPath.empty()) return usage("no loop file given");

  std::unique_ptr<korvane::sim::LoopSimulator> box;
  try {
    box = std::make_unique<korvane::sim::LoopSimulator>(korvane::sim::loadLoop(loopPath));
  } catch (const std::exception& e) {
    std::cerr << "korvane-loopsim: " << e.what() << "\n";
    return 2;
  }

  installSignals();
  std::unique_ptr<Adapter> adapter;
  try {
    adapter = std::make_unique<Adapter>(link, latencyTimerMs);
  } catch (const std::exception& e) {
    std::cerr << "korvane-loopsim: cannot plug the box in: " << e.what() << "\n";
    return 1;
  }
  const std::string portLine = "KORVANE_COM" + std::to_string(com) + "=";
  std::cout << portLine << adapter->name() << std::endl;
  CommandInput input;

  const Clock::time_point start = Clock::now();
  auto microsSinceStart = [start](Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::microseconds>(t - start).count();
  };
  auto timeAt = [start](std::int64_t micros) { return start + std::chrono::microseconds(micros); };
  // Waits until t; what the adapter holds goes to the tool on time meanwhile.
  auto waitReleasing = [&](Clock::time_point t) {
    for (auto due = adapter->dueAt(); due && timeAt(*due) <= t; due = adapter->dueAt()) {
      waitUntil(timeAt(*due));
      adapter->releaseHeld();
    }
    waitUntil(t);
  };
  if (verbose) {
    box->setLogger([](const std::string& text) { std::cerr << text << "\n"; });
  }

  // Each direction of the line is busy for one byte-time per byte; these say when it is free.
  Clock::time_point toBoxFree = start;
  Clock::time_point toPcFree = start;
  while (stopRequested == 0) {
    int pollMs = kPollMs;
    if (const auto due = adapter->dueAt()) {
      const auto pollFor =
          std::chrono::floor<std::chrono::milliseconds>(timeAt(*due) - Clock::now() - kPollMargin);
      if (pollFor.count() < 1) {
        waitReleasing(timeAt(*due));
        continue;
      }
      pollMs = static_cast<int>(std::min<std::int64_t>(kPollMs, pollFor.count()));
    }
    korvane::sim::PtyLine* line = adapter->line();
    std::vector<std::uint8_t> bytes;
    if (line) {
      bytes = line->read(pollMs, input.fd());
    } else {
      pollfd pfd{input.fd(), POLLIN, 0};
      ::poll(&pfd, 1, pollMs);
    }
    for (std::uint8_t byte : bytes) {
      const Clock::time_point arrives = std::max(Clock::now(), toBoxFree) + kByteTime;
      toBoxFree = arrives;
      waitReleasing(arrives);
      for (std::uint8_t answer : box->receive(byte, microsSinceStart(arrives))) {
        const Clock::time_point sent = std::max(Clock::now(), toPcFree) + kByteTime;
        toPcFree = sent;
        waitReleasing(sent);
        adapter->fromBox(answer, microsSinceStart(sent));
      }
    }
    for (const std::string& command : input.lines()) {
      try {
        const auto done = korvane::sim::applyControl(*box, command, microsSinceStart(Clock::now()));
        using Cable = korvane::sim::ControlResult::Cable;
        if (done.cable == Cable::Unplug) adapter->unplug();
        if (done.cable == Cable::Plug) adapter->plug();
        if (done.error.empty()) {
          std::cout << "ok" << (done.cable == Cable::Plug ? " " + portLine + adapter->name() : "")
                    << std::endl;
        } else {
          std::cout << "error: " << done.error << std::endl;
        }
      } catch (const std::exception& e) {
        std::cout << "error: " << e.what() << std::endl;
      }
    }
  }
  std::this_thread::sleep_for(kClosingPause);
  adapter.reset();
  return 0;
}
