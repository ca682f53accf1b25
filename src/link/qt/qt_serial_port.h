#pragma once
// The serial port of the application: QSerialPort behind the SerialPort interface.
//
//   open          parses "baud,parity,data,stop" (e.g. "9600,N,8,1"), opens the device of
//                 `number` (portDeviceName unless told otherwise) read-write, raises DTR and
//                 RTS and, on Linux, asks the driver for low latency: a USB adapter otherwise
//                 holds what it receives for up to 16 ms, and every byte waits for its echo
//   failure       why an opening failed (no such device, with the ports there are; access
//                 refused; held by another program) or why the port was lost
//   notification  the event handler runs when a read leaves at least `threshold` bytes
//                 waiting, and on any port error
//   hang-up       a read or resource error (adapter pulled, simulator gone) closes the port,
//                 marks it lost and raises the event once
//
// QSerialPort delivers input in chunks of any size, so the threshold is checked against the
// bytes waiting after each arrival, never against a count of signals. Nothing here throws:
// failures come back as false with errorText().
//
// Lives on the thread that runs the event loop; input only arrives while that loop runs.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "link/serial_port.h"

class QSerialPort;

namespace korvane::link {

class QtSerialPort final : public SerialPort {
 public:
  QtSerialPort();
  ~QtSerialPort() override;
  QtSerialPort(const QtSerialPort&) = delete;
  QtSerialPort& operator=(const QtSerialPort&) = delete;

  bool open(int number, const std::string& settings) override;
  void close() override;
  bool isOpen() const override;

  bool write(std::span<const std::uint8_t> bytes) override;
  std::size_t bytesWaiting() const override;
  std::vector<std::uint8_t> readAll() override;
  void discardInput() override;
  bool lost() const override { return lost_; }

  void setReceiveThreshold(std::size_t threshold) override;
  void setOnEvent(std::function<void()> onEvent) override;

  std::string errorText() const override;
  PortFailure failure() const override { return failure_; }

  // The device behind a port number; portDeviceName by default.
  void setDeviceResolver(std::function<std::string(int number)> resolve) {
    resolve_ = std::move(resolve);
  }

 private:
  void onReadyRead();
  void onError(int error);  // a QSerialPort::SerialPortError
  void raiseEvent();
  std::string describeError() const;
  PortFailure classifyOpenError() const;
  std::string qtErrorText() const;

  QSerialPort* port_;  // owned; see the destructor for why not a unique_ptr
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  int raising_ = 0;       // depth of event handler calls in progress
  bool opening_ = false;  // errors inside open() are reported by its result, not the event
  bool lost_ = false;
  std::size_t threshold_ = 0;
  std::function<void()> onEvent_;
  std::string device_;
  std::string errorText_;
  PortFailure failure_;
  std::function<std::string(int)> resolve_ = portDeviceName;
};

}  // namespace korvane::link
