#pragma once
// The words of the loop protocol, spoken by the tool and by the simulated box alike: the
// interface box's one-byte commands, the loop frame's header, the commands and registers of
// the points. One table, so that the two ends can never drift apart on a number.

#include <cstdint>

namespace korvane::link {

// Interface commands of the box.
inline constexpr std::uint8_t kCmdLinkCheck = 0x01;
inline constexpr std::uint8_t kCmdVersion = 0x02;
inline constexpr std::uint8_t kCmdRearmEnd = 0x03;
inline constexpr std::uint8_t kCmdRearmStart = 0x04;
inline constexpr std::uint8_t kCmdMeasure = 0x07;  // followed by one of the selectors below
inline constexpr std::uint8_t kCmdStatus = 0x08;

// What kCmdMeasure measures, and the interface status bits.
inline constexpr std::uint8_t kMeasureCurrent = 0x00;
inline constexpr std::uint8_t kMeasureVoltageOut = 0x02;
inline constexpr std::uint8_t kMeasureVoltageReturn = 0x03;
inline constexpr std::uint8_t kStatusShortCircuit = 0x10;

// Header of a loop frame: 0x40, + 0x01 when P1 is a command, + 0x02 for a two-byte answer.
inline constexpr std::uint8_t kFrameHeader = 0x40;
inline constexpr std::uint8_t kHeaderCommand = 0x01;
inline constexpr std::uint8_t kHeaderLongAnswer = 0x02;
inline constexpr std::uint8_t frameHeader(bool command, bool longAnswer) {
  return static_cast<std::uint8_t>(kFrameHeader | (command ? kHeaderCommand : 0) |
                                   (longAnswer ? kHeaderLongAnswer : 0));
}

// Commands to the points (P1 of a command frame).
inline constexpr std::uint8_t kCmdSearch = 0x80;  // + the protocol code: 1 (phase 1), 8 (phase 2)
inline constexpr std::uint8_t kCmdKapreSearch = 0x81;
inline constexpr std::uint8_t kCmdLed = 0x82;
inline constexpr std::uint8_t kCmdModeFollowUp = 0x85;
inline constexpr std::uint8_t kCmdModeWrite = 0x96;
inline constexpr std::uint8_t kLedOn = 3;
inline constexpr std::uint8_t kLedOff = 0;
// A search at this address checks the line instead of giving an address.
inline constexpr std::uint8_t kLineCheckAddress = 200;

// Detection mode bits of the multi-sensor detector: each switches one sensor off.
inline constexpr std::uint8_t kModeHeatOff = 0x01;
inline constexpr std::uint8_t kModeOpticalOff = 0x02;

// Registers of a point (P1 of a read frame).
namespace reg {
inline constexpr std::uint8_t kAlarmThreshold = 0x01;
inline constexpr std::uint8_t kFaultThreshold = 0x02;
inline constexpr std::uint8_t kDetectorSerial = 0x08;  // four bytes
inline constexpr std::uint8_t kModuleDelay = 0x0A;
inline constexpr std::uint8_t kModuleSerial = 0x0B;  // four bytes
inline constexpr std::uint8_t kInitialValue = 0x0C;
inline constexpr std::uint8_t kState = 0x10;
inline constexpr std::uint8_t kChamber = 0x11;   // rating for the BRIM
inline constexpr std::uint8_t kPosition = 0x11;  // the KAPRE's position, at the chamber's place
inline constexpr std::uint8_t kType = 0x13;
inline constexpr std::uint8_t kPcbVersion = 0x14;
inline constexpr std::uint8_t kSoftVersion = 0x15;
inline constexpr std::uint8_t kTemperature = 0x16;  // degrees + 20
inline constexpr std::uint8_t kMode = 0x18;
}  // namespace reg

}  // namespace korvane::link
