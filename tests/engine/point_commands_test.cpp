// LED commands, and the supervision cycle.
#include <gtest/gtest.h>

#include "station.h"

namespace korvane::engine::testing {
namespace {

namespace colors = screens::colors;

// LED commands, then the supervision cycle: it colours each box by the state its point
// reports; a point newly in alarm gets its LED lit once, and the cycle carries on through its
// bus measures until F9.
TEST(PointCommands, LedsThenASupervisionThatColoursLikeAPanel) {
  sim::Loop loop = loopOf({7, 7, 7, 7, 7, 70, 70, 70, 70});
  loop.points[1].state = 1;  // alarm
  loop.points[2].state = 8;  // fault
  loop.points[3].state = 9;  // both: alarm wins
  loop.points[4].failingRegisters = {0x10};
  for (std::uint8_t k = 0; k < 4; ++k)
    loop.points[5 + k].position = k;
  Station st(loop);
  ASSERT_TRUE(st.connectAndSearch());

  // Outside the cycle, one LED is lit at a time.
  st.state.Cde_Led = 1;
  st.state.Adr_Led_Cde = 3;
  ASSERT_TRUE(st.runRequest(kLedCommand));
  EXPECT_TRUE(st.bus.Led_Shp[3].visible);

  st.port.clearSent();
  st.state.Adr_Led_Cde = 5;
  ASSERT_TRUE(st.runRequest(kLedCommand));
  EXPECT_EQ(st.framesSent(0x41, 0x82), (std::vector<Bytes>{{0x82, 3, 0}, {0x82, 5, 3}}));
  EXPECT_FALSE(st.bus.Led_Shp[3].visible);
  EXPECT_TRUE(st.bus.Led_Shp[5].visible);

  ASSERT_TRUE(st.showPoint(6));  // the parameter window stays on its point whatever alarms
  st.recordStates();
  st.control.Form_KeyDown(kKeyF9);
  ASSERT_TRUE(st.rt.runUntil([&] { return st.state.Boucle_Mesures; }, 10'000));
  EXPECT_EQ(st.bus.Adr_Status_Cde.caption, "ARRÊT SIMULATION");
  EXPECT_EQ(st.bus.Current_Operation_Lbl.caption, "SIMULATION GESTION BUS PAR ECS");
  EXPECT_EQ(st.bus.Lgd_Lbl[7].caption, "Position attente et  sécurité");
  EXPECT_FALSE(st.bus.Start_Bus_Cmd.visible);

  st.states.clear();
  st.rt.runForMs(20'000);
  EXPECT_EQ(st.bus.Adr_Box[1].backColor, colors::kGreen);
  EXPECT_EQ(st.bus.Adr_Box[2].backColor, colors::kRed);
  EXPECT_EQ(st.bus.Adr_Box[3].backColor, colors::kOrange);
  EXPECT_EQ(st.bus.Adr_Box[4].backColor, colors::kRed);
  EXPECT_EQ(st.bus.Adr_Box[5].backColor, colors::kYellow);
  for (int k = 0; k < 4; ++k)
    EXPECT_EQ(st.bus.Adr_Box[6 + k].backColor, st.bus.Lgd_Shp[(k + 3) % 4 + 4].fillColor) << k;
  EXPECT_EQ(st.bus.Adr_Box[6].backColor, (screens::Rgb{0, 0, 255}));
  // After the last point found comes the first: the empty address after it is never asked.
  EXPECT_EQ(st.bus.Adr_Box[10].backColor, colors::kLightGrey);
  EXPECT_EQ(st.bus.Adr_Box[10].caption, "010\n???");

  // Two alarms: two LED commands in the whole run.
  EXPECT_EQ(std::count(st.states.begin(), st.states.end(), kLedCommand), 2);
  EXPECT_TRUE(st.box.ledOn(3));  // point 4 was lit last, putting out point 2
  EXPECT_FALSE(st.box.ledOn(1));
  EXPECT_FALSE(st.bus.Led_Shp[4].visible);  // no LED marks during a cycle
  EXPECT_EQ(st.state.Adr_Cde, 6);

  // F9 pressed while a step of the cycle waits for the line still stops the cycle.
  bool pressed = false;
  st.box.setLogger([&](const std::string&) {
    if (pressed || st.state.Etat_Bus != kMeasureCycle || !st.engine.stepRunning()) return;
    pressed = true;
    st.control.Form_KeyDown(kKeyF9);
  });
  ASSERT_TRUE(st.rt.runUntil([&] { return !st.state.Boucle_Mesures; }, 60'000));
  EXPECT_TRUE(pressed);
  EXPECT_EQ(st.bus.Adr_Status_Cde.caption, "ETAT DES ADRESSES (F9)");
  EXPECT_FALSE(st.bus.Lgd_Lbl[0].visible);
  EXPECT_EQ(st.bus.Adr_Box[2].backColor, colors::kFoundBlue);
  st.rt.runForMs(5000);  // and does not come back by itself
  EXPECT_FALSE(st.state.Boucle_Mesures);
  EXPECT_NE(st.state.Etat_Bus, kMeasureCycle);
}

}  // namespace
}  // namespace korvane::engine::testing
