#pragma once
// The serial port as the frame layer sees it: exactly the operations it needs, nothing more.
// The application plugs in the QSerialPort adapter (link/qt), the tests a port wired to the
// simulated box in virtual time (sim/simulated_port.h).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace korvane::link {

// Why a port would not open, or went away while open.
enum class PortProblem {
  kNone,
  kMissing,   // no such device
  kDenied,    // the account may not use it
  kBusy,      // another program holds it
  kVanished,  // it went away while open (a USB adapter pulled out)
  kOther,
};

struct PortFailure {
  PortProblem problem = PortProblem::kNone;
  std::string device;                // the device behind the port's number
  std::vector<std::string> present;  // the serial ports the system has, as far as it knows
};

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens port `number` (1 to 16 in the tool's menus) with settings such as "9600,N,8,1".
  // False when the port does not exist or is in use; errorText() then says why.
  virtual bool open(int number, const std::string& settings) = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;

  virtual bool write(std::span<const std::uint8_t> bytes) = 0;
  virtual std::size_t bytesWaiting() const = 0;
  // Takes every byte waiting, as raw bytes (possibly none).
  virtual std::vector<std::uint8_t> readAll() = 0;
  // Drops every byte received and not yet read, including what the driver still holds and
  // has not handed over yet: the late answer of an earlier exchange must not pass for the
  // answer of the next one.
  virtual void discardInput() = 0;

  // The port closed itself because its device went away (a USB adapter pulled out, say),
  // not because the tool closed it. Cleared by open() and close().
  virtual bool lost() const = 0;

  // The port calls the event handler whenever bytes arrive and at least `threshold` bytes are
  // waiting, and also on any port error (a receive notification that brings no byte is
  // possible). A threshold of 0 turns byte notifications off.
  virtual void setReceiveThreshold(std::size_t threshold) = 0;
  virtual void setOnEvent(std::function<void()> onEvent) = 0;

  virtual std::string errorText() const = 0;
  // Why the last open() failed, or why the port is lost.
  virtual PortFailure failure() const { return {PortProblem::kOther, {}, {}}; }
};

// The device behind port `number` with no settings and no port list (port_map.h): "COMn" on
// Windows; elsewhere the value of the environment variable KORVANE_COM<n> when set (e.g.
// /dev/pts/5 from korvane-loopsim), else /dev/ttyS<n-1>.
std::string portDeviceName(int number);

}  // namespace korvane::link
