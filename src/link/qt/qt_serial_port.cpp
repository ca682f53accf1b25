#include "link/qt/qt_serial_port.h"

#include <QByteArray>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QString>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif
#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace korvane::link {

namespace {

struct LineSettings {
  qint32 baudRate = 9600;
  QSerialPort::Parity parity = QSerialPort::NoParity;
  QSerialPort::DataBits dataBits = QSerialPort::Data8;
  QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
    s.remove_suffix(1);
  return s;
}

std::optional<int> parseNumber(std::string_view s) {
  int value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
  return value;
}

// "9600,N,8,1": baud rate, parity (N, E, O, M or S), data bits (5 to 8), stop bits (1, 1.5
// or 2). Whether the device accepts the combination is for the driver to say at open time.
std::optional<LineSettings> parseSettings(std::string_view text) {
  std::vector<std::string_view> fields;
  for (;;) {
    const auto comma = text.find(',');
    fields.push_back(trimmed(text.substr(0, comma)));
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  if (fields.size() != 4) return std::nullopt;

  LineSettings line;
  const auto baud = parseNumber(fields[0]);
  if (!baud || *baud <= 0) return std::nullopt;
  line.baudRate = *baud;

  if (fields[1].size() != 1) return std::nullopt;
  switch (fields[1][0]) {
    case 'N':
    case 'n':
      line.parity = QSerialPort::NoParity;
      break;
    case 'E':
    case 'e':
      line.parity = QSerialPort::EvenParity;
      break;
    case 'O':
    case 'o':
      line.parity = QSerialPort::OddParity;
      break;
    case 'M':
    case 'm':
      line.parity = QSerialPort::MarkParity;
      break;
    case 'S':
    case 's':
      line.parity = QSerialPort::SpaceParity;
      break;
    default:
      return std::nullopt;
  }

  const auto data = parseNumber(fields[2]);
  if (!data || *data < 5 || *data > 8) return std::nullopt;
  line.dataBits = static_cast<QSerialPort::DataBits>(*data);

  if (fields[3] == "1") {
    line.stopBits = QSerialPort::OneStop;
  } else if (fields[3] == "1.5") {
    line.stopBits = QSerialPort::OneAndHalfStop;
  } else if (fields[3] == "2") {
    line.stopBits = QSerialPort::TwoStop;
  } else {
    return std::nullopt;
  }
  return line;
}

// Asks the driver to hand over each byte as it comes (a USB adapter's latency timer down to
// 1 ms). A driver or a pseudo-terminal that has no such setting refuses; the port works anyway.
void askLowLatency([[maybe_unused]] int fd) {
#ifdef Q_OS_LINUX
  serial_struct serial{};
  if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
  if ((serial.flags & ASYNC_LOW_LATENCY) != 0) return;
  serial.flags |= ASYNC_LOW_LATENCY;
  ::ioctl(fd, TIOCSSERIAL, &serial);
#endif
}

}  // namespace

QtSerialPort::QtSerialPort() : port_(new QSerialPort) {
  QObject::connect(port_, &QSerialPort::readyRead, port_, [this] { onReadyRead(); });
  QObject::connect(port_, &QSerialPort::errorOccurred, port_,
                   [this](QSerialPort::SerialPortError error) { onError(error); });
}

QtSerialPort::~QtSerialPort() {
  *alive_ = false;
  QObject::disconnect(port_, nullptr, nullptr, nullptr);
  if (port_->isOpen()) port_->close();
  // The owner may drop the port from inside its own event handler, while QSerialPort is still
  // delivering the signal further up the stack: then let the loop delete it afterwards.
  if (raising_ > 0) {
    port_->deleteLater();
  } else {
    delete port_;
  }
}

bool QtSerialPort::open(int number, const std::string& settings) {
  if (port_->isOpen()) port_->close();
  errorText_.clear();
  failure_ = {};
  device_ = resolve_ ? resolve_(number) : portDeviceName(number);

  const auto line = parseSettings(settings);
  if (!line) {
    errorText_ = "Invalid port settings \"" + settings + "\" (expected e.g. 9600,N,8,1)";
    failure_ = {PortProblem::kOther, device_, {}};
    return false;
  }

  // QSerialPort takes a full path as it is, and a bare name as one under /dev.
  port_->setPortName(QString::fromStdString(device_));
  port_->setBaudRate(line->baudRate);
  port_->setParity(line->parity);
  port_->setDataBits(line->dataBits);
  port_->setStopBits(line->stopBits);
  port_->setFlowControl(QSerialPort::NoFlowControl);

  opening_ = true;
  if (!port_->open(QIODevice::ReadWrite)) {
    // Missing device, no permission, or a port in use (QSerialPort's lock file says so).
    errorText_ = describeError();
    failure_ = classifyOpenError();
    port_->clearError();
    opening_ = false;
    return false;
  }
  askLowLatency(static_cast<int>(port_->handle()));
  // The box may draw its supply from the handshake lines, so raise both. A pseudo-terminal
  // (the simulator) has no such lines and refuses; that is no reason to give up the port.
  port_->setDataTerminalReady(true);
  port_->setRequestToSend(true);
  port_->clearError();
  opening_ = false;
  lost_ = false;
  return true;
}

void QtSerialPort::close() {
  lost_ = false;
  // Closing a closed QSerialPort reports NotOpenError; nothing to report here.
  if (port_->isOpen()) port_->close();
}

bool QtSerialPort::isOpen() const {
  return port_->isOpen();
}

bool QtSerialPort::write(std::span<const std::uint8_t> bytes) {
  if (!port_->isOpen()) {
    errorText_ = "Port not open";
    return false;
  }
  if (bytes.empty()) return true;
#ifdef Q_OS_UNIX
  // Straight to the descriptor: QSerialPort's own write turns its write notifier on and off
  // again around every byte, which costs the event loop two extra wake-ups per exchange, and
  // an idle tool exchanges twenty a second. Whatever the driver cannot take at once (it
  // always can, a byte or four) goes through QSerialPort below.
  if (port_->bytesToWrite() == 0) {
    ssize_t n = 0;
    do {
      n = ::write(port_->handle(), bytes.data(), bytes.size());
    } while (n < 0 && errno == EINTR);
    if (n > 0) bytes = bytes.subspan(static_cast<std::size_t>(n));
    if (bytes.empty()) return true;
  }
#endif
  const auto size = static_cast<qint64>(bytes.size());
  if (port_->write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
    errorText_ = describeError();
    return false;
  }
  // QSerialPort only buffers here and sends at the next turn of the loop. Push the bytes out
  // now, so that an answer time-out started right after this call counts from the send;
  // whatever the driver cannot take at once still goes out from the loop.
  port_->flush();
  return port_->isOpen();
}

std::size_t QtSerialPort::bytesWaiting() const {
  return static_cast<std::size_t>(std::max<qint64>(port_->bytesAvailable(), 0));
}

std::vector<std::uint8_t> QtSerialPort::readAll() {
  if (!port_->isOpen()) return {};  // QIODevice would only warn on the console
  const QByteArray bytes = port_->readAll();
  return std::vector<std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(bytes.constData()),
      reinterpret_cast<const std::uint8_t*>(bytes.constData()) + bytes.size());
}

void QtSerialPort::discardInput() {
  if (!port_->isOpen()) return;
  // Empties QSerialPort's buffer and the driver's input queue alike.
  port_->clear(QSerialPort::Input);
  port_->clearError();
}

void QtSerialPort::setReceiveThreshold(std::size_t threshold) {
  threshold_ = threshold;
}

void QtSerialPort::setOnEvent(std::function<void()> onEvent) {
  onEvent_ = std::move(onEvent);
}

std::string QtSerialPort::errorText() const {
  return errorText_;
}

void QtSerialPort::onReadyRead() {
  if (threshold_ > 0 && bytesWaiting() >= threshold_) raiseEvent();
}

void QtSerialPort::onError(int error) {
  switch (static_cast<QSerialPort::SerialPortError>(error)) {
    case QSerialPort::NoError:
      return;
    case QSerialPort::UnsupportedOperationError:
      // A setting or line the device does not have (handshake lines on a pseudo-terminal);
      // the data path is unaffected.
      port_->clearError();
      return;
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError:
      if (opening_) return;
      // The device went away. QSerialPort keeps polling the dead descriptor and reports the
      // error again on every turn of the loop, so close now and report it once. A hung-up
      // line reads as end of file, for which QSerialPort's own text is a stale errno.
      errorText_ = device_ + ": connection lost" +
                   (error == QSerialPort::ResourceError ? " (" + qtErrorText() + ")" : "");
      if (port_->isOpen()) port_->close();
      lost_ = true;
      failure_ = {PortProblem::kVanished, device_, {}};
      raiseEvent();
      return;
    default:
      if (opening_) return;
      errorText_ = describeError();
      raiseEvent();
      return;
  }
}

void QtSerialPort::raiseEvent() {
  if (!onEvent_) return;
  const auto alive = alive_;
  ++raising_;
  auto handler = onEvent_;  // the handler may replace itself
  handler();
  if (!*alive) return;  // the handler destroyed this port
  --raising_;
}

PortFailure QtSerialPort::classifyOpenError() const {
  PortFailure why{PortProblem::kOther, device_, {}};
  switch (port_->error()) {
    case QSerialPort::DeviceNotFoundError:
      why.problem = PortProblem::kMissing;
      for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        why.present.push_back(info.systemLocation().toStdString());
      std::sort(why.present.begin(), why.present.end());
      break;
    case QSerialPort::PermissionError:
      // The same error for a device the account may not open and for one another program
      // holds (a lock file, or the driver's exclusive mode): the file's own access tells.
#ifdef Q_OS_UNIX
      why.problem =
          ::faccessat(AT_FDCWD, device_.c_str(), R_OK | W_OK, AT_EACCESS) != 0 && errno == EACCES
              ? PortProblem::kDenied
              : PortProblem::kBusy;
#else
      why.problem = PortProblem::kBusy;  // Windows refuses a port in use this way
#endif
      break;
    case QSerialPort::OpenError:
      why.problem = PortProblem::kBusy;
      break;
    default:
      break;
  }
  return why;
}

std::string QtSerialPort::describeError() const {
  return device_ + ": " + qtErrorText();
}

std::string QtSerialPort::qtErrorText() const {
  return port_->errorString().toStdString();
}

}  // namespace korvane::link
