// Finding points on site: the LED sequencer's passes, its stop and its manual stepping, and
// the parameter window's periodic reading, on the virtual clock against the simulated loop.
#include "engine/led_sequencer.h"

#include <gtest/gtest.h>

#include "station.h"

namespace korvane::engine::testing {
namespace {

// The LED commands the box carried out, as "on 1 @3" (address, whole seconds since `start`).
struct LedLog {
  explicit LedLog(Station& st) : st(st), start(st.rt.nowMs()) {
    st.box.setLogger([this](const std::string& line) {
      const auto at = line.find("LED ");
      if (at == std::string::npos) return;
      const std::string what = line.substr(at + 4);  // "on at 3"
      const int ms = static_cast<int>(this->st.rt.nowMs() - start);
      lines.push_back(what.substr(0, what.find(' ')) + " " + what.substr(what.rfind(' ') + 1) +
                      " @" + std::to_string(ms / 1000));
    });
  }
  Station& st;
  double start;
  std::vector<std::string> lines;
};

Station& searched(Station& st) {
  EXPECT_TRUE(st.connectAndSearch());
  st.leds.Form_Load();
  return st;
}

TEST(LedSequencer, AutomaticPassesLightEachLedForItsDurationWithinTheLoop) {
  struct Case {
    const char *debut, *fin, *duree, *pause;
    std::vector<std::string> leds;
    int seconds;
  };
  for (const Case& c : std::vector<Case>{
           {"1",
            "3",
            "2",
            "1",
            {"on 1 @0", "off 1 @2", "on 2 @3", "off 2 @5", "on 3 @6", "off 3 @8"},
            9},
           // No duration: the switch-off replaces the switch-on before the engine takes it.
           {"", "2", "0", "1", {"off 1 @0", "off 2 @1"}, 2},
           {"0 ", "1.5", "1", "-3", {"on 1 @0", "off 1 @1", "on 2 @1", "off 2 @2"}, 2},
           {"3", "2", "5", "5", {}, 0},
           {"127", "300", "1", "0", {}, 2},  // nobody there, and no address beyond 128
       }) {
    SCOPED_TRACE(c.debut + std::string("..") + c.fin);
    Station st(loopOf({7, 7, 7}));
    searched(st);
    st.led.Text5.text = c.debut;
    st.led.Text7.text = c.fin;
    st.led.Text4.text = c.duree;
    st.led.Text6.text = c.pause;
    LedLog log(st);
    st.port.clearSent();
    st.leds.Command2_Click();
    ASSERT_TRUE(st.rt.runUntil([&] { return !st.leds.running(); }, 60'000));
    EXPECT_EQ(static_cast<int>(st.rt.nowMs() - log.start) / 1000, c.seconds);
    st.rt.runForMs(500);
    EXPECT_EQ(log.lines, c.leds);
    for (const Bytes& frame : st.framesSent(0x41, link::kCmdLed))
      EXPECT_LE(frame[1], 128);
    EXPECT_EQ(st.led.Command2.caption, "LANCER");
  }
}

TEST(LedSequencer, AStopLetsTheLitLedFinishItsStep) {
  Station st(loopOf({7, 7, 7}));
  searched(st);
  st.led.Text4.text = "5";
  st.led.Text6.text = "2";
  LedLog log(st);
  st.leds.Command2_Click();
  st.rt.runForMs(1'000);
  st.leds.Command2_Click();  // ARRETER while LED 1 is lit: it still has its step
  EXPECT_EQ(st.led.Command2.caption, "LANCER");
  ASSERT_TRUE(st.rt.runUntil([&] { return !st.leds.running(); }, 60'000));
  st.rt.runForMs(500);
  EXPECT_EQ(log.lines, (std::vector<std::string>{"on 1 @0", "off 1 @5"}));
  EXPECT_EQ(static_cast<int>(st.rt.nowMs() - log.start) / 1000, 7);
  // FERMER, or the bus window closed, leaves no LED lit: the hostile box's invariant.
}

// F5 and F9 stop a walk and put its LED out before they take the loop: a walk never cuts a
// search short nor swallows the F9 that stops a run. "LANCER" again while a stopped walk
// finishes its LED puts that LED out first, whether the new walk starts or not.
TEST(LedSequencer, F5AndF9StopTheWalkBeforeTheyTakeTheLoop) {
  struct Case {
    const char* what;
    bool automatic;
    std::function<void(Station&)> press;  // a second into the walk
  };
  const Case cases[] = {
      {"F5", true, [](Station& st) { st.control.Form_KeyDown(kKeyF5); }},
      {"F5 in manual mode", false, [](Station& st) { st.control.Form_KeyDown(kKeyF5); }},
      {"F9, then F9 as the walk would have put its LED out", true,
       [](Station& st) {
         st.control.Form_KeyDown(kKeyF9);
         st.rt.runForMs(8'950);
         st.control.Form_KeyDown(kKeyF9);
       }},
      {"ARRETER, F9, LANCER", true,
       [](Station& st) {
         st.leds.Command2_Click();
         st.control.Form_KeyDown(kKeyF9);
         st.rt.runForMs(1'000);
         st.leds.Command2_Click();
         st.rt.runForMs(1'000);
         st.control.Form_KeyDown(kKeyF9);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Station st(exampleLoop("mixed"));
    searched(st);
    st.led.Text4.text = "10";
    st.led.Check1.checked = true;  // "Boucle"
    st.led.Check2.checked = c.automatic;
    st.leds.Command2_Click();
    st.rt.runForMs(1'000);
    EXPECT_TRUE(st.box.ledOn(0));
    c.press(st);
    EXPECT_TRUE(st.rt.runUntil([&] { return !st.state.Bus_Occupe; }, 600'000));
    st.rt.runForMs(15'000);
    EXPECT_FALSE(st.leds.running());
    EXPECT_FALSE(st.state.Boucle_Mesures);
    EXPECT_FALSE(st.box.ledOn(0));
    int typed = 0;
    for (int a = 1; a <= st.state.Nb_Trouve; ++a)
      typed += st.state.points[a].Adr_Code_Type == st.box.code(*st.box.channelAt(a));
    EXPECT_EQ(typed, 31);
  }
}

TEST(LedSequencer, ManualSteppingWrapsAndKeepsOneLedLit) {
  Station st(loopOf({7, 7, 7}));
  searched(st);
  st.led.Check2.checked = false;
  st.leds.Check2_Click();
  EXPECT_TRUE(st.led.CMD_AR[0].enabled && st.led.CMD_AR[1].enabled);
  auto lit = [&] { return std::vector<bool>{st.box.ledOn(0), st.box.ledOn(1), st.box.ledOn(2)}; };
  st.leds.Command2_Click();
  st.rt.runForMs(1'000);
  EXPECT_EQ(lit(), (std::vector<bool>{true, false, false}));
  for (auto [arrow, led] : {std::pair{0, 3}, std::pair{1, 1}, std::pair{1, 2}}) {
    st.leds.CMD_AR_Click(arrow);
    st.rt.runForMs(1'000);
    EXPECT_EQ(lit(), (std::vector<bool>{led == 1, led == 2, led == 3}));
    EXPECT_EQ(st.led.Label5.caption, "Allumage voyant N°" + std::to_string(led));
  }
  st.leds.Command1_Click();
  st.rt.runForMs(1'000);
  EXPECT_EQ(lit(), (std::vector<bool>{false, false, false}));
}

TEST(LedSequencer, NothingStartsWithoutPointsOrDuringASearch) {
  Station st(loopOf({7}));
  ASSERT_TRUE(st.connect());
  st.leds.Form_Load();
  EXPECT_EQ(st.led.Text5.text, "0");
  st.led.Text1.text = "1";
  st.leds.Command2_Click();
  EXPECT_EQ(st.led.Label5.caption, "Attente avant le lancement");
  st.rt.runForMs(59'000);
  EXPECT_TRUE(st.dialogs.shown.empty());
  st.rt.runForMs(2'000);
  ASSERT_EQ(st.dialogs.shown.size(), 1u);
  EXPECT_EQ(st.dialogs.shown[0].text, "Pas de points trouvées");
  EXPECT_EQ(st.led.Command2.caption, "LANCER");

  st.control.Form_KeyDown(kKeyF5);
  st.rt.runForMs(1'000);
  st.leds.Command2_Click();
  EXPECT_EQ(st.led.Label5.caption, "Recherche ou mesures en cours");
  EXPECT_FALSE(st.leds.running());
}

// A click on another box lands, most of the time, inside one of those readings: the window
// turns to the new point only once the reading of the last one is over.
TEST(ParamWindow, BoucleReadsEveryPeriodButNeverDuringASearch) {
  Station st(loopOf({7, 23}));  // KEV11x, GLIR112
  ASSERT_TRUE(st.connectAndSearch());
  ASSERT_TRUE(st.showPoint(1));
  st.param.Check1.checked = true;
  st.paramControl.Check1_Click();
  bool clicked = false;
  st.box.setLogger([&](const std::string&) {
    if (clicked || st.state.Etat_Bus != kReadParameters || !st.engine.stepRunning()) return;
    clicked = true;
    st.control.Adr_Box_Click(2);
  });
  ASSERT_TRUE(
      st.rt.runUntil([&] { return clicked && st.state.Etat_Bus != kReadParameters; }, 10'000));
  ASSERT_TRUE(st.rt.runUntil([&] { return st.param.Value_Lbl[1].visible; }, 10'000));
  st.box.setLogger(nullptr);
  EXPECT_EQ(st.param.Status_Frame.caption, "Position 002");
  EXPECT_EQ(st.param.Value_Lbl[0].caption, "002");
  EXPECT_EQ(st.param.Value_Lbl[1].caption, "GLIR112");
  EXPECT_FALSE(st.param.Param_Lbl[6].visible);  // no "Seuil Alarme" of the KEV11x
  EXPECT_EQ(st.state.Seuil_Alarme, 0);          // nor its threshold for a baseline

  st.param.HScroll1.value = 3;
  st.paramControl.HScroll1_Change();
  EXPECT_EQ(st.param.Label7.caption, "3");
  st.recordStates();
  st.rt.runForMs(9'500);
  EXPECT_EQ(std::count(st.states.begin(), st.states.end(), kReadParameters), 3);
  st.states.clear();
  ASSERT_TRUE(st.search());
  EXPECT_EQ(std::count(st.states.begin(), st.states.end(), kReadParameters), 0);
  EXPECT_EQ(st.state.Nb_Trouve, 2);
  st.paramControl.Close_Cmd_Click();
  st.states.clear();
  st.rt.runForMs(9'000);
  EXPECT_EQ(std::count(st.states.begin(), st.states.end(), kReadParameters), 0);
}

TEST(LedSequencer, FieldsAreTheirLeadingNumberHalvesToEvenClampedTo16Bits) {
  for (auto [text, number] : std::vector<std::pair<const char*, int>>{{"", 0},
                                                                      {"x1", 0},
                                                                      {" 12ab", 12},
                                                                      {"2.5", 2},
                                                                      {"3.5", 4},
                                                                      {"-1", -1},
                                                                      {"+7", 7},
                                                                      {"99999", 32767},
                                                                      {"-99999", -32768}})
    EXPECT_EQ(fieldNumber(text), number) << text;
}

}  // namespace
}  // namespace korvane::engine::testing
