#include "link/port_map.h"

#include <cstdlib>

namespace korvane::link {

namespace {

std::string variableFor(int number) {
  return "KORVANE_COM" + std::to_string(number);
}

bool names(const std::string& path, const PortInfo& port) {
  return !path.empty() && (path == port.device || path == port.stableName);
}

// Whether a variable or an entry names this port (an entry its number's variable overrides
// names nothing).
bool named(const PortInfo& port, const PortEntries& entries, const Environment& environment) {
  for (int n = 1; n <= kMaxPortNumber; ++n) {
    if (names(environment(variableFor(n)), port)) return true;
  }
  for (const auto& [number, path] : entries) {
    if (environment(variableFor(number)).empty() && names(path, port)) return true;
  }
  return false;
}

}  // namespace

std::string processEnvironment(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value ? value : "";
}

std::string deviceForPort(int number, const PortEntries& entries,
                          const std::vector<PortInfo>& present, const Environment& environment) {
#ifdef _WIN32
  (void)entries, (void)present, (void)environment;
  return "COM" + std::to_string(number);
#else
  if (std::string device = environment(variableFor(number)); !device.empty()) return device;
  if (const auto entry = entries.find(number); entry != entries.end() && !entry->second.empty())
    return entry->second;
  // The free adapters go to the numbers without a device, in order.
  std::vector<const PortInfo*> free;
  for (const PortInfo& port : present) {
    if (port.usb && !named(port, entries, environment)) free.push_back(&port);
  }
  std::size_t rank = 0;
  for (int n = 1; n < number && n <= kMaxPortNumber; ++n) {
    const auto entry = entries.find(n);
    if (environment(variableFor(n)).empty() && (entry == entries.end() || entry->second.empty()))
      ++rank;
  }
  if (rank < free.size()) return free[rank]->device;
  return "/dev/ttyS" + std::to_string(number - 1);
#endif
}

int numberOfPort(const PortInfo& port, const PortEntries& entries,
                 const std::vector<PortInfo>& present, const Environment& environment) {
#ifdef _WIN32
  (void)entries, (void)present, (void)environment;
  if (port.device.rfind("COM", 0) != 0) return 0;
  return std::atoi(port.device.c_str() + 3);
#else
  for (int n = 1; n <= kMaxPortNumber; ++n) {
    if (names(deviceForPort(n, entries, present, environment), port)) return n;
  }
  return 0;
#endif
}

PortPick pickPort(const PortInfo& port, int wanted, const PortEntries& entries,
                  const std::vector<PortInfo>& present, const Environment& environment) {
  PortPick pick;
  pick.number = numberOfPort(port, entries, present, environment);
#ifndef _WIN32
  if (pick.number == 0) pick.number = wanted;
  if (environment(variableFor(pick.number)).empty()) pick.entry = lastingName(port);
#else
  (void)wanted;
#endif
  return pick;
}

std::string lastingName(const PortInfo& port) {
  return port.stableName.empty() ? port.device : port.stableName;
}

}  // namespace korvane::link
