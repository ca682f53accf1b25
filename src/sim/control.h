#pragma once
// The box told to misbehave in words, one command a line: what korvane-loopsim reads on its
// standard input, so that a test or a technician at a terminal can pull the adapter out or
// spoil exchanges while the tool runs. The words only call LoopSimulator's own fault rules.
//
//   unplug / plug           the adapter pulled out / plugged back (the caller also takes the
//                           terminal away and brings it back; see Cable)
//   echo-errors N           the header echo of each of the next N frames comes back wrong
//   mute N                  the next N frames get no echo and no answer
//   silence MS              deaf and mute for MS milliseconds
//   chamber P V [V...]      the chamber readings of the point at position P (1 = first
//                           channel from the box): V..., the last one repeating
//   dead P / alive P        the point at position P stops / starts answering

#include <cstdint>
#include <string>

#include "sim/loop_simulator.h"

namespace korvane::sim {

struct ControlResult {
  enum class Cable { Same, Unplug, Plug };
  std::string error;  // empty: done
  Cable cable = Cable::Same;
};

ControlResult applyControl(LoopSimulator& box, const std::string& line, std::int64_t nowUs);

}  // namespace korvane::sim
