#pragma once
// Whether the box reads the PC's bytes the way the PC meant them.
//
// The protocol has no checksum and no frame marker: the box tells a frame from a one-byte
// command by its first byte, counts three more, and drops a half frame only after half a second
// without a byte. A byte the box misses, or a byte that arrives while the box still holds a
// half frame the PC has given up, shifts everything after it: the box then acts on frames
// nobody sent (an LED lit at an address the tool never named, an address handed out without a
// rearm) while the PC believes the answers its own frames got.
//
//   written   the PC's side: each byte as the frame layer writes it, told apart by the frame
//             layer's counters into the first byte of a frame, the next bytes of the same
//             frame, a one-byte command and the selector of a measure
//   reached   the box's side, in the same order: each byte as it reaches the box, heard or
//             kept from it by the line; the box's framing rules (docs/simulator.md) are played
//             over the bytes it hears and compared with what the PC meant
//
// A byte the box takes otherwise than the PC meant is a slip. It is the line's doing when the
// box missed a byte since the two last agreed on where an exchange starts: no tool can know
// what a box it cannot hear made of it. Otherwise it is the tool's own: it went on talking
// inside a half frame the box still held, or went on with a frame the box had already dropped.
//
//   lineMisledLeds  the line's slips touched what the LED checks rely on: an LED frame or a
//                   rearm of the PC, or a frame the box took for an LED command or a search
//   takeSlip        the last slip and whose doing it was, for the trace
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

namespace korvane::fuzz {

class FramingWatch {
 public:
  // `frames` and `failures` are the frame layer's counters (Nb_Com, Nb_Erreur_Com) as the byte
  // is written: a frame starts by counting itself, and one that fails counts its failure before
  // anything else is written.
  void written(std::uint8_t byte, double frames, double failures);
  // False when the box, as played here, disagrees with the simulated box on whether it is
  // between exchanges: the watch itself would then be wrong.
  bool reached(std::uint8_t byte, bool heard, std::int64_t nowUs, bool boxIdleAfter);

  bool lineMisledLeds() const;
  struct Slip {
    std::uint8_t byte;
    bool line;
  };
  std::optional<Slip> takeSlip() { return std::exchange(lastSlip_, std::nullopt); }

 private:
  enum class Role : std::uint8_t { kFrameStart, kFrameNext, kCommand, kSelector };
  enum class Phase : std::uint8_t { kIdle, kHeader, kP1, kP2, kMeasure };
  struct Sent {
    std::uint8_t byte;
    Role role;
    int frame;  // the PC's frame, for frame bytes
    int pos;    // its place in that frame, 0 to 3
  };
  struct PcFrame {
    std::uint8_t header = 0;
    std::uint8_t p1 = 0;
  };

  static bool ledOrSearch(std::uint8_t header, std::uint8_t p1);
  void boxTakes(std::uint8_t byte, const Sent& s, bool agreed);

  // The PC's side.
  std::deque<Sent> inFlight_;
  std::vector<PcFrame> pcFrames_;
  int pos_ = 3;  // place of the last byte written in the current frame; 3 = none under way
  double frames_ = -1;
  double failures_ = -1;
  bool afterMeasure_ = false;

  // The box's side.
  Phase phase_ = Phase::kIdle;
  std::int64_t lastHeardUs_ = 0;
  std::uint8_t boxFrame_[4] = {};
  int boxFrameOf_ = -1;  // the PC frame the box's current frame is, -1 when it is none
  bool missed_ = false;  // a byte missed since the box and the PC last agreed

  std::vector<int> touched_;  // PC frames the line's slips touched
  bool misled_ = false;
  std::optional<Slip> lastSlip_;
};

}  // namespace korvane::fuzz
