// Which device each port number opens, and which number each port present has, against
// made-up port lists and environments.
#include <gtest/gtest.h>

#include <map>

#include "link/port_map.h"
#include "link/serial_port.h"

namespace korvane::link {
namespace {

#ifndef _WIN32
TEST(PortMap, TheVariableThenTheEntryThenAFreeAdapterThenTheMachinesOwnPort) {
  const PortInfo ttyS0{"/dev/ttyS0", "", "", "", "", false};
  const PortInfo usb0{
      "/dev/ttyUSB0", "/dev/serial/by-id/usb-A-if00", "USB serial", "Maker", "A1", true};
  const PortInfo usb1{
      "/dev/ttyUSB1", "/dev/serial/by-id/usb-B-if00", "USB serial", "Maker", "B2", true};
  const std::vector<PortInfo> present{ttyS0, usb0, usb1};
  struct Case {
    const char* what;
    std::map<std::string, std::string> environment;
    PortEntries entries;
    std::vector<PortInfo> present;
    std::vector<std::string> devices;  // of ports 1, 2, 3
    std::vector<int> numbers;          // of ttyS0, usb0, usb1
  };
  for (const Case& c : {
           Case{"nothing present", {}, {}, {}, {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2"}, {}},
           Case{"the adapters go to the numbers in order",
                {},
                {},
                present,
                {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS2"},
                {0, 1, 2}},
           Case{"an entry keeps its adapter, the other takes the first free number",
                {},
                {{2, "/dev/serial/by-id/usb-A-if00"}},
                present,
                {"/dev/ttyUSB1", "/dev/serial/by-id/usb-A-if00", "/dev/ttyS2"},
                {0, 2, 1}},
           Case{"an entry may name a device that is not there (unplugged)",
                {},
                {{1, "/dev/serial/by-id/usb-C-if00"}, {3, ""}},
                present,
                {"/dev/serial/by-id/usb-C-if00", "/dev/ttyUSB0", "/dev/ttyUSB1"},
                {0, 2, 3}},
           Case{"the variable overrides its number's entry and names its device",
                {{"KORVANE_COM1", "/dev/pts/5"}, {"KORVANE_COM3", "/dev/ttyUSB0"}},
                {{1, "/dev/ttyUSB1"}},
                present,
                {"/dev/pts/5", "/dev/ttyUSB1", "/dev/ttyUSB0"},
                {0, 3, 2}},
           Case{"a variable set empty counts as unset",
                {{"KORVANE_COM1", ""}},
                {},
                present,
                {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS2"},
                {0, 1, 2}},
       }) {
    const Environment environment = [&](const std::string& name) {
      const auto found = c.environment.find(name);
      return found == c.environment.end() ? std::string() : found->second;
    };
    for (int n = 1; n <= 3; ++n)
      EXPECT_EQ(deviceForPort(n, c.entries, c.present, environment),
                c.devices[static_cast<std::size_t>(n - 1)])
          << c.what << ", port " << n;
    for (std::size_t i = 0; i < c.numbers.size(); ++i)
      EXPECT_EQ(numberOfPort(c.present[i], c.entries, c.present, environment), c.numbers[i])
          << c.what << ", " << c.present[i].device;
  }
  // Picked from the list: an adapter keeps the number it has, another takes the one wanted;
  // either way the entry names it for good, unless a variable decides that number.
  const Environment none = [](const std::string&) { return std::string(); };
  const Environment pts2 = [](const std::string& name) {
    return std::string(name == "KORVANE_COM2" ? "/dev/pts/2" : "");
  };
  EXPECT_EQ(pickPort(usb1, 5, {}, present, none).number, 2);
  EXPECT_EQ(pickPort(usb1, 5, {}, present, none).entry, "/dev/serial/by-id/usb-B-if00");
  EXPECT_EQ(pickPort(ttyS0, 5, {}, present, none).number, 5);
  EXPECT_EQ(pickPort(ttyS0, 5, {}, present, none).entry, "/dev/ttyS0");
  EXPECT_EQ(pickPort(ttyS0, 2, {}, present, pts2).entry, "");
}
#else
TEST(PortMap, OnWindowsANumberIsTheSystemsOwn) {
  EXPECT_EQ(portDeviceName(3), "COM3");
  EXPECT_EQ(numberOfPort({"COM23", "", "", "", "", true}, {}, {}), 23);
}
#endif

}  // namespace
}  // namespace korvane::link
