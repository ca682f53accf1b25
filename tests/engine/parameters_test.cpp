// The parameter window after a click on a point.
#include <gtest/gtest.h>

#include "station.h"

namespace korvane::engine::testing {
namespace {

std::vector<std::string> values(const screens::ParamWindow& w, int from, int to) {
  std::vector<std::string> out;
  for (int k = from; k <= to; ++k)
    out.push_back(w.Value_Lbl[k].visible ? w.Value_Lbl[k].caption : "(hidden)");
  return out;
}

// An optical detector with its identity and settings, then a BRIM, a module (8 channels) and
// a type the tool does not know; last, the clicks that must open nothing.
TEST(Parameters, RowsByTypeAndTheirFormats) {
  sim::Loop loop = loopOf({7, 82, 66, 5});
  sim::Point& p = loop.points[0];
  p.pcbVersion = 0x10;
  p.softVersion = 0xAB;
  p.serial = {{12, 255, 255, 255}};
  p.initial = 41;
  p.alarm = 141;
  p.fault = 9;
  p.registers = {{3, 7}, {15, 200}};
  loop.points[1].state = 7;
  loop.points[1].rating = 4;
  loop.points[1].supply = 27;
  loop.points[2].delay = 3;
  Station st(loop);
  ASSERT_TRUE(st.connectAndSearch());
  ASSERT_TRUE(st.showPoint(1));

  const screens::ParamWindow& w = st.param;
  EXPECT_TRUE(w.visible);
  EXPECT_EQ(w.Status_Frame.caption, "Position 001");
  EXPECT_EQ(w.Param_Lbl[12].caption, "Nombre de vérification Défaut");
  EXPECT_EQ(values(w, 0, 14), (std::vector<std::string>{
                                  "001", "KEV11x", "1.0", "10.11", "120000000", "041", "141", "009",
                                  "007", "000", "000", "000", "000", "200", "(hidden)"}));
  EXPECT_EQ(w.width, screens::kWideWidth);
  EXPECT_EQ(w.Image1, screens::kKevPicture);
  EXPECT_TRUE(w.Opto_Check.visible);
  EXPECT_FALSE(w.Opto_Check.enabled);
  EXPECT_TRUE(w.Picture2.visible);
  EXPECT_FALSE(w.Thermo_Check.visible);
  EXPECT_TRUE(w.Led_On_Cde.visible);
  EXPECT_FALSE(w.busyPointer);
  EXPECT_EQ(st.state.Seuil_Alarme, 141);

  // A reference that cannot be read keeps the last one; its row shows "???".
  st.box.setFailingRegisters(0, {0x01});
  ASSERT_TRUE(st.showPoint(1));
  EXPECT_EQ(w.Value_Lbl[6].caption, "???");
  EXPECT_EQ(st.state.Seuil_Alarme, 141);

  st.port.clearSent();
  ASSERT_TRUE(st.showPoint(2));
  EXPECT_EQ(values(st.param, 5, 7), (std::vector<std::string>{" 7", " 4", " 27"}));
  EXPECT_EQ(st.param.Param_Lbl[7].caption, "Tension AES");
  EXPECT_EQ(st.param.Image1, screens::kModulePicture);
  EXPECT_TRUE(st.sentInARow({0x42, 22, 2, 5}));  // two-byte answer, option byte 5

  ASSERT_TRUE(st.showPoint(3));
  EXPECT_EQ(st.param.Value_Lbl[1].caption, "MOLS-112");
  EXPECT_EQ(st.param.Param_Lbl[5].caption, "Temporisation entrée");
  EXPECT_EQ(st.param.Value_Lbl[5].caption, "003");
  EXPECT_EQ(st.param.width, screens::kNarrowWidth);
  EXPECT_FALSE(st.param.Led_On_Cde.visible);
  EXPECT_FALSE(st.param.Value_Lbl[6].visible);  // hidden by the click

  // An address where the search found nobody: nothing is asked of the line.
  st.port.clearSent();
  ASSERT_TRUE(st.showPoint(20));
  for (int k = 0; k <= 4; ++k)
    EXPECT_EQ(st.param.Value_Lbl[k].caption, "???") << k;
  EXPECT_EQ(std::count(st.port.sent().begin(), st.port.sent().end(), 0x40), 0);

  // During a search a click does nothing; past the grid, neither.
  st.state.Bus_Occupe = true;
  st.control.Adr_Box_Click(1);
  EXPECT_EQ(st.param.Status_Frame.caption, "Position 020");
  EXPECT_EQ(st.state.Etat_Demande, kNone);
  st.state.Bus_Occupe = false;
  st.control.Adr_Box_Click(17);
  EXPECT_EQ(st.param.Status_Frame.caption, "Position 017");
  EXPECT_EQ(st.state.Etat_Demande, kReadParameters);
  st.control.Adr_Box_Click(129);
  EXPECT_EQ(st.state.Adr_Cde, 17);
}

// The multi-sensor detector's mode byte (register 0x18): the category and elements the type
// reading gives, and the text, boxes and Mode_Detect the parameter window shows; then a mode
// written, and the sensor boxes.
TEST(Parameters, DetectionModes) {
  struct Case {
    const char* category;
    bool optical;
    bool heat;
    const char* text;
    bool opto;
    bool thermo;
    std::uint8_t modeDetect;
  };
  const Case cases[] = {
      {"Optique  Thermovélo", true, true, "Optique Thermovélo", true, true, 0},
      {"Optique ", true, false, "Optique ", true, false, 1},
      {" Thermovélo", false, true, "Thermovélo", false, true, 2},
      {"Aucun", false, false, "", true, false, 1},
      {"Optique  Statique", true, true, "Optique Statique", true, true, 0},
  };
  sim::Loop loop = loopOf({26, 26, 26, 26, 26});
  for (std::uint8_t m = 0; m < 5; ++m)
    loop.points[m].mode = m;
  Station st(loop);
  ASSERT_TRUE(st.connectAndSearch());
  for (int a = 1; a <= 5; ++a) {
    const Case& c = cases[a - 1];
    SCOPED_TRACE(a - 1);
    const Point& p = st.state.points[a];
    EXPECT_EQ(p.Adr_Categorie, c.category);
    EXPECT_EQ(p.Adr_Optique, c.optical);
    EXPECT_EQ(p.Adr_Thermo, c.heat);
    ASSERT_TRUE(st.showPoint(a));
    EXPECT_EQ(st.param.Value_Lbl[14].caption, c.text);
    EXPECT_EQ(st.param.Opto_Check.checked, c.opto);
    EXPECT_EQ(st.param.Thermo_Check.checked, c.thermo);
    EXPECT_EQ(st.state.Mode_Detect, c.modeDetect);
  }

  // Writing a mode: the point holds it, and the window shows it read back from the point.
  ASSERT_TRUE(st.showPoint(1));
  st.port.clearSent();
  st.state.Mode_Detect = 1;  // heat off
  ASSERT_TRUE(st.runRequest(kWriteMode));
  ASSERT_TRUE(st.rt.runUntil([&] { return st.param.Value_Lbl[14].caption == "Optique "; }, 10'000));
  EXPECT_EQ(st.box.mode(0), 1);
  EXPECT_TRUE(st.sentInARow({0x41, 0x85, 1, 0}));  // the follow-up the mode write needs

  // The sensor boxes: one bit each, and never both off. The refusal is a message box: a click
  // that arrives inside a frame's wait waits for the step to end.
  ASSERT_TRUE(st.showPoint(5));  // both sensors on
  screens::ParamWindow& w = st.param;
  st.state.Mode_Detect = 0x04;  // a bit the boxes do not own stays as it is

  w.Opto_Check.checked = false;
  st.paramControl.Opto_Check_Click();
  EXPECT_EQ(st.state.Mode_Detect, 0x06);
  EXPECT_EQ(st.state.Etat_Demande, kWriteMode);

  st.Timer_Tache->setEnabled(false);
  st.state.Etat_Demande = kNone;
  st.state.Cde_Led = 0;
  st.state.Etat_Bus = kLedCommand;  // a step with a frame to wait for, that leaves the boxes be
  std::size_t shownInside = 99;
  st.box.setLogger([&](const std::string&) {
    if (shownInside != 99) return;
    w.Thermo_Check.checked = false;  // the last sensor: refused
    st.paramControl.Thermo_Check_Click();
    shownInside = st.dialogs.shown.size();
  });
  st.engine.Etape_Bus();
  EXPECT_EQ(shownInside, 0u);
  ASSERT_EQ(st.dialogs.shown.size(), 1u);
  EXPECT_EQ(st.dialogs.shown[0].text, "Il doit y avoir au moins un capteur activé !");
  EXPECT_EQ(st.dialogs.shown[0].title, "Sélection Capteur");
  EXPECT_TRUE(w.Thermo_Check.checked);
  EXPECT_EQ(st.state.Mode_Detect, 0x06);
  EXPECT_EQ(st.state.Etat_Demande, kWriteMode);

  st.state.Maj_Mode = true;  // the engine setting the boxes: no request
  st.state.Etat_Demande = kNone;
  w.Opto_Check.checked = true;
  st.paramControl.Opto_Check_Click();
  EXPECT_EQ(st.state.Mode_Detect, 0x06);
  EXPECT_EQ(st.state.Etat_Demande, kNone);
}

}  // namespace
}  // namespace korvane::engine::testing
