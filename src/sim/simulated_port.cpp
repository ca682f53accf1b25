#include "sim/simulated_port.h"

#include <algorithm>

#include "sim/loop_simulator.h"

namespace korvane::sim {

SimulatedPort::SimulatedPort(runtime::VirtualRuntime& runtime, LoopSimulator& box)
    : runtime_(runtime), box_(box) {}

SimulatedPort::~SimulatedPort() {
  *alive_ = false;
}

namespace {

std::string deviceOf(int number) {
  return "COM" + std::to_string(number);
}

}  // namespace

bool SimulatedPort::fail(link::PortProblem problem, int number, std::string error) {
  error_ = std::move(error);
  failure_ = {problem, deviceOf(number), {}};
  for (int existing : existing_)
    failure_.present.push_back(deviceOf(existing));
  return false;
}

bool SimulatedPort::open(int number, const std::string& settings) {
  if (open_) return fail(link::PortProblem::kBusy, number, "port already open");
  if (!existing_.contains(number)) return fail(link::PortProblem::kMissing, number, "no such port");
  if (denied_) return fail(link::PortProblem::kDenied, number, "permission denied");
  if (held_) return fail(link::PortProblem::kBusy, number, "port in use");
  open_ = true;
  lost_ = false;
  openedPort_ = number;
  settings_ = settings;
  error_.clear();
  failure_ = {};
  return true;
}

void SimulatedPort::close() {
  open_ = false;
  lost_ = false;
  buffer_.clear();
}

void SimulatedPort::pullAdapter() {
  pulledPort_ = openedPort_;
  existing_.erase(pulledPort_);
  if (!open_) return;
  open_ = false;
  lost_ = true;
  fail(link::PortProblem::kVanished, pulledPort_, "connection lost");
  buffer_.clear();
  runtime_.post(0, [this, alive = alive_] {
    if (*alive && onEvent_) onEvent_();
  });
}

void SimulatedPort::plugAdapterBack() {
  existing_.insert(pulledPort_);
}

bool SimulatedPort::write(std::span<const std::uint8_t> bytes) {
  if (!open_) return false;
  for (std::uint8_t byte : bytes) {
    sent_.push_back(byte);
    toBoxFree_ = std::max(toBoxFree_, runtime_.nowUs()) + kByteTimeUs;
    runtime_.post(toBoxFree_ - runtime_.nowUs(), [this, alive = alive_, byte] {
      if (!*alive) return;
      if (line_) {
        line_(byte);
      } else {
        injectFromLine(box_.receive(byte, runtime_.nowUs()));
      }
    });
  }
  return true;
}

void SimulatedPort::deliver(std::uint8_t byte) {
  if (!open_) return;  // nobody listening: the byte is lost, as on a real line
  buffer_.push_back(byte);
  if (threshold_ > 0 && buffer_.size() >= threshold_ && onEvent_) onEvent_();
}

void SimulatedPort::injectFromLine(const std::vector<std::uint8_t>& bytes,
                                   runtime::VirtualRuntime::Micros delayUs,
                                   runtime::VirtualRuntime::Micros gapUs) {
  runtime::VirtualRuntime::Micros at = runtime_.nowUs() + delayUs;
  for (std::uint8_t byte : bytes) {
    toPcFree_ = std::max(toPcFree_, at) + kByteTimeUs;
    at = toPcFree_ + gapUs;
    runtime_.post(toPcFree_ - runtime_.nowUs(), [this, alive = alive_, byte] {
      if (*alive) deliver(byte);
    });
  }
}

void SimulatedPort::raiseErrorEvent() {
  runtime_.post(0, [this, alive = alive_] {
    if (*alive && open_ && onEvent_) onEvent_();
  });
}

std::vector<std::uint8_t> SimulatedPort::readAll() {
  std::vector<std::uint8_t> out;
  out.swap(buffer_);
  return out;
}

}  // namespace korvane::sim
