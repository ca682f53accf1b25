#pragma once
// The serial ports this machine has, as Qt lists them, with the stable /dev/serial/by-id name
// of each USB adapter that has one (Linux).
#include "link/port_map.h"

namespace korvane::link {

class QtPortLister final : public PortLister {
 public:
  std::vector<PortInfo> ports() const override;
};

}  // namespace korvane::link
