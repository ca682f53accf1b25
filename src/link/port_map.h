#pragma once
// Which device stands behind each port number of the tool, and which number each serial port
// present has.
//
// On Windows a port number is the system's own: port n is "COMn" (a port picked from the list
// keeps the number Windows gave it, COM23 say). Elsewhere, for port n:
//
//   1. the environment variable KORVANE_COM<n>, when set and not empty (the simulator's
//      terminal, the tests): it overrides everything;
//   2. the settings file's [Ports] entry COM<n>, a device path (the adapter's stable
//      /dev/serial/by-id/... name, written when the port is picked from the list);
//   3. else the first USB serial adapter present that no variable and no entry names; the
//      second number without an entry takes the second such adapter, and so on;
//   4. else /dev/ttyS<n-1>, the machine's own serial ports.
//
// The list of ports present comes through PortLister, so that the rules are tested with
// made-up lists (and the application's list is Qt's, link/qt).
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace korvane::link {

inline constexpr int kMaxPortNumber = 16;

// A serial port the system has.
struct PortInfo {
  std::string device;      // /dev/ttyUSB0, COM23
  std::string stableName;  // /dev/serial/by-id/usb-..., when the system gives one
  std::string description;
  std::string manufacturer;
  std::string serialNumber;
  bool usb = false;
};

class PortLister {
 public:
  virtual ~PortLister() = default;
  virtual std::vector<PortInfo> ports() const = 0;
};

using PortEntries = std::map<int, std::string>;  // [Ports]: number -> device path
// The value of an environment variable, "" when unset.
using Environment = std::function<std::string(const std::string& name)>;
std::string processEnvironment(const std::string& name);

std::string deviceForPort(int number, const PortEntries& entries,
                          const std::vector<PortInfo>& present,
                          const Environment& environment = processEnvironment);

// The number `port` has in the tool, 0 when none of 1..16 leads to it (on Windows, the number
// of its name).
int numberOfPort(const PortInfo& port, const PortEntries& entries,
                 const std::vector<PortInfo>& present,
                 const Environment& environment = processEnvironment);

// A port picked from the list: the number it takes (the one it has, else `wanted`) and the
// [Ports] entry that keeps it there (none on Windows, nor where a variable decides).
struct PortPick {
  int number = 0;
  std::string entry;
};
PortPick pickPort(const PortInfo& port, int wanted, const PortEntries& entries,
                  const std::vector<PortInfo>& present,
                  const Environment& environment = processEnvironment);

// What the settings file keeps for a port picked from the list: its stable name when it has
// one, so that the adapter keeps its number whichever USB socket it is plugged into.
std::string lastingName(const PortInfo& port);

}  // namespace korvane::link
