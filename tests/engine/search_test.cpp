// The address search: addressing point by point, the line check, the limits, how a search
// starts and how it ends or is abandoned.
#include <gtest/gtest.h>

#include "station.h"

namespace korvane::engine::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
using screens::colors::kFoundBlue;
using screens::colors::kLightGrey;

// The frames of a kind the PC sent, as (P1, P2, P3).
std::vector<Bytes> framesWith(const Bytes& sent, std::uint8_t header, std::uint8_t p1) {
  std::vector<Bytes> frames;
  for (std::size_t i = 0; i + 3 < sent.size(); ++i) {
    if (sent[i] == header && sent[i + 1] == p1) {
      frames.push_back({sent[i + 1], sent[i + 2], sent[i + 3]});
      i += 3;
    }
  }
  return frames;
}

TEST(Search, AFullLoopIsAddressedAndTypedUpTo128AndNoFurther) {
  sim::Loop loop = loopOf(std::vector<std::uint8_t>(128, 19));
  Station st(loop);
  st.bus.Check4.checked = true;
  st.bus.Combo1.text = "300";  // a limit above the grid is the grid's end
  st.recordStates();
  ASSERT_TRUE(st.connect());
  const double start = st.rt.nowMs();
  ASSERT_TRUE(st.search());

  EXPECT_EQ(st.state.Nb_Trouve, 128);
  EXPECT_EQ(st.bus.Cur_Adr_Lbl.caption, " 128 Adresses trouvées");
  for (int a = 1; a <= 128; ++a) {
    EXPECT_EQ(st.bus.Adr_Box[a].caption, screens::boxCaption(a, "ZUN")) << a;
    EXPECT_EQ(st.state.points[a].Adr_Type, 1) << a;
  }
  const auto searches = framesWith(st.port.sent(), 0x41, 0x88);
  ASSERT_EQ(searches.size(), 128u);
  for (const Bytes& f : searches)
    EXPECT_EQ(f[2], 1);  // no isolator opened: nobody sits at 300
  EXPECT_EQ(searches.back()[1], 128);
  // Search, one status poll, then the type reading.
  const auto firstRead = std::find(st.states.begin(), st.states.end(), kInterfaceStatus);
  ASSERT_NE(firstRead, st.states.end());
  EXPECT_EQ(*(firstRead + 1), kSearch);
  EXPECT_EQ(st.states.back(), kSearchEnd);
  RecordProperty("virtual_seconds", std::to_string((st.rt.nowMs() - start) / 1000));
}

// With 3 typed under "Court-Circuit": points 1 and 2 close their isolator, point 3 keeps it
// open, and the search stops there.
TEST(Search, CourtCircuitStopsAtItsAddressWithTheLastIsolatorOpen) {
  Station st(loopOf({7, 19, 23, 27, 29}));
  st.bus.Check4.checked = true;
  st.bus.Combo1.text = "3";
  ASSERT_TRUE(st.connectAndSearch());

  const auto searches = framesWith(st.port.sent(), 0x41, 0x88);
  EXPECT_EQ(searches, (std::vector<Bytes>{{0x88, 1, 1}, {0x88, 2, 1}, {0x88, 3, 0}}));
  EXPECT_EQ(st.state.Nb_Trouve, 3);
  EXPECT_EQ(st.bus.Cur_Adr_Lbl.caption, " 3 Adresses trouvées");
  EXPECT_FALSE(st.box.reachable(3));
  EXPECT_EQ(st.state.points[3].Adr_Produit, "GLIR");
  EXPECT_EQ(st.state.points[4].Adr_Type, 0);
}

TEST(Search, NoPointOnTheLoop) {
  Station st(loopOf({}));
  ASSERT_TRUE(st.connectAndSearch());
  EXPECT_EQ(st.state.Nb_Trouve, 0);
  EXPECT_EQ(st.bus.Cur_Adr_Lbl.caption, " 0 Adresses trouvées");
  EXPECT_EQ(st.bus.Current_Operation_Lbl.caption, "Attente Commande");
  EXPECT_FALSE(st.bus.Adr_Status_Cde.visible);
  EXPECT_TRUE(st.bus.Start_Bus_Cmd.visible);
  EXPECT_EQ(st.state.Etat_Bus, kLinkCheck);
  EXPECT_EQ(st.bus.Adr_Box[1].backColor, kLightGrey);
  EXPECT_EQ(st.bus.Adr_Box[1].caption, "001\n???");
}

TEST(Search, APointSilentOnceIsFoundAfterTheLineCheck) {
  sim::Loop loop = loopOf({7, 19, 23});
  loop.points[1].silentAtSearch = 1;
  Station st(loop);
  ASSERT_TRUE(st.connectAndSearch());
  EXPECT_EQ(st.state.Nb_Trouve, 3);
  std::vector<int> addressed;
  for (const Bytes& f : framesWith(st.port.sent(), 0x41, 0x88))
    addressed.push_back(f[1]);
  EXPECT_EQ(addressed, (std::vector<int>{1, 2, 200, 2, 3, 4, 200}));
  EXPECT_EQ(st.state.points[2].Adr_Produit, "ZUN");
  EXPECT_TRUE(st.bus.Adr_Status_Cde.visible);
}

// The reading ends at the first point that does not answer its type; the count is that of
// the search.
TEST(Search, ATypeReadThatFailsEndsTheReading) {
  sim::Loop loop = loopOf({7, 19, 23, 27});
  loop.points[2].failingRegisters = {0x13};
  Station st(loop);
  ASSERT_TRUE(st.connectAndSearch());
  EXPECT_EQ(st.state.points[2].Adr_Produit, "ZUN");
  EXPECT_EQ(st.state.points[3].Adr_Type, 0);
  EXPECT_EQ(st.state.points[4].Adr_Type, 0);
  EXPECT_EQ(st.bus.Adr_Box[4].caption, "004\n???");
  EXPECT_EQ(st.bus.Cur_Adr_Lbl.caption, " 4 Adresses trouvées");
}

TEST(Search, KapreStopsAtFifteen) {
  Station st(exampleLoop("kapre-20"));
  st.state.Produit_Courant = kProductKapre;
  st.state.Nb_Adr = kKapreAddresses;
  st.bus.SS_Det_12V.checked = false;
  st.bus.SS_KAPRE.checked = true;
  st.bus.Check4.checked = true;
  st.bus.Combo1.text = "40";
  ASSERT_TRUE(st.connectAndSearch());
  EXPECT_EQ(st.state.Nb_Trouve, 15);
  EXPECT_EQ(framesWith(st.port.sent(), 0x41, 0x81).size(), 15u);
  EXPECT_EQ(st.bus.Adr_Box[15].caption, "015\nKAPRE");
  EXPECT_EQ(st.bus.Adr_Box[16].caption, "016\n???");  // never part of the grid
}

// Without "Reprog. Adr." nothing is re-addressed: the types are read from address 1 up to the
// first silent one, and what answered is what was found.
TEST(Search, WithoutReaddressingTheTypesAreReadUpToTheFirstSilentAddress) {
  sim::Loop loop = loopOf({7, 19, 23, 27, 29});
  loop.points[3].address = 9;  // a gap after address 3
  loop.points[4].address = 10;
  Station st(loop);
  st.bus.Check5.checked = false;
  ASSERT_TRUE(st.connectAndSearch());
  EXPECT_TRUE(framesWith(st.port.sent(), 0x41, 0x88).empty());
  EXPECT_EQ(st.state.Nb_Trouve, 3);
  EXPECT_EQ(st.bus.Cur_Adr_Lbl.caption, " 3 Adresses trouvées");
  EXPECT_EQ(st.state.points[3].Adr_Produit, "GLIR");
  EXPECT_EQ(st.state.points[9].Adr_Type, 0);
  EXPECT_TRUE(st.bus.Adr_Status_Cde.visible);
}

TEST(Search, TheExampleLoops) {
  struct Case {
    const char* file;
    int found;
    int lastAddress;
    const char* lastGrid;
  };
  for (const Case& c : {Case{"empty", 0, 1, "???"}, Case{"faulty", 5, 5, "KEV212A"},
                        Case{"full-128", 128, 128, "MOLS-E8"}}) {
    SCOPED_TRACE(c.file);
    Station st(exampleLoop(c.file));
    ASSERT_TRUE(st.connectAndSearch());
    EXPECT_EQ(st.state.Nb_Trouve, c.found);
    EXPECT_EQ(st.bus.Adr_Box[c.lastAddress].caption,
              screens::boxCaption(c.lastAddress, c.lastGrid));
    if (c.lastAddress < 128) {
      EXPECT_EQ(st.bus.Adr_Box[c.lastAddress + 1].caption,
                screens::boxCaption(c.lastAddress + 1, "???"));
      EXPECT_EQ(st.bus.Adr_Box[c.lastAddress + 1].backColor, kLightGrey);
    }
    if (std::string(c.file) == "faulty") {
      st.rt.runUntil([&] { return st.state.Etat_Bus == kBeforeMeasures; }, 10'000);
      EXPECT_TRUE(st.bus.Cc_Lbl.visible);
      EXPECT_EQ(st.bus.Version_Lbl.caption, "(Ver.3.0)");
      EXPECT_EQ(st.state.points[4].Adr_Serie, "???");  // its first serial read failed
      EXPECT_EQ(st.state.points[2].Adr_Produit, "ZUN");
    }
  }
}

TEST(SearchStart, ClearsTheLastSearchRearmsAndRequestsTheSearch) {
  Station st(loopOf({26, 23}));
  ASSERT_TRUE(st.connectAndSearch());
  st.report.List1.add("old line");
  st.state.points[1].Adr_Taux = 40;
  st.bus.Check2.checked = true;
  st.Timer_Tache->setEnabled(false);  // no step: look at what the start alone does

  st.control.Start_Bus_Cmd_Click();
  EXPECT_EQ(st.box.rearmCount(), 2);
  EXPECT_EQ(st.state.Etat_Demande, kSearch);
  EXPECT_EQ(st.state.Etape_Scan, kGiveAddress);
  EXPECT_EQ(st.state.Protocole, 2);
  EXPECT_EQ(st.state.Code_Protocole, 8);
  EXPECT_TRUE(st.state.Bus_Occupe);
  EXPECT_TRUE(st.Timer_Tache->isEnabled());
  EXPECT_TRUE(st.report.List1.lines.empty());
  EXPECT_EQ(st.bus.Cur_Adr_Lbl.caption, "Position = 001");
  EXPECT_EQ(st.bus.Current_Operation_Lbl.caption, "Recherches Adresses raccordées");
  EXPECT_FALSE(st.bus.Adr_Status_Cde.visible);
  EXPECT_EQ(st.bus.Adr_Box[1].caption, "001\n???");
  EXPECT_EQ(st.bus.Adr_Box[128].backColor, kLightGrey);
  const Point& p = st.state.points[1];
  EXPECT_EQ(p.Adr_Code_Type, 0);
  EXPECT_TRUE(p.Adr_Produit.empty());
  EXPECT_TRUE(p.Adr_Categorie.empty());  // not left to a point of another type
  EXPECT_FALSE(p.Adr_Thermo);
  EXPECT_EQ(p.Adr_Taux, 0);
}

// The 24 V equipment has no search: its state only shows the position. The search button
// stays there, so a new search can start at any time.
TEST(SearchStart, TheTwentyFourVoltTypeWaitsAndF5StillStartsAgain) {
  Station st(loopOf({7}));
  ASSERT_TRUE(st.connect());
  st.bus.SS_Det_12V.checked = false;
  st.bus.SS_Per_24V.checked = true;
  st.control.Form_KeyDown(kKeyF5);
  st.rt.runForMs(2000);
  EXPECT_EQ(st.state.Etat_Bus, kIdle24V);
  EXPECT_EQ(st.bus.Cur_Adr_Lbl.caption, "Position = 001");
  EXPECT_TRUE(st.bus.Start_Bus_Cmd.visible);

  st.bus.SS_Per_24V.checked = false;
  st.bus.SS_Det_12V.checked = true;
  ASSERT_TRUE(st.search());
  EXPECT_EQ(st.state.Nb_Trouve, 1);

  // VOSK4: the request is the link check, and no search runs.
  st.bus.SS_Det_12V.checked = false;
  st.bus.SS_VOSK4.checked = true;
  st.Timer_Tache->setEnabled(false);
  st.control.Start_Bus_Cmd_Click();
  EXPECT_EQ(st.state.Etat_Demande, kLinkCheck);
}

TEST(SearchStart, ARearmThatFailsStartsNoSearch) {
  Station st(loopOf({7}));
  ASSERT_TRUE(st.connect());
  st.box.setPlugged(false);
  st.bus.Start_Bus_Cmd.visible = true;
  st.control.Start_Bus_Cmd_Click();
  EXPECT_EQ(st.state.Etat_Demande, kLinkCheck);
  EXPECT_FALSE(st.state.Bus_Occupe);
  EXPECT_TRUE(st.bus.Start_Bus_Cmd.visible);
}

// A request posted while the search runs abandons it at the next step, and gives the grid
// back: clicks work again, and so does F5.
TEST(SearchStart, ARequestInterruptsTheSearch) {
  Station st(loopOf({7, 19, 23, 27, 29}));
  ASSERT_TRUE(st.connect());
  st.control.Form_KeyDown(kKeyF5);
  st.rt.runUntil([&] { return st.state.Adr_Cour == 3; }, 60'000);
  st.state.request(kLinkCheck);
  st.rt.runUntil([&] { return st.state.Etat_Bus == kInterfaceStatus; }, 60'000);
  EXPECT_FALSE(st.state.Bus_Occupe);
  EXPECT_EQ(st.bus.Current_Operation_Lbl.caption, "Attente Commande");
  EXPECT_EQ(st.state.Nb_Trouve, 2);

  ASSERT_TRUE(st.search());
  EXPECT_EQ(st.state.Nb_Trouve, 5);
}

// F5 pressed while a step waits for the line runs once the step is over: the step must not
// find its table cleared under it.
TEST(SearchStart, F5DuringAStepWaitsForTheStepToEnd) {
  Station st(loopOf({7}));
  ASSERT_TRUE(st.connect());
  bool pressed = false;
  int rearmsRightAfter = -1;
  st.box.setLogger([&](const std::string&) {  // the box answers: a step is waiting for it
    if (pressed || !st.engine.stepRunning()) return;
    pressed = true;
    EXPECT_TRUE(st.control.Form_KeyDown(kKeyF5));
    rearmsRightAfter = st.box.rearmCount();
  });
  st.rt.runUntil([&] { return st.box.rearmCount() > 0; }, 10'000);
  EXPECT_EQ(rearmsRightAfter, 0);
  EXPECT_TRUE(st.state.Bus_Occupe);

  st.bus.Start_Bus_Cmd.visible = false;
  EXPECT_FALSE(st.control.Form_KeyDown(kKeyF5));  // hidden button: nothing
  EXPECT_FALSE(st.control.Form_KeyDown(115));
}

TEST(SearchStart, CheckingAnalyseChambreChecksListingAndSearchesAgain) {
  Station st(loopOf({7}));
  ASSERT_TRUE(st.connectAndSearch());
  st.bus.Check3.checked = true;
  st.control.Check3_Click();
  EXPECT_EQ(st.bus.Adr_Status_Cde.caption, "ANALYSE CHAMBRE   (F9)");
  EXPECT_TRUE(st.bus.Check2.checked);
  EXPECT_EQ(st.box.rearmCount(), 2);

  st.bus.Check3.checked = false;
  st.control.Check3_Click();
  EXPECT_EQ(st.bus.Adr_Status_Cde.caption, "ETAT DES ADRESSES (F9)");
  EXPECT_TRUE(st.bus.Check2.checked);
  EXPECT_EQ(st.box.rearmCount(), 3);
}

}  // namespace
}  // namespace korvane::engine::testing
