#pragma once
// The interface box and the points of its loop, played byte by byte.
//
// The box takes one byte at a time from the PC, with the time it arrived, and gives back the
// bytes it sends in answer. It knows two kinds of exchange:
//   - one-byte interface commands (link check, version, rearm, status, the 0x07 measures);
//   - four-byte frames (header 0x40..0x43, P1, P2, P3): header, P1 and P2 are echoed as they
//     come, P3 brings the answer: a status byte and one data byte, two with the long-answer
//     flag 0x02 of the header.
// Frames address the points: searching (handing out addresses, isolators), register reads and
// the LED and detection-mode commands. See docs/simulator.md for the behaviour in full.
//
// Channels: a multi-channel module takes several consecutive addresses, each answered by one
// channel. The observation and fault calls below name a channel by its physical position on
// the loop, 0-based, counting every channel of every module (loop file entry order).
//
// Not thread-safe; one owner feeds it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sim/loop.h"

namespace korvane::sim {

class LoopSimulator {
 public:
  // Non-zero status bytes, distinct so that a trace tells why a frame was turned down. The PC
  // only tells 0 from the rest.
  static constexpr std::uint8_t kNobody = 0x01;      // no reachable point at that address
  static constexpr std::uint8_t kRefused = 0x02;     // the point refused (unknown command...)
  static constexpr std::uint8_t kBadAddress = 0x03;  // search for an address outside 1..128
  // Bytes of one exchange further apart than this: the PC has given up, start afresh.
  static constexpr std::int64_t kExchangeGapUs = 500'000;
  static constexpr std::uint8_t kLineCheckAddress = link::kLineCheckAddress;

  explicit LoopSimulator(Loop loop);  // throws std::runtime_error if validateLoop does

  // One byte from the PC reaches the box at nowUs (any monotonic origin). Returns the bytes the
  // box sends back in answer, in order (often none).
  std::vector<std::uint8_t> receive(std::uint8_t byte, std::int64_t nowUs);

  // ---- The box misbehaving ----
  // Unplugged: every byte is lost and nothing comes back, until plugged back.
  void setPlugged(bool plugged);
  // Deaf and mute until untilUs: bytes arriving before then are lost.
  void silenceUntil(std::int64_t untilUs);
  // The header echo of each of the next `frames` frames comes back XOR-ed with mask (line noise).
  void corruptEchoes(int frames = 1, std::uint8_t mask = 0xFF);
  // The next `frames` frames are lost on the way: no echo, no answer, as from a box that
  // missed them.
  void muteFrames(int frames);
  // The answer of the next frame lacks its last byte.
  void shortenNextAnswer();
  Box& box() { return loop_.box; }

  // ---- Points misbehaving (a module's channels share their faults) ----
  void setSilentAtSearch(std::size_t channel, int times);
  // Reads of these registers are refused `times` times each; 0 = always. Replaces the set.
  void setFailingRegisters(std::size_t channel, std::set<std::uint8_t> registers, int times = 0);
  void setDead(std::size_t channel, bool dead);

  // ---- Points' values (shared by a module's channels) ----
  void setRegister(std::size_t channel, std::uint8_t reg, std::uint8_t value);
  // Without side effect: the chamber register gives the reading the next read would return.
  std::uint8_t registerValue(std::size_t channel, std::uint8_t reg) const;
  void setChamber(std::size_t channel, std::vector<std::uint8_t> readings);

  // ---- Observation ----
  std::size_t channelCount() const { return channels_.size(); }
  std::uint8_t code(std::size_t channel) const;
  std::uint8_t address(std::size_t channel) const;  // 0 = none
  // The channel holding an address, reachable or not.
  std::optional<std::size_t> channelAt(std::uint8_t address) const;
  bool reachable(std::size_t channel) const;
  bool ledOn(std::size_t channel) const;
  std::uint8_t mode(std::size_t channel) const;
  int rearmCount() const { return rearms_; }
  bool idle() const { return phase_ == Phase::Idle; }
  const Loop& loop() const { return loop_; }

  // One line per completed exchange (and per abandoned or ignored one), for --verbose and for
  // tests that want to see what happened.
  void setLogger(std::function<void(const std::string&)> logger) { logger_ = std::move(logger); }

 private:
  enum class Phase { Idle, Header, P1, P2, Measure };

  struct Device {  // one loop-file entry
    std::uint8_t code = 0;
    std::size_t lastChannel = 0;
    std::uint8_t regs[256] = {};
    std::uint8_t supply = 0;
    std::vector<std::uint8_t> chamber;
    std::size_t chamberNext = 0;
    bool led = false;
    int silentLeft = 0;
    std::set<std::uint8_t> failing;
    int failingTimes = 0;
    std::vector<int> failedSoFar = std::vector<int>(256, 0);
    bool dead = false;
  };
  struct Channel {
    std::size_t device = 0;
    std::uint8_t address = 0;
    bool addressedSinceRearm = false;
  };
  struct Answer {
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
    std::string what;  // for the trace
  };

  std::vector<std::uint8_t> interfaceCommand(std::uint8_t byte);
  std::vector<std::uint8_t> measure(std::uint8_t selector);
  std::vector<std::uint8_t> echo(std::uint8_t byte);
  std::vector<std::uint8_t> answerFrame();
  Answer search(std::uint8_t address, std::uint8_t p3);
  Answer lineCheck();
  Answer command(std::uint8_t code, std::uint8_t address, std::uint8_t p3);
  Answer read(std::uint8_t reg, std::uint8_t address, std::uint8_t p3, bool longAnswer);
  std::uint8_t readRegister(Device& d, std::uint8_t reg, std::uint8_t p3, bool advance);
  void rearm();
  void abandon(const char* why);
  // The channel that answers at an address: holds it, is reachable and alive.
  std::optional<std::size_t> responder(std::uint8_t address) const;
  std::optional<std::size_t> nextToAddress() const;
  Device& deviceOf(std::size_t channel);
  const Device& deviceOf(std::size_t channel) const;
  void log(const std::string& line);

  Loop loop_;
  std::vector<Device> devices_;
  std::vector<Channel> channels_;

  Phase phase_ = Phase::Idle;
  std::uint8_t frame_[4] = {};
  std::int64_t lastByteUs_ = 0;
  std::int64_t nowUs_ = 0;

  bool loopPowered_ = true;  // off between rearm start (0x04) and rearm end (0x03)
  std::optional<std::size_t> openIsolatorAfter_;  // last reachable channel, when cut
  int rearms_ = 0;

  bool plugged_ = true;
  std::int64_t silentUntilUs_ = 0;
  int corruptLeft_ = 0;
  std::uint8_t echoMask_ = 0xFF;
  int muteLeft_ = 0;
  bool frameMuted_ = false;  // the frame in progress is one of the lost ones
  bool shortenNext_ = false;

  std::function<void(const std::string&)> logger_;
};

}  // namespace korvane::sim
