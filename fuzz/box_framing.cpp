#include "box_framing.h"

#include <algorithm>

#include "link/loop_protocol.h"
#include "sim/loop_simulator.h"

namespace korvane::fuzz {

namespace {

bool isHeader(std::uint8_t byte) {
  return byte >= link::frameHeader(false, false) && byte <= link::frameHeader(true, true);
}

bool isSelector(std::uint8_t byte) {
  return byte == link::kMeasureCurrent || byte == link::kMeasureVoltageOut ||
         byte == link::kMeasureVoltageReturn;
}

bool isRearm(std::uint8_t byte) {
  return byte == link::kCmdRearmStart || byte == link::kCmdRearmEnd;
}

bool isCommandFrame(std::uint8_t header) {
  return (header & link::kHeaderCommand) != 0;
}

}  // namespace

void FramingWatch::written(std::uint8_t byte, double frames, double failures) {
  Sent s{byte, Role::kCommand, -1, 0};
  if (pos_ < 3 && frames == frames_ && failures == failures_) {
    // The frame under way has not failed: its next byte.
    ++pos_;
    s = {byte, Role::kFrameNext, static_cast<int>(pcFrames_.size()) - 1, pos_};
    if (pos_ == 1) pcFrames_.back().p1 = byte;
  } else if (isHeader(byte)) {
    pcFrames_.push_back({byte, 0});
    pos_ = 0;
    frames_ = frames;
    failures_ = failures;
    s = {byte, Role::kFrameStart, static_cast<int>(pcFrames_.size()) - 1, 0};
  } else {
    pos_ = 3;
    if (afterMeasure_ && isSelector(byte)) s.role = Role::kSelector;
  }
  afterMeasure_ = s.role == Role::kCommand && byte == link::kCmdMeasure;
  inFlight_.push_back(s);
}

bool FramingWatch::ledOrSearch(std::uint8_t header, std::uint8_t p1) {
  return isCommandFrame(header) &&
         (p1 == link::kCmdLed || p1 == link::kCmdSearch + 1 || p1 == link::kCmdSearch + 8);
}

bool FramingWatch::reached(std::uint8_t byte, bool heard, std::int64_t nowUs, bool boxIdleAfter) {
  if (inFlight_.empty() || inFlight_.front().byte != byte) return false;
  const Sent s = inFlight_.front();
  inFlight_.pop_front();
  // What the PC then believes of its exchange matters to the LED checks when it is an LED
  // frame (known by its P1, so frames are judged at the end) or a rearm.
  auto touch = [this, &s] {
    if (s.frame >= 0) touched_.push_back(s.frame);
    if (s.role == Role::kCommand && isRearm(s.byte)) misled_ = true;
  };
  if (!heard) {
    missed_ = true;
    touch();
    return (phase_ == Phase::kIdle) == boxIdleAfter;
  }

  // The box drops a half frame after a pause.
  if (phase_ != Phase::kIdle && nowUs - lastHeardUs_ > sim::LoopSimulator::kExchangeGapUs)
    phase_ = Phase::kIdle;
  lastHeardUs_ = nowUs;

  Phase meant = Phase::kIdle;
  bool sameFrame = true;
  switch (s.role) {
    case Role::kFrameStart:
    case Role::kCommand:
      break;
    case Role::kSelector:
      meant = Phase::kMeasure;
      break;
    case Role::kFrameNext:
      meant = s.pos == 1 ? Phase::kHeader : s.pos == 2 ? Phase::kP1 : Phase::kP2;
      sameFrame = boxFrameOf_ == s.frame;
      break;
  }
  const bool agreed = phase_ == meant && sameFrame;
  if (agreed) {
    missed_ = false;
  } else {
    lastSlip_ = Slip{byte, missed_};
    if (missed_) touch();
  }
  boxTakes(byte, s, agreed);
  return (phase_ == Phase::kIdle) == boxIdleAfter;
}

// The box's framing, as docs/simulator.md tells it.
void FramingWatch::boxTakes(std::uint8_t byte, const Sent& s, bool agreed) {
  const bool lineMade = !agreed && missed_;
  switch (phase_) {
    case Phase::kIdle:
      if (isHeader(byte)) {
        phase_ = Phase::kHeader;
        boxFrame_[0] = byte;
        boxFrameOf_ = agreed && s.role == Role::kFrameStart ? s.frame : -1;
      } else if (byte == link::kCmdMeasure) {
        phase_ = Phase::kMeasure;
      } else if (lineMade && isRearm(byte)) {
        misled_ = true;
      }
      return;
    case Phase::kMeasure:
      phase_ = Phase::kIdle;
      return;
    case Phase::kHeader:
    case Phase::kP1:
    case Phase::kP2: {
      const int at = phase_ == Phase::kHeader ? 1 : phase_ == Phase::kP1 ? 2 : 3;
      boxFrame_[at] = byte;
      if (!agreed) boxFrameOf_ = -1;
      if (at < 3) {
        phase_ = phase_ == Phase::kHeader ? Phase::kP1 : Phase::kP2;
        return;
      }
      phase_ = Phase::kIdle;
      // A frame nobody sent, made of what the line let through.
      if (boxFrameOf_ < 0 && missed_ && ledOrSearch(boxFrame_[0], boxFrame_[1])) misled_ = true;
      return;
    }
  }
}

bool FramingWatch::lineMisledLeds() const {
  return misled_ || std::any_of(touched_.begin(), touched_.end(), [this](int f) {
           const PcFrame& frame = pcFrames_[static_cast<std::size_t>(f)];
           return isCommandFrame(frame.header) && frame.p1 == link::kCmdLed;
         });
}

}  // namespace korvane::fuzz
