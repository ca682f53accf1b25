// The bytes the tool puts on the line, written out one by one. The simulated box speaks the
// protocol from the same table of numbers as the engine, so a wrong number there goes unseen by
// every other test: both ends agree. Here each byte is written as the box expects it.
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>

#include "station.h"

namespace korvane::engine::testing {
namespace {

Bytes join(std::initializer_list<Bytes> groups) {
  Bytes all;
  for (const Bytes& g : groups)
    all.insert(all.end(), g.begin(), g.end());
  return all;
}

// A plain read of one register: header 0x40 (no command, two-byte answer), the register, the
// point's address, P3 0.
Bytes readOf(std::uint8_t reg, std::uint8_t address) {
  return {0x40, reg, address, 0x00};
}

// A detector's serial number: registers 0x08 to 0x0B.
Bytes serialOf(std::uint8_t address) {
  return join(
      {readOf(0x08, address), readOf(0x09, address), readOf(0x0A, address), readOf(0x0B, address)});
}

// The idle cycle after its link check: interface status 0x08, then the measure command 0x07
// with each selector: 0x00 loop current, 0x02 outgoing voltage, 0x03 return voltage.
const Bytes kStatusAndMeasures = {0x08, 0x07, 0x00, 0x07, 0x02, 0x07, 0x03};

struct Step {
  const char* what;
  std::function<bool(Station&)> act;
  Bytes line;  // everything the PC wrote during the step, in order
};

// An optical detector (type code 27) and a heat detector (code 29), searched with
// re-addressing and "Analyse Chambre" ticked, so that the type reading also reads the
// optical detector's reference values.
TEST(LineBytes, ConnectSearchReadAPointAndLightItsLed) {
  Station st(loopOf({27, 29}));
  st.bus.Check3.checked = true;

  const Step steps[] = {
      {"connect, then one full turn of the idle cycle",
       [](Station& s) {
         s.recordStates();  // states 1, 2, 9, 17, 18, then 1, 9, 17, 18
         return s.connect() && s.rt.runUntil([&] { return s.states.size() >= 9; }, 60'000);
       },
       // Link check 0x01 and version request 0x02; once connected, no version any more.
       join({{0x01, 0x02}, kStatusAndMeasures, {0x01}, kStatusAndMeasures})},

      {"F5: rearm, search of the two points, type reading", [](Station& s) { return s.search(); },
       join({
           {0x04, 0x03},  // rearm: start, end three seconds later
           // Header 0x41 (a command), command 0x80 + 8 (phase 2), the address, P3 1 = isolator
           // closed behind the point.
           {0x41, 0x88, 0x01, 0x01},
           {0x41, 0x88, 0x02, 0x01},  // address 2
           {0x41, 0x88, 0x03, 0x01},  // address 3: nobody takes it
           {0x41, 0x88, 200, 0x03},   // line check at address 200, P3 the silent address
           readOf(0x13, 1),           // point 1: the type
           readOf(0x0C, 1),           // initial value
           readOf(0x01, 1),           // alarm threshold
           readOf(0x02, 1),           // fault threshold
           serialOf(1),
           readOf(0x13, 2),  // point 2: the type, then the serial number only
           serialOf(2),
       })},

      {"a click on point 1: the parameter window's reading",
       [](Station& s) { return s.showPoint(1); },
       join({readOf(0x14, 1),  // board version
             readOf(0x15, 1),  // firmware version
             serialOf(1),
             readOf(0x0C, 1),  // parameters 12, 1 to 7 and 15, in the order of their rows
             readOf(0x01, 1), readOf(0x02, 1), readOf(0x03, 1), readOf(0x04, 1), readOf(0x05, 1),
             readOf(0x06, 1), readOf(0x07, 1), readOf(0x0F, 1)})},

      {"its LED switched on from the parameter window",
       [](Station& s) {
         s.paramControl.Led_On_Cde_Click();
         return s.rt.runUntil([&] { return s.state.Etat_Demande == kNone; }, 60'000);
       },
       {0x41, 0x82, 0x01, 0x03}},  // command flag, command 0x82 the LED, point 1, P3 3 = on
  };

  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    st.port.clearSent();
    ASSERT_TRUE(step.act(st));
    EXPECT_EQ(st.port.sent(), step.line);
  }
}

}  // namespace
}  // namespace korvane::engine::testing
