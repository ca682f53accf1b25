#include "link/serial_port.h"

#include "link/port_map.h"

namespace korvane::link {

std::string portDeviceName(int number) {
  return deviceForPort(number, {}, {});
}

}  // namespace korvane::link
