// The chamber analysis over a loop, and the baseline acquisition of one detector.
#include <gtest/gtest.h>

#include "station.h"

namespace korvane::engine::testing {
namespace {

using screens::colors::kGreen;
using screens::colors::kOrange;
using screens::colors::kRed;

sim::Point detector(std::uint8_t initial, std::uint8_t alarm, std::vector<std::uint8_t> chamber) {
  sim::Point p;
  p.code = 27;
  p.initial = initial;
  p.alarm = alarm;
  p.chamber = std::move(chamber);
  return p;
}

// A settled reading, then ten readings averaging `mean`.
std::vector<std::uint8_t> settledAt(std::uint8_t mean) {
  return std::vector<std::uint8_t>(11, mean);
}

TEST(ChamberAnalysis, PercentagesAndVerdicts) {
  sim::Loop loop;
  loop.points = {
      detector(40, 140, settledAt(65)),   // 25 %
      detector(40, 140, settledAt(60)),   // 20 %: still OK
      detector(40, 140, settledAt(110)),  // 70 %: still only to plan
      detector(40, 140, settledAt(37)),   // 3 below the clean value: drift, 0 %
      detector(40, 140, settledAt(33)),   // 7 below: 100 %
      detector(40, 100, settledAt(60)),   // a third of the way
      detector(40, 140, {5, 5, 40, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50}),
      detector(0, 140, settledAt(0)),     // 0 with a clean value of 0: the first formula
      detector(40, 140, settledAt(200)),  // past the threshold: 100 %
      detector(0, 200, settledAt(45)),    // 22.5 %: the percentage rounds halves to even
  };
  Station st(loop);
  ASSERT_TRUE(st.connect());
  ASSERT_TRUE(st.analyse());

  struct Expected {
    const char* label;
    int taux;
    const char* verdict;
    screens::Rgb color;
  };
  const Expected expected[] = {
      {"25 %", 25, "Remplacement à prévoir", kOrange},
      {"20 %", 20, "Détecteur OK", kGreen},
      {"70 %", 70, "Remplacement à prévoir", kOrange},
      {"0 %", 0, "Détecteur OK", kGreen},
      {"100 %", 100, "Détecteur à remplacer", kRed},
      {"33.3333333333333 %", 33, "Remplacement à prévoir", kOrange},
      {"10 %", 10, "Détecteur OK", kGreen},
      {"0 %", 0, "Détecteur OK", kGreen},
      {"100 %", 100, "Détecteur à remplacer", kRed},
      {"22.5 %", 22, "Remplacement à prévoir", kOrange},
  };
  for (int a = 1; a <= 10; ++a) {
    SCOPED_TRACE(a);
    const Expected& e = expected[a - 1];
    const Point& p = st.state.points[a];
    EXPECT_EQ(st.bus.Etat_Chambre[a].caption, e.label);
    EXPECT_TRUE(st.bus.Etat_Chambre[a].visible);
    EXPECT_EQ(st.bus.Etat_Chambre[a].backColor, e.color);
    EXPECT_EQ(p.Adr_Taux, e.taux);
    EXPECT_EQ(p.Adr_Verdict, e.verdict);
    EXPECT_TRUE(p.Analyse_Faite);
  }
  // The window opens on the first reading that is not 5 and averages the ten after it.
  EXPECT_EQ(st.state.points[7].Debut_Fenetre, 3);
  EXPECT_EQ(st.state.points[7].Fin_Fenetre, 13);
  EXPECT_EQ(st.state.points[7].Adr_Moyenne, 50);
  EXPECT_TRUE(st.dialogs.shown.empty());

  // The run keeps going until F9; state 8 then writes the percentages into the listing.
  st.rt.runForMs(5000);
  EXPECT_TRUE(st.state.Boucle_Mesures);
  EXPECT_EQ(st.bus.Adr_Status_Cde.caption, "ARRÊT MESURES");
  EXPECT_FALSE(st.bus.Start_Bus_Cmd.visible);
  ASSERT_TRUE(st.stopCycle());
  EXPECT_EQ(st.bus.Adr_Status_Cde.caption, "ANALYSE CHAMBRE   (F9)");
  EXPECT_TRUE(st.bus.Start_Bus_Cmd.visible);
  EXPECT_EQ(st.bus.Current_Operation_Lbl.caption, "Attente Commande");
  ASSERT_EQ(st.report.List1.lines.size(), 10u);
  EXPECT_EQ(st.report.List1.lines[0], "1: KEV112A  ==> 210700001 >> 25 %");
  st.rt.runForMs(3000);
  EXPECT_EQ(st.state.Etat_Bus, kLinkCheck);  // the cycle does not come back by itself
  EXPECT_FALSE(st.state.Bus_Occupe);
}

// A detector whose alarm threshold equals its clean value cannot be judged: the tool says
// so, gives no verdict, and the run goes on. One that never settles stops being read at 190.
TEST(ChamberAnalysis, DetectorsThatCannotBeJudgedGetNoVerdict) {
  sim::Loop loop;
  loop.points = {detector(40, 40, settledAt(45)), detector(40, 140, {5}),
                 detector(40, 140, settledAt(40))};
  Station st(loop);
  ASSERT_TRUE(st.connect());
  ASSERT_TRUE(st.analyse());

  ASSERT_EQ(st.dialogs.shown.size(), 1u);
  EXPECT_EQ(st.dialogs.shown[0].text,
            "Problème sur les valeurs récupérées\n45\nAdresse point :1\n40");
  EXPECT_EQ(st.dialogs.shown[0].title, "Erreur");
  EXPECT_EQ(st.dialogs.shown[0].icon, screens::Icon::kCritical);
  for (int a : {1, 2}) {
    SCOPED_TRACE(a);
    EXPECT_LT(st.state.points[a].Adr_Taux, 0);
    EXPECT_TRUE(st.state.points[a].Adr_Verdict.empty());
    EXPECT_EQ(st.bus.Etat_Chambre[a].caption, "???");
    EXPECT_TRUE(st.state.points[a].Analyse_Faite);
  }
  EXPECT_EQ(st.state.points[2].Nb_Mesures, kMaxChamberReadings);
  EXPECT_EQ(st.state.points[3].Adr_Verdict, "Détecteur OK");

  ASSERT_TRUE(st.stopCycle());
  EXPECT_EQ(st.report.List1.lines[0], "1: KEV112A  ==> 210700001 >> ??? %");
}

TEST(ChamberAnalysis, TheMixedLoopGivesTheVerdictsItsNotesAnnounce) {
  Station st(exampleLoop("mixed"));
  st.state.Mode_Debug = true;
  ASSERT_TRUE(st.connect());
  ASSERT_TRUE(st.analyse());
  const std::pair<int, const char*> verdicts[] = {
      {1, "Détecteur OK"},
      {2, "Remplacement à prévoir"},
      {5, "Détecteur à remplacer"},
      {6, "Détecteur OK"},
      {7, "Remplacement à prévoir"},
      {10, "Détecteur à remplacer"},
      {11, "Remplacement à prévoir"},
  };
  for (const auto& [a, verdict] : verdicts)
    EXPECT_EQ(st.state.points[a].Adr_Verdict, verdict) << a;
  EXPECT_EQ(st.bus.Etat_Chambre[11].caption, "70 %");
  // Heat elements: the mean of readings 6 to 10 over 5 slots and the unused sixth.
  EXPECT_EQ(st.state.points[4].Adr_Temperature, 23 * 5 / 5);
  EXPECT_EQ(st.state.points[6].Adr_Temperature, 22);
  EXPECT_EQ(st.state.points[8].Adr_Temperature, 25);
  EXPECT_EQ(st.state.points[9].Adr_Temperature, 0);  // both elements off: nothing read
  EXPECT_TRUE(st.state.points[12].Analyse_Faite);
  EXPECT_FALSE(st.state.points[15].Analyse_Faite);  // a module has nothing to analyse

  // The measures log in debug mode.
  const auto& log = st.measures.List1.lines;
  EXPECT_TRUE(st.measures.visible);
  EXPECT_NE(std::find(log.begin(), log.end(), "Détecteur : 1 / Mesure : 1 :> 5"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "Valeur Moyenne Det. 2 -> 65"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "Détecteur : 4 / Température : 1 :> 23"), log.end());
}

TEST(ChamberAnalysis, ProgressText) {
  sim::Loop loop;
  loop.points = {detector(40, 140, {5, 5, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40})};
  Station st(loop);
  ASSERT_TRUE(st.connect());
  st.bus.Check3.checked = true;
  st.control.Check3_Click();
  ASSERT_TRUE(st.rt.runUntil([&] { return !st.state.Bus_Occupe; }, 60'000));
  std::vector<std::string> progress;
  st.control.Form_KeyDown(kKeyF9);
  st.rt.runUntil(
      [&] {
        const std::string& now = st.bus.Current_Operation_Lbl.caption;
        if (progress.empty() || progress.back() != now) progress.push_back(now);
        return st.state.points[1].Analyse_Faite;
      },
      600'000);
  EXPECT_NE(std::find(progress.begin(), progress.end(),
                      "Analyse chambre en cours... -> Point : 1 -> Analyse : 30.8 %"),
            progress.end());
}

// The baseline of one detector: 45 readings, the ten last judged.
TEST(Baseline, LevelStabilityAndPercentage) {
  struct Case {
    std::vector<std::uint8_t> readings;  // the last one repeats
    const char* conformity;
    const char* percent;
    int gauge;
  };
  std::vector<std::uint8_t> steady(45, 30);
  std::vector<std::uint8_t> unstable(35, 30);
  for (std::uint8_t v : {20, 31, 25, 25, 25, 25, 25, 25, 25, 25})
    unstable.push_back(v);
  std::vector<std::uint8_t> small(35, 90);
  for (std::uint8_t v : {29, 31, 30, 30, 30, 30, 30, 30, 30, 30})
    small.push_back(v);
  std::vector<std::uint8_t> high(45, 81);
  const Case cases[] = {
      {steady, "Acquisition niveau de base conforme (Val.moyenne= 30 Val.maxi= 30 Val.mini= 30)",
       "0 %", 0},
      {unstable, "Niveau de base Non Conforme! (valeur instable)", "0 %", 0},
      {small, "Acquisition niveau de base conforme (Val.moyenne= 30 Val.maxi= 31 Val.mini= 29)",
       "0 %", 0},
      {high, "Niveau de base Non Conforme! (Val.moyenne= 81 Val.maxi= 81 Val.mini= 81)", "51 %",
       765},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.conformity);
    sim::Loop loop;
    loop.points = {detector(30, 130, c.readings)};
    loop.points[0].fault = 150;
    Station st(loop);
    ASSERT_TRUE(st.connectAndSearch());
    ASSERT_TRUE(st.showPoint(1));
    st.state.points[1].Debut_Fenetre = 32;  // left by an earlier analysis run
    ASSERT_TRUE(st.runRequest(kBaseline));

    const screens::ParamWindow& w = st.param;
    EXPECT_TRUE(w.P_Chambre.visible);
    EXPECT_EQ(w.Label5.caption, c.conformity);
    EXPECT_EQ(w.Label6.caption, c.percent);
    EXPECT_EQ(w.Shape1.width, c.gauge);
    EXPECT_EQ(w.Picture5.left, 130 * 15);  // the alarm threshold on a 3840-twip scale
    EXPECT_EQ(w.Picture5.width, 20 * 15);
    EXPECT_EQ(w.Label3_Left, 150 * 15);
  }
}

TEST(Baseline, AChamberValueOfZeroOrFarBelowTheCleanValue) {
  for (auto [reading, text] : {std::pair<std::uint8_t, const char*>{0, "Valeur de chambre à 0."},
                               {20, "Valeur de chambre trop basse."}}) {
    sim::Loop loop;
    loop.points = {detector(30, 130, {reading})};
    Station st(loop);
    ASSERT_TRUE(st.connectAndSearch());
    ASSERT_TRUE(st.showPoint(1));
    ASSERT_TRUE(st.runRequest(kBaseline));
    EXPECT_EQ(st.param.Label8.caption, text);
    EXPECT_EQ(st.param.Label6.caption, "100 %");
  }
}

}  // namespace
}  // namespace korvane::engine::testing
