#include "sim/loop_simulator.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace korvane::sim {

namespace {

constexpr std::uint8_t kSearchPhase1 = link::kCmdSearch + 1;  // also the KAPRE product's search
constexpr std::uint8_t kSearchPhase2 = link::kCmdSearch + 8;

// The two sensor switches of the multi-sensor detector; the other bits of its mode register
// (bit 2: static or rate-of-rise heat element) are set at the factory.
constexpr std::uint8_t kModeSwitchBits = link::kModeHeatOff | link::kModeOpticalOff;

std::string hex(std::uint8_t b) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", b);
  return text;
}

std::string hexList(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  for (std::uint8_t b : bytes) {
    if (!out.empty()) out += ' ';
    out += hex(b);
  }
  return out;
}

}  // namespace

LoopSimulator::LoopSimulator(Loop loop) : loop_(std::move(loop)) {
  validateLoop(loop_);
  const std::vector<std::uint8_t> addresses = channelAddresses(loop_);
  for (std::size_t i = 0; i < loop_.points.size(); ++i) {
    const Point& p = loop_.points[i];
    Device d;
    d.code = p.code;
    const bool module = isModule(p.code);
    if (!module) {
      d.regs[reg::kAlarmThreshold] = p.alarm;
      d.regs[reg::kFaultThreshold] = p.fault;
      d.regs[reg::kInitialValue] = p.initial;
    } else {
      d.regs[reg::kModuleDelay] = p.delay;
    }
    const std::uint16_t position = static_cast<std::uint16_t>(i + 1);
    const std::array<std::uint8_t, 4> serial = p.serial.value_or(
        std::array<std::uint8_t, 4>{21, 7, static_cast<std::uint8_t>(position >> 8),
                                    static_cast<std::uint8_t>(position & 0xFF)});
    const std::uint8_t base = module ? reg::kModuleSerial : reg::kDetectorSerial;
    for (int k = 0; k < 4; ++k)
      d.regs[base + k] = serial[k];
    d.regs[reg::kState] = p.state;
    // Register 0x11: chamber of the detectors (when no sequence is given, a clean chamber that
    // reads its initial value), position of the KAPRE, rating of the BRIM.
    if (p.code == kCodeKapre) {
      d.regs[reg::kChamber] = p.position;
    } else if (p.code == kCodeBrim) {
      d.regs[reg::kChamber] = p.rating;
    } else if (!module) {
      d.regs[reg::kChamber] = p.initial;
    }
    d.regs[reg::kType] = p.code;
    d.regs[reg::kPcbVersion] = p.pcbVersion;
    d.regs[reg::kSoftVersion] = p.softVersion;
    d.regs[reg::kTemperature] = static_cast<std::uint8_t>(p.temperature + 20);
    d.regs[reg::kMode] = p.mode;
    for (const auto& [r, v] : p.registers)
      d.regs[r] = v;
    d.supply = p.supply;
    d.chamber = p.chamber;
    d.silentLeft = p.silentAtSearch;
    d.failing = p.failingRegisters;
    d.failingTimes = p.failingTimes;
    d.dead = p.dead;

    for (int c = 0; c < channelsOf(p.code); ++c) {
      Channel ch;
      ch.device = devices_.size();
      ch.address = addresses[channels_.size()];
      channels_.push_back(ch);
    }
    d.lastChannel = channels_.size() - 1;
    devices_.push_back(std::move(d));
  }
}

// ---- Byte intake ------------------------------------------------------------------------------

std::vector<std::uint8_t> LoopSimulator::receive(std::uint8_t byte, std::int64_t nowUs) {
  nowUs_ = nowUs;
  if (!plugged_ || nowUs < silentUntilUs_) {
    abandon("box went quiet");
    log(hex(byte) + " -> (lost: box " + (plugged_ ? "silent" : "unplugged") + ")");
    return {};
  }
  if (phase_ != Phase::Idle && nowUs - lastByteUs_ > kExchangeGapUs)
    abandon("abandoned after a pause");
  lastByteUs_ = nowUs;

  switch (phase_) {
    case Phase::Idle:
      if (byte >= link::frameHeader(false, false) && byte <= link::frameHeader(true, true)) {
        frame_[0] = byte;
        phase_ = Phase::Header;
        frameMuted_ = muteLeft_ > 0;
        if (frameMuted_) {
          --muteLeft_;
        } else if (corruptLeft_ > 0) {
          --corruptLeft_;
          byte ^= echoMask_;
        }
        return echo(byte);
      }
      return interfaceCommand(byte);
    case Phase::Measure:
      phase_ = Phase::Idle;
      return measure(byte);
    case Phase::Header:
      frame_[1] = byte;
      phase_ = Phase::P1;
      return echo(byte);
    case Phase::P1:
      frame_[2] = byte;
      phase_ = Phase::P2;
      return echo(byte);
    case Phase::P2:
      frame_[3] = byte;
      phase_ = Phase::Idle;
      return answerFrame();
  }
  return {};
}

void LoopSimulator::abandon(const char* why) {
  if (phase_ == Phase::Idle) return;
  std::vector<std::uint8_t> got;
  if (phase_ == Phase::Measure) {
    got = {link::kCmdMeasure};
  } else {
    const int n = phase_ == Phase::Header ? 1 : phase_ == Phase::P1 ? 2 : 3;
    got.assign(frame_, frame_ + n);
  }
  log(hexList(got) + " -> (" + why + ")");
  phase_ = Phase::Idle;
}

std::vector<std::uint8_t> LoopSimulator::echo(std::uint8_t byte) {
  if (frameMuted_) return {};
  return {byte};
}

// ---- Interface commands -----------------------------------------------------------------------

std::vector<std::uint8_t> LoopSimulator::interfaceCommand(std::uint8_t byte) {
  std::uint8_t answer = byte;
  std::string what;
  switch (byte) {
    case link::kCmdLinkCheck:
      what = "link check";
      break;
    case link::kCmdVersion:
      answer = loop_.box.version;
      what = "version";
      break;
    case link::kCmdRearmStart:
      // The box cuts the loop's power; the points come back with every isolator closed at 0x03.
      loopPowered_ = false;
      what = "rearm start: loop off";
      break;
    case link::kCmdRearmEnd:
      if (!loopPowered_) {
        rearm();
        what = "rearm end: loop rearmed (" + std::to_string(rearms_) + ")";
      } else {
        what = "rearm end without a start: nothing to do";
      }
      break;
    case link::kCmdStatus:
      answer = loop_.box.shortCircuit ? link::kStatusShortCircuit : 0x00;
      what = "interface status";
      break;
    case link::kCmdMeasure:
      phase_ = Phase::Measure;
      return {link::kCmdMeasure};  // logged with its selector
    default:
      log(hex(byte) + " -> (unknown byte, ignored)");
      return {};
  }
  log(hex(byte) + " -> " + hex(answer) + "  " + what);
  return {answer};
}

std::vector<std::uint8_t> LoopSimulator::measure(std::uint8_t selector) {
  std::uint8_t value = 0;
  const char* what = nullptr;
  switch (selector) {
    case link::kMeasureCurrent:
      value = loop_.box.current;
      what = "loop current";
      break;
    case link::kMeasureVoltageOut:
      value = loop_.box.voltageOut;
      what = "outgoing voltage";
      break;
    case link::kMeasureVoltageReturn:
      value = loop_.box.voltageReturn;
      what = "return voltage";
      break;
    default:
      log("07 " + hex(selector) + " -> 07 (unknown measure, ignored)");
      return {};
  }
  log("07 " + hex(selector) + " -> 07 " + hex(value) + "  " + what);
  return {value};
}

void LoopSimulator::rearm() {
  loopPowered_ = true;
  openIsolatorAfter_.reset();
  for (Channel& ch : channels_)
    ch.addressedSinceRearm = false;
  // Power came back: LEDs are off and the chambers settle again from the start of their readings.
  for (Device& d : devices_) {
    d.led = false;
    d.chamberNext = 0;
  }
  ++rearms_;
}

// ---- Frames -----------------------------------------------------------------------------------

std::vector<std::uint8_t> LoopSimulator::answerFrame() {
  const std::uint8_t header = frame_[0], p1 = frame_[1], p2 = frame_[2], p3 = frame_[3];
  const bool longAnswer = (header & link::kHeaderLongAnswer) != 0;
  if (frameMuted_) {  // the points never heard it: nothing changes
    log(hexList({header, p1, p2, p3}) + " -> (lost on the way)");
    return {};
  }
  Answer a =
      (header & link::kHeaderCommand) != 0 ? command(p1, p2, p3) : read(p1, p2, p3, longAnswer);
  std::vector<std::uint8_t> out{a.status, a.data1};
  if (longAnswer) out.push_back(a.data2);
  std::string note;
  if (shortenNext_) {
    out.pop_back();
    shortenNext_ = false;
    note = " (answer shortened)";
  }
  log(hexList({header, p1, p2, p3}) + " -> " + hexList(out) + "  " + a.what + note);
  return out;
}

LoopSimulator::Answer LoopSimulator::command(std::uint8_t code, std::uint8_t address,
                                             std::uint8_t p3) {
  if (code == kSearchPhase1 || code == kSearchPhase2) {
    return address == kLineCheckAddress ? lineCheck() : search(address, p3);
  }
  const std::string at = " at " + std::to_string(address);
  const auto ch = responder(address);
  if (!ch) return {kNobody, 0, 0, "command " + hex(code) + at + ": nobody answers"};
  Device& d = deviceOf(*ch);
  switch (code) {
    case link::kCmdLed:
      if (p3 != link::kLedOn && p3 != link::kLedOff)
        return {kRefused, 0, 0, "LED" + at + ": refused"};
      d.led = p3 == link::kLedOn;
      return {0, 0, 0, std::string("LED ") + (d.led ? "on" : "off") + at};
    case link::kCmdModeWrite:
      d.regs[reg::kMode] = static_cast<std::uint8_t>((d.regs[reg::kMode] & ~kModeSwitchBits) |
                                                     (p3 & kModeSwitchBits));
      return {0, 0, 0, "mode" + at + " is now " + std::to_string(d.regs[reg::kMode])};
    case link::kCmdModeFollowUp:
      return {0, 0, 0, "mode follow-up" + at};
    default:
      return {kRefused, 0, 0, "unknown command " + hex(code) + at + ": refused"};
  }
}

std::optional<std::size_t> LoopSimulator::nextToAddress() const {
  for (std::size_t i = 0; i < channels_.size(); ++i) {
    if (!channels_[i].addressedSinceRearm) return i;
  }
  return std::nullopt;
}

LoopSimulator::Answer LoopSimulator::search(std::uint8_t address, std::uint8_t p3) {
  const std::string give = "search " + std::to_string(address);
  if (address == 0 || address > kMaxAddresses) return {kBadAddress, 0, 0, give + ": bad address"};
  const auto next = nextToAddress();
  if (!next) return {kNobody, 0, 0, give + ": every point has its address"};
  if (!reachable(*next)) return {kNobody, 0, 0, give + ": the rest of the loop is cut off"};
  Device& d = deviceOf(*next);
  if (d.dead) return {kNobody, 0, 0, give + ": the next point does not answer"};
  if (d.silentLeft > 0) {
    --d.silentLeft;
    return {kNobody, 0, 0, give + ": the next point stays silent"};
  }
  // Addresses stay unique: whoever held this one loses it.
  for (Channel& other : channels_) {
    if (other.address == address) other.address = 0;
  }
  Channel& ch = channels_[*next];
  ch.address = address;
  ch.addressedSinceRearm = true;
  std::string what = give + ": taken by point " + std::to_string(*next + 1) + " (code " +
                     std::to_string(d.code) + ")";
  if (p3 == 0) {
    // The last point keeps its isolator open; a module's isolator is after its last channel.
    openIsolatorAfter_ = d.lastChannel;
    what += ", isolator left open";
  }
  return {0, 0, 0, what};
}

LoopSimulator::Answer LoopSimulator::lineCheck() {
  // The line goes on while the next point of the addressing sequence is there to be found, even
  // if it kept silent at its last search.
  const auto next = nextToAddress();
  if (next && reachable(*next) && !deviceOf(*next).dead) return {0, 0, 0, "line check: goes on"};
  return {kNobody, 0, 0, "line check: ends"};
}

LoopSimulator::Answer LoopSimulator::read(std::uint8_t reg, std::uint8_t address, std::uint8_t p3,
                                          bool longAnswer) {
  const std::string what = "read " + hex(reg) + " at " + std::to_string(address);
  const auto ch = responder(address);
  if (!ch) return {kNobody, 0, 0, what + ": nobody answers"};
  Device& d = deviceOf(*ch);
  if (d.failing.contains(reg)) {
    int& failed = d.failedSoFar[reg];
    if (d.failingTimes == 0 || failed < d.failingTimes) {
      ++failed;
      return {kRefused, 0, 0, what + ": refused (failing register)"};
    }
  }
  Answer a{0, readRegister(d, reg, p3, true), 0, what};
  if (longAnswer) a.data2 = readRegister(d, static_cast<std::uint8_t>(reg + 1), p3, false);
  return a;
}

std::uint8_t LoopSimulator::readRegister(Device& d, std::uint8_t r, std::uint8_t p3, bool advance) {
  if (r == reg::kChamber && !d.chamber.empty()) {
    const std::size_t i = std::min(d.chamberNext, d.chamber.size() - 1);
    if (advance && d.chamberNext < d.chamber.size()) ++d.chamberNext;
    return d.chamber[i];
  }
  // The BRIM answers its supply voltage on register 0x16 when asked with option 5.
  if (r == reg::kTemperature && d.code == kCodeBrim && p3 == 5) return d.supply;
  return d.regs[r];
}

// ---- Reachability -----------------------------------------------------------------------------

bool LoopSimulator::reachable(std::size_t channel) const {
  if (channel >= channels_.size()) throw std::out_of_range("no such channel");
  if (!loopPowered_) return false;
  return !openIsolatorAfter_ || channel <= *openIsolatorAfter_;
}

std::optional<std::size_t> LoopSimulator::responder(std::uint8_t address) const {
  if (address == 0) return std::nullopt;
  const auto ch = channelAt(address);
  if (!ch || !reachable(*ch) || deviceOf(*ch).dead) return std::nullopt;
  return ch;
}

std::optional<std::size_t> LoopSimulator::channelAt(std::uint8_t address) const {
  if (address == 0) return std::nullopt;
  for (std::size_t i = 0; i < channels_.size(); ++i) {
    if (channels_[i].address == address) return i;
  }
  return std::nullopt;
}

LoopSimulator::Device& LoopSimulator::deviceOf(std::size_t channel) {
  if (channel >= channels_.size()) throw std::out_of_range("no such channel");
  return devices_[channels_[channel].device];
}

const LoopSimulator::Device& LoopSimulator::deviceOf(std::size_t channel) const {
  if (channel >= channels_.size()) throw std::out_of_range("no such channel");
  return devices_[channels_[channel].device];
}

// ---- Test controls ----------------------------------------------------------------------------

void LoopSimulator::setPlugged(bool plugged) {
  plugged_ = plugged;
}
void LoopSimulator::silenceUntil(std::int64_t untilUs) {
  silentUntilUs_ = untilUs;
}
void LoopSimulator::corruptEchoes(int frames, std::uint8_t mask) {
  corruptLeft_ = frames;
  echoMask_ = mask;
}
void LoopSimulator::muteFrames(int frames) {
  muteLeft_ = frames;
}
void LoopSimulator::shortenNextAnswer() {
  shortenNext_ = true;
}

void LoopSimulator::setSilentAtSearch(std::size_t channel, int times) {
  deviceOf(channel).silentLeft = times;
}

void LoopSimulator::setFailingRegisters(std::size_t channel, std::set<std::uint8_t> registers,
                                        int times) {
  Device& d = deviceOf(channel);
  d.failing = std::move(registers);
  d.failingTimes = times;
  d.failedSoFar.assign(256, 0);
}

void LoopSimulator::setDead(std::size_t channel, bool dead) {
  deviceOf(channel).dead = dead;
}

void LoopSimulator::setRegister(std::size_t channel, std::uint8_t r, std::uint8_t value) {
  deviceOf(channel).regs[r] = value;
}

std::uint8_t LoopSimulator::registerValue(std::size_t channel, std::uint8_t r) const {
  const Device& d = deviceOf(channel);
  if (r == reg::kChamber && !d.chamber.empty()) {
    return d.chamber[std::min(d.chamberNext, d.chamber.size() - 1)];
  }
  return d.regs[r];
}

void LoopSimulator::setChamber(std::size_t channel, std::vector<std::uint8_t> readings) {
  Device& d = deviceOf(channel);
  d.chamber = std::move(readings);
  d.chamberNext = 0;
}

std::uint8_t LoopSimulator::code(std::size_t channel) const {
  return deviceOf(channel).code;
}

std::uint8_t LoopSimulator::address(std::size_t channel) const {
  deviceOf(channel);  // range check
  return channels_[channel].address;
}

bool LoopSimulator::ledOn(std::size_t channel) const {
  return deviceOf(channel).led;
}

std::uint8_t LoopSimulator::mode(std::size_t channel) const {
  return deviceOf(channel).regs[reg::kMode];
}

void LoopSimulator::log(const std::string& line) {
  if (!logger_) return;
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "[%12.3f ms] ", static_cast<double>(nowUs_) / 1000.0);
  logger_(stamp + line);
}

}  // namespace korvane::sim
