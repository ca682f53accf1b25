#include "link/qt/qt_port_lister.h"

#include <QSerialPortInfo>
#include <algorithm>
#include <filesystem>
#include <system_error>

namespace korvane::link {

namespace {

// The by-id links of the adapters plugged in, by the device each leads to. The kernel's
// names (/dev/ttyUSB0) follow the order of plugging; these follow the adapter.
std::vector<std::pair<std::string, std::string>> stableNames() {
  namespace fs = std::filesystem;
  std::vector<std::pair<std::string, std::string>> names;
  std::error_code error;
  for (fs::directory_iterator it("/dev/serial/by-id", error), end; !error && it != end;
       it.increment(error)) {
    const fs::path target = fs::canonical(it->path(), error);
    if (!error) names.emplace_back(target.string(), it->path().string());
    error.clear();
  }
  return names;
}

}  // namespace

std::vector<PortInfo> QtPortLister::ports() const {
  const auto byId = stableNames();
  std::vector<PortInfo> ports;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    PortInfo port;
    port.device = info.systemLocation().toStdString();
    port.description = info.description().toStdString();
    port.manufacturer = info.manufacturer().toStdString();
    port.serialNumber = info.serialNumber().toStdString();
    // An adapter has a USB vendor; a motherboard's port or a pseudo-terminal has none.
    port.usb = info.hasVendorIdentifier();
    for (const auto& [device, stable] : byId) {
      if (device == port.device) port.stableName = stable;
    }
    ports.push_back(std::move(port));
  }
  // In the order a person counts them: ttyUSB2 before ttyUSB10.
  auto key = [](const std::string& device) {
    const std::size_t digits = device.find_last_not_of("0123456789") + 1;
    const std::string number = device.substr(digits);
    return std::pair{device.substr(0, digits),
                     number.empty() ? -1 : std::stoi(number.substr(0, 9))};
  };
  std::sort(ports.begin(), ports.end(),
            [&](const PortInfo& a, const PortInfo& b) { return key(a.device) < key(b.device); });
  return ports;
}

}  // namespace korvane::link
