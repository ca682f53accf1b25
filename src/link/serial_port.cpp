#include "link/serial_port.h"

#include <cstdlib>

namespace korvane::link {

std::string portDeviceName(int number) {
#ifdef _WIN32
  return "COM" + std::to_string(number);
#else
  const std::string variable = "KORVANE_COM" + std::to_string(number);
  if (const char* device = std::getenv(variable.c_str()); device != nullptr && *device != '\0') {
    return device;
  }
  return "/dev/ttyS" + std::to_string(number - 1);
#endif
}

}  // namespace korvane::link
