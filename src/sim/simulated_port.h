#pragma once
// A serial port wired to the simulated box on the virtual clock, with the line timing of
// 9600 baud (10 bits a byte: about 1.04 ms): what the frame layer writes reaches the box one
// byte-time per byte later, and the box's answers come back at the same pace. The tests use it
// where the application uses the QSerialPort adapter.

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "link/serial_port.h"
#include "runtime/virtual_runtime.h"

namespace korvane::sim {

class LoopSimulator;

class SimulatedPort final : public link::SerialPort {
 public:
  static constexpr runtime::VirtualRuntime::Micros kByteTimeUs = 1042;

  SimulatedPort(runtime::VirtualRuntime& runtime, LoopSimulator& box);
  ~SimulatedPort() override;

  bool open(int number, const std::string& settings) override;
  void close() override;
  bool isOpen() const override { return open_; }
  bool write(std::span<const std::uint8_t> bytes) override;
  std::size_t bytesWaiting() const override { return buffer_.size(); }
  std::vector<std::uint8_t> readAll() override;
  void discardInput() override { buffer_.clear(); }
  bool lost() const override { return lost_; }
  void setReceiveThreshold(std::size_t threshold) override { threshold_ = threshold; }
  void setOnEvent(std::function<void()> onEvent) override { onEvent_ = std::move(onEvent); }
  std::string errorText() const override { return error_; }
  link::PortFailure failure() const override { return failure_; }

  // The port numbers that exist on this pretend machine (default: 1 only), as devices "COMn";
  // whether another program holds the port; whether the account may not use it.
  void setExistingPorts(std::set<int> numbers) { existing_ = std::move(numbers); }
  void setHeldByAnotherProgram(bool held) { held_ = held; }
  void setDenied(bool denied) { denied_ = denied; }

  // Line noise: bytes that arrive as if the box had sent them, `delayUs` from now and `gapUs`
  // apart, at the line's pace.
  void injectFromLine(const std::vector<std::uint8_t>& bytes,
                      runtime::VirtualRuntime::Micros delayUs = 0,
                      runtime::VirtualRuntime::Micros gapUs = 0);
  // A line that stands between the PC and the box: told each byte as it reaches the box, it
  // decides what the box hears and what comes back (through injectFromLine). Without one, the
  // box hears every byte and its answer comes straight back.
  void setLine(std::function<void(std::uint8_t)> line) { line_ = std::move(line); }
  // A port event that brings no byte (a framing or driver error, say).
  void raiseErrorEvent();
  // The USB adapter pulled out: the port closes itself, is lost and reports it, and no port
  // of that number exists until the adapter is plugged back.
  void pullAdapter();
  void plugAdapterBack();

  // What the PC put on the line, in order, since the port was created.
  const std::vector<std::uint8_t>& sent() const { return sent_; }
  void clearSent() { sent_.clear(); }
  int openedPort() const { return openedPort_; }
  const std::string& openedSettings() const { return settings_; }

 private:
  void deliver(std::uint8_t byte);
  bool fail(link::PortProblem problem, int number, std::string error);

  runtime::VirtualRuntime& runtime_;
  LoopSimulator& box_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  std::set<int> existing_{1};
  bool held_ = false;
  bool denied_ = false;
  link::PortFailure failure_;
  bool open_ = false;
  bool lost_ = false;
  int pulledPort_ = 0;
  int openedPort_ = 0;
  std::string settings_;
  std::string error_;
  std::vector<std::uint8_t> buffer_;
  std::vector<std::uint8_t> sent_;
  std::size_t threshold_ = 0;
  std::function<void()> onEvent_;
  std::function<void(std::uint8_t)> line_;
  runtime::VirtualRuntime::Micros toBoxFree_ = 0;  // when the PC-to-box direction is free
  runtime::VirtualRuntime::Micros toPcFree_ = 0;   // when the box-to-PC direction is free
};

}  // namespace korvane::sim
