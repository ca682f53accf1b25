#pragma once
// The PC's end of korvane-loopsim: a pseudo-terminal whose slave side the tool opens as its
// serial port (POSIX; used by the korvane-loopsim program only).
//
// We keep a slave descriptor of our own, in raw mode, for the whole run: the terminal then
// keeps its settings and stays alive while the tool closes and reopens the port, and reading
// the master never reports a hang-up because nobody holds the slave.

#include <cstdint>
#include <string>
#include <vector>

namespace korvane::sim {

class PtyLine {
 public:
  PtyLine();  // throws std::runtime_error with the system's reason
  ~PtyLine();
  PtyLine(const PtyLine&) = delete;
  PtyLine& operator=(const PtyLine&) = delete;

  // The device the tool opens, e.g. /dev/pts/5.
  const std::string& deviceName() const { return deviceName_; }

  // Waits at most timeoutMs for bytes from the tool; returns those that came (maybe none).
  // Returns early, with nothing, when a signal interrupts the wait or `alsoWakeOn` (a
  // descriptor, or -1) has something to read.
  std::vector<std::uint8_t> read(int timeoutMs, int alsoWakeOn = -1);
  // Puts bytes on the line; false if the terminal is gone.
  bool write(const std::vector<std::uint8_t>& bytes);

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string deviceName_;
};

}  // namespace korvane::sim
