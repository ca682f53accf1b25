// The libFuzzer entry point: one input, one run of the hostile box (input format in
// hostile_box.h). KORVANE_FUZZ_TRACE=1 tells what a run does, to read a reproducer.
#include <cstdlib>

#include "hostile_box.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool trace = std::getenv("KORVANE_FUZZ_TRACE") != nullptr;
  korvane::fuzz::runInput({data, size}, trace);
  return 0;
}
