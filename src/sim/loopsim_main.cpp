// korvane-loopsim: plays a loop file behind a pseudo-terminal, so that the tool talks to the
// simulated box through its real serial-port code.
//
//   korvane-loopsim [--com N] [--verbose] LOOP.json
//
// The first line on stdout is KORVANE_COM<N>=/dev/pts/<k>: exported, it makes port N of the
// tool open that terminal. Runs until SIGINT or SIGTERM. A loop file that cannot be played
// gives one line on stderr and exit status 2.

#include <signal.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>
#include <thread>

#include "sim/loop.h"
#include "sim/loop_simulator.h"
#include "sim/pty_line.h"

namespace {

using Clock = std::chrono::steady_clock;

// A pty passes bytes at once; a 9600-baud line with 10 bits a byte takes this long for each,
// and the tool's time-outs and the box's own pause detection are tuned to that pace.
constexpr auto kByteTime = std::chrono::microseconds(1042);
constexpr int kPollMs = 100;
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

int usage(const std::string& problem) {
  std::cerr << "korvane-loopsim: " << problem << "\n"
            << "usage: korvane-loopsim [--com N] [--verbose] LOOP.json\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int com = 1;
  bool verbose = false;
  std::string loopPath;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--verbose") {
      verbose = true;
    } else if (arg == "--com") {
      if (i + 1 >= argc) return usage("--com needs a port number");
      const std::string n = argv[++i];
      char* end = nullptr;
      const long value = std::strtol(n.c_str(), &end, 10);
      if (n.empty() || *end != '\0' || value < 1 || value > 99) {
        return usage("--com takes a port number from 1 to 99, not \"" + n + "\"");
      }
      com = static_cast<int>(value);
    } else if (arg == "--help" || arg == "-h") {
      std::cout << "usage: korvane-loopsim [--com N] [--verbose] LOOP.json\n";
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
  std::unique_ptr<korvane::sim::PtyLine> line;
  try {
    line = std::make_unique<korvane::sim::PtyLine>();
  } catch (const std::exception& e) {
    std::cerr << "korvane-loopsim: cannot create the pseudo-terminal: " << e.what() << "\n";
    return 1;
  }
  std::cout << "KORVANE_COM" << com << "=" << line->deviceName() << std::endl;

  const Clock::time_point start = Clock::now();
  auto microsSinceStart = [start](Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::microseconds>(t - start).count();
  };
  if (verbose) {
    box->setLogger([](const std::string& text) { std::cerr << text << "\n"; });
  }

  // Each direction of the line is busy for one byte-time per byte; these say when it is free.
  Clock::time_point toBoxFree = start;
  Clock::time_point toPcFree = start;
  while (stopRequested == 0) {
    for (std::uint8_t byte : line->read(kPollMs)) {
      const Clock::time_point arrives = std::max(Clock::now(), toBoxFree) + kByteTime;
      toBoxFree = arrives;
      std::this_thread::sleep_until(arrives);
      for (std::uint8_t answer : box->receive(byte, microsSinceStart(arrives))) {
        const Clock::time_point sent = std::max(Clock::now(), toPcFree) + kByteTime;
        toPcFree = sent;
        std::this_thread::sleep_until(sent);
        line->write({answer});
      }
    }
  }
  std::this_thread::sleep_for(kClosingPause);
  return 0;
}
