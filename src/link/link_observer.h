#pragma once
// What the frame layer tells whoever shows the link: it knows nothing of windows, and reports
// what happens on the line as it happens. Each call runs on the frame layer's thread, in the
// middle of its work: an observer only records, it never waits or exchanges frames.
//
//   portOpening      the port is being (re)opened: no box is known to answer yet
//   portOpened       it opened (also when it came back by itself after being lost)
//   portFailed       it would not open; why, and what the system has instead
//   portLost         it went away while open; the layer tries to reopen it every second
//   byteSent         a byte went out
//   portEvent        the port raised its notification: bytes came in, or it reported trouble
//   echoed           a one-byte exchange came back, this many milliseconds after the send
//   rearming         the loop rearm starts (true) and ends (false)
//   frameTraced      with tracing on (the "debug2" setting): a frame about to be sent, and the
//                    number of frames since the start
//   frameFailedTraced  with tracing on: a frame failed, and the number of failures
#include <cstdint>

#include "link/serial_port.h"

namespace korvane::link {

class LinkObserver {
 public:
  virtual ~LinkObserver() = default;

  virtual void portOpening() {}
  virtual void portOpened() {}
  virtual void portFailed(int /*number*/, const PortFailure& /*why*/) {}
  virtual void portLost(const PortFailure& /*why*/) {}
  virtual void byteSent() {}
  virtual void portEvent() {}
  virtual void echoed(double /*ms*/) {}
  virtual void rearming(bool /*started*/) {}
  virtual void frameTraced(std::uint8_t /*p1*/, std::uint8_t /*p2*/, std::uint8_t /*p3*/,
                           bool /*commande*/, bool /*longAnswer*/, double /*count*/) {}
  virtual void frameFailedTraced(double /*count*/) {}
};

}  // namespace korvane::link
