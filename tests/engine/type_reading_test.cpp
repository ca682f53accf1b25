// What the type reading makes of each point: box, model, category, flags, thresholds,
// serial number and listing line.
#include <gtest/gtest.h>

#include "station.h"

namespace korvane::engine::testing {
namespace {

using screens::colors::kFoundBlue;

// The example loop as a technician sees it after a search with "Listing" checked. The rows
// checked are those the type table does not simply give: code 25 (a ZUN under another
// code), the multi-sensor detector, module channels, an unknown code.
TEST(TypeReading, TheMixedExampleLoop) {
  Station st(exampleLoop("mixed"));
  st.bus.Check2.checked = true;
  ASSERT_TRUE(st.connectAndSearch());

  struct Expected {
    int address;
    const char* grid;
    const char* product;
    const char* serial;
    const char* listing;
  };
  const Expected rows[] = {
      {2, "ZUN", "ZUN", "150300301", "2: ZUN112  ==> 150300301"},
      {6, "KEV312A", "KEV312A", "210700006", "6: KEV312A  ==> 210700006"},
      {15, "MOLS-E1", "MOLS-112 E1", "170200077", "15: MOLS112(E1)  ==> 170200077"},
      {22, "MOLS-E8", "MOLS-112 E8", "170200077", "22: MOLS112(E8)  ==> 170200077"},
      {26, "MOLS-E4", "MOLS-412 E4", "170200078", "26: MOLS412(E4)  ==> 170200078"},
      {28, "MOLS-E2", "MOLS-212 E2", "170200079", "28: MOLS212(E2)  ==> 170200079"},
      {31, "???", "", "210700020", "31: ???  ==> 210700020"},
  };
  for (const Expected& e : rows) {
    SCOPED_TRACE(e.address);
    const Point& p = st.state.points[e.address];
    EXPECT_EQ(st.bus.Adr_Box[e.address].caption, screens::boxCaption(e.address, e.grid));
    EXPECT_EQ(st.bus.Adr_Box[e.address].backColor, kFoundBlue);
    EXPECT_EQ(p.Adr_Produit, e.product);
    EXPECT_EQ(p.Adr_Serie, e.serial);
    EXPECT_EQ(st.report.List1.lines.at(static_cast<std::size_t>(e.address - 1)), e.listing);
  }
  EXPECT_EQ(st.state.points[2].Adr_Categorie, "Optique");  // code 25, a ZUN under another code
  EXPECT_EQ(st.report.List1.lines.size(), 31u);
  EXPECT_EQ(st.bus.Adr_Box[32].caption, "032\n???");

  // Chamber labels: shown for the optical types that always have one, hidden elsewhere.
  for (int a : {1, 2, 5})
    EXPECT_TRUE(st.bus.Etat_Chambre[a].visible) << a;
  for (int a : {3, 4, 6, 11, 15, 31})
    EXPECT_FALSE(st.bus.Etat_Chambre[a].visible) << a;
  EXPECT_TRUE(st.state.Optique_Trouve);
  EXPECT_TRUE(st.state.Thermique_Trouve);
}

// Modules in a row count their channels again. Then serial numbers the mixed loop lacks: a
// zero byte, a first byte past 99, and a byte that cannot be read.
TEST(TypeReading, ModulesInARowAndSerialNumbers) {
  sim::Loop loop = loopOf({66, 66, 68, 67, 7, 7, 7, 7});
  loop.points[5].serial = {{0, 5, 0, 9}};
  loop.points[6].serial = {{200, 255, 255, 3}};
  loop.points[7].serial = {{12, 34, 1, 2}};
  loop.points[7].failingRegisters = {0x0A};
  Station st(loop);
  ASSERT_TRUE(st.connectAndSearch());
  std::vector<std::string> grid;
  for (int a = 1; a <= 23; ++a)
    grid.push_back(st.bus.Adr_Box[a].caption.substr(4));
  EXPECT_EQ(grid, (std::vector<std::string>{"MOLS-E1", "MOLS-E2", "MOLS-E3", "MOLS-E4", "MOLS-E5",
                                            "MOLS-E6", "MOLS-E7", "MOLS-E8", "MOLS-E1", "MOLS-E2",
                                            "MOLS-E3", "MOLS-E4", "MOLS-E5", "MOLS-E6", "MOLS-E7",
                                            "MOLS-E8", "MOLS-E1", "MOLS-E2", "MOLS-E1", "MOLS-E2",
                                            "MOLS-E3", "MOLS-E4", "KEV11x"}));
  EXPECT_EQ(st.state.points[18].Adr_Produit, "MOLS-212 E2");
  EXPECT_EQ(st.state.points[19].Adr_Ligne, "19: MOLS412(E1)  ==> 210700004");
  EXPECT_EQ(st.state.points[24].Adr_Serie, "???");
  EXPECT_EQ(st.state.points[25].Adr_Serie, "2000000003");
  EXPECT_EQ(st.state.points[26].Adr_Serie, "???");
}

TEST(TypeReading, FoundFlagsFollowTheElementsActuallyPresent) {
  sim::Loop loop = loopOf({26, 20});
  loop.points[0].mode = 3;
  Station st(loop);
  ASSERT_TRUE(st.connectAndSearch());
  EXPECT_FALSE(st.state.Optique_Trouve);
  EXPECT_FALSE(st.state.Thermique_Trouve);
  // A mode that cannot be read leaves neither element active, and no category: not even the
  // "Aucun" the last search gave.
  st.box.setFailingRegisters(0, {0x18});
  ASSERT_TRUE(st.search());
  EXPECT_FALSE(st.state.points[1].Adr_Optique);
  EXPECT_TRUE(st.state.points[1].Adr_Categorie.empty());
}

// With "Analyse Chambre" every optical detector gets its reference values: the three
// registers are read for codes 7, 19 and 25 as for 26 and 27.
TEST(TypeReading, AnalyseChambreReadsTheReferenceOfEveryOpticalDetector) {
  sim::Loop loop = loopOf({7, 19, 25, 26, 27, 23});
  for (std::size_t i = 0; i < loop.points.size(); ++i) {
    loop.points[i].initial = static_cast<std::uint8_t>(30 + i);
    loop.points[i].alarm = static_cast<std::uint8_t>(130 + i);
    loop.points[i].fault = static_cast<std::uint8_t>(5 + i);
  }
  loop.points[4].failingRegisters = {0x01};  // the alarm threshold of point 5 is unreadable
  Station st(loop);
  st.bus.Check3.checked = true;
  ASSERT_TRUE(st.connectAndSearch());
  for (int a = 1; a <= 5; ++a) {
    const Point& p = st.state.points[a];
    EXPECT_EQ(p.Adr_Val_Initiale, 29 + a) << a;
    EXPECT_EQ(p.Adr_Seuil_Alarme, a == 5 ? 0 : 129 + a) << a;
    EXPECT_EQ(p.Adr_Seuil_Defaut, 4 + a) << a;
    EXPECT_TRUE(st.bus.Etat_Chambre[a].visible) << a;
  }
  EXPECT_EQ(st.state.points[6].Adr_Val_Initiale, 0);
  EXPECT_FALSE(st.bus.Etat_Chambre[6].visible);
}

}  // namespace
}  // namespace korvane::engine::testing
