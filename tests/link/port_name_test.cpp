#include <gtest/gtest.h>
#include <stdlib.h>

#include "link/serial_port.h"

namespace korvane::link {
namespace {

// On Windows port n is plainly "COMn" (QSerialPort reaches COM10 and above through their
// \\.\ name by itself); elsewhere the environment has its say.
#ifndef _WIN32
TEST(PortName, EnvironmentVariableChoosesTheDeviceElseTheNthSerialPort) {
  ::unsetenv("KORVANE_COM3");
  EXPECT_EQ(portDeviceName(1), "/dev/ttyS0");
  ::setenv("KORVANE_COM3", "/dev/pts/9", 1);
  EXPECT_EQ(portDeviceName(3), "/dev/pts/9");
  EXPECT_EQ(portDeviceName(13), "/dev/ttyS12");  // KORVANE_COM3 is not KORVANE_COM13's prefix
  ::setenv("KORVANE_COM3", "", 1);               // set but empty: as if unset
  EXPECT_EQ(portDeviceName(3), "/dev/ttyS2");
  ::unsetenv("KORVANE_COM3");
}
#endif

}  // namespace
}  // namespace korvane::link
