#include "sim/control.h"

#include <sstream>
#include <vector>

namespace korvane::sim {

namespace {

struct Verb {
  const char* name;
  std::size_t values;  // how many numbers it takes (at least that many with `more`)
  bool more;
  bool onPoint;  // the first number is a point's position
  long highest;  // of any number
};

constexpr Verb kVerbs[] = {
    {"unplug", 0, false, false, 0},
    {"plug", 0, false, false, 0},
    {"echo-errors", 1, false, false, 1'000'000},
    {"mute", 1, false, false, 1'000'000},
    {"silence", 1, false, false, 3'600'000},
    {"chamber", 2, true, true, 255},
    {"dead", 1, false, true, 255},
    {"alive", 1, false, true, 255},
};

// Whole words that are numbers from 0 to highest; false at the first that is not.
bool numbers(std::istringstream& in, std::vector<long>& out, long highest) {
  std::string word;
  while (in >> word) {
    std::size_t used = 0;
    long value = 0;
    try {
      value = std::stol(word, &used);
    } catch (...) {
      return false;
    }
    if (used != word.size() || value < 0 || value > highest) return false;
    out.push_back(value);
  }
  return true;
}

}  // namespace

ControlResult applyControl(LoopSimulator& box, const std::string& line, std::int64_t nowUs) {
  std::istringstream in(line);
  std::string name;
  in >> name;
  const Verb* verb = nullptr;
  for (const Verb& v : kVerbs) {
    if (name == v.name) verb = &v;
  }
  if (verb == nullptr) return {"unknown command \"" + name + "\""};
  std::vector<long> args;
  if (!numbers(in, args, verb->highest)) return {"bad number in \"" + line + "\""};
  if (args.size() < verb->values || (!verb->more && args.size() > verb->values)) {
    return {"wrong number of values in \"" + line + "\""};
  }
  std::size_t channel = 0;
  if (verb->onPoint) {
    if (args[0] < 1 || static_cast<std::size_t>(args[0]) > box.channelCount()) {
      return {"no point at position " + std::to_string(args[0])};
    }
    channel = static_cast<std::size_t>(args[0] - 1);
  }

  if (name == "unplug" || name == "plug") {
    box.setPlugged(name == "plug");
    return {{}, name == "plug" ? ControlResult::Cable::Plug : ControlResult::Cable::Unplug};
  }
  if (name == "echo-errors") {
    box.corruptEchoes(static_cast<int>(args[0]));
  } else if (name == "mute") {
    box.muteFrames(static_cast<int>(args[0]));
  } else if (name == "silence") {
    box.silenceUntil(nowUs + args[0] * 1000);
  } else if (name == "chamber") {
    box.setChamber(channel, std::vector<std::uint8_t>(args.begin() + 1, args.end()));
  } else {
    box.setDead(channel, name == "dead");
  }
  return {};
}

}  // namespace korvane::sim
