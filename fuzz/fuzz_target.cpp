// The libFuzzer entry point: one input, one run of the hostile box (input format in
// hostile_box.h). KORVANE_FUZZ_TRACE=1 tells what a run does, to read a reproducer; =2 also
// shows every exchange as the box took it.
#include <cstdlib>
#include <string_view>

#include "hostile_box.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const int trace = [] {
    const char* level = std::getenv("KORVANE_FUZZ_TRACE");
    return level == nullptr ? 0 : std::string_view(level) == "2" ? 2 : 1;
  }();
  korvane::fuzz::runInput({data, size}, trace);
  return 0;
}
