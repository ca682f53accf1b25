// The address search: addressing point by point, the line check, the limits, how a search
// starts and how it ends. That a search abandoned for another request leaves a tool that
// searches again in full is the fuzzer's to prove, over every interruption it can make.
#include <gtest/gtest.h>

#include "station.h"

namespace korvane::engine::testing {
namespace {

TEST(Search, AFullLoopIsAddressedAndTypedUpTo128AndNoFurther) {
  Station st(exampleLoop("full-128"));
  st.bus.Check4.checked = true;
  st.bus.Combo1.text = "300";  // a limit above the grid is the grid's end
  ASSERT_TRUE(st.connectAndSearch());
  EXPECT_EQ(st.state.Nb_Trouve, 128);
  EXPECT_EQ(st.bus.Cur_Adr_Lbl.caption, " 128 Adresses trouvées");
  EXPECT_EQ(st.bus.Adr_Box[128].caption, screens::boxCaption(128, "MOLS-E8"));
  const auto searches = st.framesSent(0x41, 0x88);
  ASSERT_EQ(searches.size(), 128u);
  for (const Bytes& f : searches)
    EXPECT_EQ(f[2], 1);  // no isolator opened: nobody sits at 300
}

// "Court-Circuit" with 3: points 1 and 2 close their isolator, point 3 keeps it open, and the
// search stops there. Empty or 0, it opens no isolator and sets no limit.
TEST(Search, CourtCircuitStopsAtItsAddressWithTheLastIsolatorOpen) {
  for (const auto& [limit, found] : {std::pair{"3", 3}, {"", 5}, {"0", 5}}) {
    SCOPED_TRACE(limit);
    Station st(loopOf({7, 19, 23, 27, 29}));
    st.bus.Check4.checked = true;
    st.bus.Combo1.text = limit;
    ASSERT_TRUE(st.connectAndSearch());
    std::vector<int> isolators;
    for (const Bytes& f : st.framesSent(0x41, 0x88))
      if (f[1] != 200) isolators.push_back(f[2]);
    std::vector<int> expected(static_cast<std::size_t>(found), 1);
    if (found == 3) expected.back() = 0;
    if (found == 5) expected.push_back(1);  // address 6: nobody
    EXPECT_EQ(isolators, expected);
    EXPECT_EQ(st.state.Nb_Trouve, found);
    EXPECT_EQ(st.box.reachable(3), found == 5);
    EXPECT_EQ(st.state.points[3].Adr_Produit, "GLIR");
    EXPECT_EQ(st.state.points[4].Adr_Type != 0, found == 5);
  }
}

// A frame that fails (no answer, wrong echo) in any sub-step ends the search at once with the
// points found so far; so does a point that refuses its type. Point 3 is silent at its first
// search frame, so the line check is asked there, and it is found after it.
TEST(Search, AFailureEndsTheSearchWithThePointsFoundSoFar) {
  enum Fault { kTimeOut, kWrongEcho, kRefused };
  struct Case {
    std::uint8_t scanStep;
    Fault fault;
    int found;
    int typed;
  };
  const Case cases[] = {
      {kGiveAddress, kTimeOut, 2, 0}, {kGiveAddress, kWrongEcho, 2, 0},
      {kLineCheck, kTimeOut, 2, 0},   {kLineCheck, kWrongEcho, 2, 0},
      {kReadType, kTimeOut, 4, 2},    {kReadType, kWrongEcho, 4, 2},
      {kReadType, kRefused, 4, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << int(c.scanStep) << "/" << c.fault);
    sim::Loop loop = loopOf({7, 19, 23, 27});
    loop.points[2].silentAtSearch = 1;
    Station st(loop);
    ASSERT_TRUE(st.connect());
    st.control.Form_KeyDown(kKeyF5);
    ASSERT_TRUE(st.rt.runUntil(
        [&] {
          return st.state.Etat_Bus == kSearch && st.state.Etape_Scan == c.scanStep &&
                 st.state.Adr_Cour == 3 && !st.engine.stepRunning();
        },
        600'000));
    if (c.fault == kTimeOut) st.box.silenceUntil(st.rt.nowUs() + 300'000);
    if (c.fault == kWrongEcho) st.box.corruptEchoes();
    if (c.fault == kRefused) st.box.setFailingRegisters(2, {0x13});
    ASSERT_TRUE(st.rt.runUntil([&] { return !st.state.Bus_Occupe; }, 60'000));
    EXPECT_EQ(st.state.Nb_Trouve, c.found);
    EXPECT_EQ(st.bus.Cur_Adr_Lbl.caption, " " + std::to_string(c.found) + " Adresses trouvées");
    for (int a = 1; a <= 4; ++a)
      EXPECT_EQ(st.state.points[a].Adr_Type != 0, a <= c.typed) << a;
    EXPECT_EQ(st.bus.Adr_Box[4].caption, "004\n???");
  }
}

// KAPRE: at most 15 points, or fewer under "Court-Circuit"; a silent address ends the search
// and the types are read at once, without the status poll.
TEST(Search, KapreStopsAtFifteenAtItsLimitOrAtTheFirstSilentAddress) {
  struct Case {
    sim::Loop loop;
    const char* limit;
    int found;
    std::size_t searchFrames;
  };
  const Case cases[] = {{exampleLoop("kapre-20"), "40", 15, 15},
                        {exampleLoop("kapre-20"), "3", 3, 3},
                        {loopOf({70, 70, 70, 70}), nullptr, 4, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.found);
    Station st(c.loop);
    st.state.Produit_Courant = kProductKapre;
    st.state.Nb_Adr = kKapreAddresses;
    st.bus.SS_Det_12V.checked = false;
    st.bus.SS_KAPRE.checked = true;
    st.bus.Check4.checked = c.limit != nullptr;
    st.bus.Combo1.text = c.limit ? c.limit : "";
    ASSERT_TRUE(st.connect());
    st.recordStates();
    ASSERT_TRUE(st.search());
    EXPECT_EQ(st.state.Nb_Trouve, c.found);
    EXPECT_EQ(st.framesSent(0x41, 0x81).size(), c.searchFrames);
    EXPECT_EQ(st.bus.Adr_Box[c.found + 1].caption, screens::boxCaption(c.found + 1, "???"));
    const auto firstSearch = std::find(st.states.begin(), st.states.end(), kSearch);
    EXPECT_EQ(std::count(firstSearch, st.states.end(), kInterfaceStatus), c.limit ? 1 : 0);
  }
}

// Without "Reprog. Adr." nothing is re-addressed: the types are read from address 1 up to the
// first silent one, and what answered is what was found; never past the type's count (15 for
// KAPRE), nor past the grid (15 boxes for the KAPRE product, whatever the type).
TEST(Search, WithoutReaddressingTheTypesAreReadUpToTheFirstSilentAddressTheCountOrTheGrid) {
  sim::Loop gap = loopOf({7, 19, 23, 27, 29});
  gap.points[3].address = 9;  // a gap after address 3
  gap.points[4].address = 10;
  struct Case {
    sim::Loop loop;
    std::string product;
    bool kapreType;
    int found;
  };
  const Case cases[] = {{gap, kProductDI, false, 3},
                        {exampleLoop("kapre-20"), kProductDI, true, 15},
                        {loopOf(std::vector<std::uint8_t>(20, 7)), kProductKapre, false, 15}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.product + (c.kapreType ? ", KAPRE type" : ", 12 V type"));
    Station st(c.loop);
    st.state.Produit_Courant = c.product;
    st.bus.SS_Det_12V.checked = !c.kapreType;
    st.bus.SS_KAPRE.checked = c.kapreType;
    st.bus.Check5.checked = false;
    ASSERT_TRUE(st.connectAndSearch());
    EXPECT_TRUE(st.framesSent(0x41, 0x88).empty());
    EXPECT_EQ(st.state.Nb_Trouve, c.found);
    for (int a = c.found + 1; a <= 20; ++a)
      EXPECT_EQ(int{st.state.points[a].Adr_Type}, 0) << a;
    EXPECT_TRUE(st.bus.Adr_Status_Cde.visible);
  }
}

// Ticking "Analyse Chambre" checks "Listing" and searches again, and so does unticking it.
// A search start clears the last search, rearms and requests the search.
TEST(SearchStart, ClearsTheLastSearchRearmsAndRequestsTheSearch) {
  Station st(loopOf({26, 23}));
  ASSERT_TRUE(st.connectAndSearch());
  for (bool analyse : {true, false}) {
    st.bus.Check3.checked = analyse;
    st.control.Check3_Click();
    EXPECT_EQ(st.bus.Adr_Status_Cde.caption,
              analyse ? "ANALYSE CHAMBRE   (F9)" : "ETAT DES ADRESSES (F9)");
    EXPECT_TRUE(st.bus.Check2.checked);
    EXPECT_EQ(st.box.rearmCount(), analyse ? 2 : 3);
  }
  ASSERT_TRUE(st.rt.runUntil([&] { return !st.state.Bus_Occupe; }, 600'000));
  st.report.List1.add("old line");
  st.state.points[1].Adr_Taux = 40;
  st.bus.Check2.checked = true;
  st.Timer_Tache->setEnabled(false);  // no step: look at what the start alone does

  st.control.Start_Bus_Cmd_Click();
  EXPECT_EQ(st.box.rearmCount(), 4);
  EXPECT_EQ(st.state.Etat_Demande, kSearch);
  EXPECT_TRUE(st.state.Bus_Occupe);
  EXPECT_TRUE(st.report.List1.lines.empty());
  EXPECT_EQ(st.bus.Cur_Adr_Lbl.caption, "Position = 001");
  EXPECT_EQ(st.bus.Current_Operation_Lbl.caption, "Recherches Adresses raccordées");
  EXPECT_FALSE(st.bus.Adr_Status_Cde.visible);
  EXPECT_EQ(st.bus.Adr_Box[1].caption, "001\n???");
  const Point& p = st.state.points[1];
  EXPECT_EQ(p.Adr_Code_Type, 0);
  EXPECT_TRUE(p.Adr_Categorie.empty());  // not left to a point of another type
  EXPECT_EQ(p.Adr_Taux, 0);
}

TEST(SearchStart, F5AndTheSearchButton) {
  Station st(loopOf({7}));
  ASSERT_TRUE(st.connect());
  // F5 pressed while a step waits for the line runs once the step is over: the step must not
  // find its table cleared under it.
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
  ASSERT_TRUE(st.rt.runUntil([&] { return !st.state.Bus_Occupe; }, 600'000));

  // A rearm that fails starts no search.
  st.box.setPlugged(false);
  st.control.Start_Bus_Cmd_Click();
  EXPECT_EQ(st.state.Etat_Demande, kLinkCheck);
  EXPECT_FALSE(st.state.Bus_Occupe);
  EXPECT_TRUE(st.bus.Start_Bus_Cmd.visible);

  st.bus.Start_Bus_Cmd.visible = false;
  EXPECT_FALSE(st.control.Form_KeyDown(kKeyF5));  // hidden button: nothing
  EXPECT_FALSE(st.control.Form_KeyDown(115));
}

}  // namespace
}  // namespace korvane::engine::testing
