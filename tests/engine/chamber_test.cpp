// The chamber analysis over a loop, and the baseline acquisition of one detector.
#include <gtest/gtest.h>

#include "station.h"

namespace korvane::engine::testing {
namespace {

using screens::colors::kGreen;
using screens::colors::kOrange;
using screens::colors::kRed;

sim::Point detector(std::uint8_t initial, std::uint8_t alarm, std::vector<std::uint8_t> chamber,
                    std::uint8_t code = 27) {
  sim::Point p;
  p.code = code;
  p.initial = initial;
  p.alarm = alarm;
  p.chamber = std::move(chamber);
  return p;
}

// `notReady` readings of 5, then a settled reading 20 above `mean` and ten readings that
// average exactly `mean` but differ, the first and last off it: a window one reading early or
// late, or one reading short or long, averages to something else.
std::vector<std::uint8_t> settledAt(std::uint8_t mean, std::size_t notReady = 0) {
  std::vector<std::uint8_t> readings(notReady, 5);
  readings.push_back(static_cast<std::uint8_t>(mean + 20));
  for (int d : {3, -3, 2, -2, 1, -1, 4, 0, 0, -4})
    readings.push_back(static_cast<std::uint8_t>(mean == 0 ? 0 : mean + d));
  return readings;
}

TEST(ChamberAnalysis, PercentagesAndVerdicts) {
  struct Verdict {
    const char* text;
    screens::Rgb color;
  };
  const Verdict ok{"Détecteur OK", kGreen}, plan{"Remplacement à prévoir", kOrange},
      replace{"Détecteur à remplacer", kRed}, none{"", {}};
  struct Row {
    sim::Point detector;
    const char* label;
    int taux;
    Verdict verdict;
  };
  const Row rows[] = {
      {detector(40, 140, settledAt(65)), "25 %", 25, plan},
      {detector(40, 140, settledAt(60)), "20 %", 20, ok},         // still OK
      {detector(40, 140, settledAt(110)), "70 %", 70, plan},      // still only to plan
      {detector(40, 140, settledAt(37)), "0 %", 0, ok},           // 3 below the clean value: drift
      {detector(40, 140, settledAt(33)), "100 %", 100, replace},  // 7 below
      {detector(40, 100, settledAt(60)), "33.3333333333333 %", 33, plan},
      {detector(40, 140, settledAt(50, 2)), "10 %", 10, ok},  // the window opens at reading 3
      {detector(0, 140, settledAt(0)), "0 %", 0, ok},  // 0 with a clean value of 0: first formula
      {detector(40, 140, settledAt(200)), "100 %", 100, replace},  // past the threshold
      {detector(0, 200, settledAt(45)), "22.5 %", 22, plan},       // rounds halves to even
      {detector(40, 140, settledAt(34)), "0 %", 0, ok},            // exactly 6 below: still drift
      {detector(5, 140, settledAt(0)), "100 %", 100, replace},     // 0 with 5 clean: empty chamber
      {detector(0, 250, settledAt(51)), "20.4 %", 20, plan},       // judged on the exact value
      {detector(0, 250, settledAt(176)), "70.4 %", 70, replace},
      {detector(40, 140, settledAt(40, 30)), "0 %", 0, ok},  // the last reading to open it
      // Not judged, and the run goes on: an alarm threshold at or below the clean value (the
      // tool says so), and a chamber still not ready at reading 32 (read until the table is full).
      {detector(40, 40, settledAt(45)), "???", kNoVerdict, none},
      {detector(40, 140, settledAt(40, 31)), "???", kNoVerdict, none},
      {detector(60, 40, settledAt(70)), "???", kNoVerdict, none},
  };
  sim::Loop loop;
  for (const Row& r : rows)
    loop.points.push_back(r.detector);
  Station st(loop);
  std::vector<Visit> visits;
  st.engine.onVisit = [&](const Visit& v) { visits.push_back(v); };
  ASSERT_TRUE(st.connect());
  ASSERT_TRUE(st.analyse());

  for (int a = 1; a <= 18; ++a) {
    SCOPED_TRACE(a);
    const Row& e = rows[a - 1];
    const Point& p = st.state.points[a];
    EXPECT_EQ(st.bus.Etat_Chambre[a].caption, e.label);
    if (e.taux != kNoVerdict) {
      EXPECT_EQ(st.bus.Etat_Chambre[a].backColor, e.verdict.color);
    }
    EXPECT_EQ(p.Adr_Taux, e.taux);
    EXPECT_EQ(p.Adr_Verdict, e.verdict.text);
  }
  // Point 7's progress, as its window fills.
  EXPECT_NE(std::find(st.progress.begin(), st.progress.end(),
                      "Analyse chambre en cours... -> Point : 7 -> Analyse : 30.8 %"),
            st.progress.end());
  EXPECT_EQ(st.state.points[17].Nb_Mesures, kMaxChamberReadings);
  ASSERT_EQ(st.dialogs.shown.size(), 2u);
  EXPECT_EQ(st.dialogs.shown[0].text,
            "Problème sur les valeurs récupérées\n45\nAdresse point :16\n40");
  EXPECT_EQ(st.dialogs.shown[0].title, "Erreur");

  // The run keeps going until F9; state 8 then writes the percentages into the listing.
  st.rt.runForMs(5000);
  EXPECT_TRUE(st.state.Boucle_Mesures);
  EXPECT_EQ(st.bus.Adr_Status_Cde.caption, "ARRÊT MESURES");
  st.report.Text2 = "Dupont & Fils";
  ASSERT_TRUE(st.stopCycle());
  ASSERT_EQ(st.report.List1.lines.size(), 18u);
  // The history gets the search's 18 points, then the run's 15 judged ones with what their
  // verdict stood on.
  ASSERT_EQ(visits.size(), 2u);
  EXPECT_EQ(visits[0].kind, VisitKind::kSearch);
  EXPECT_EQ(visits[0].points.size(), 18u);
  EXPECT_TRUE(visits[0].points[0].verdict.empty());
  const Visit& run = visits[1];
  EXPECT_EQ(run.kind, VisitKind::kAnalysis);
  EXPECT_EQ(run.company, "Dupont & Fils");
  EXPECT_EQ(run.date, (runtime::Date{2026, 12, 6}));
  ASSERT_EQ(run.points.size(), 15u);
  const VisitPoint& judged = run.points[12];
  EXPECT_EQ(judged.address, 13);
  EXPECT_EQ(judged.serial, st.state.points[13].Adr_Serie);
  EXPECT_DOUBLE_EQ(judged.percent, 20.4);
  EXPECT_EQ(judged.verdict, "Remplacement à prévoir");
  EXPECT_EQ(judged.mean, 51);
  EXPECT_EQ(judged.alarm, 250);
  EXPECT_EQ(st.report.List1.lines[0], "1: KEV112A  ==> 210700001 >> 25 %");
  st.rt.runForMs(3000);
  EXPECT_EQ(st.state.Etat_Bus, kLinkCheck);  // the cycle does not come back by itself

  // A second run stopped before any verdict lists none of the first run's percentages.
  st.control.Form_KeyDown(kKeyF9);
  st.rt.runForMs(300);
  ASSERT_TRUE(st.stopCycle());
  EXPECT_EQ(st.report.List1.lines[0], "1: KEV112A  ==> 210700001 >> ??? %");
  EXPECT_TRUE(st.state.points[1].Adr_Verdict.empty());
  EXPECT_EQ(st.state.points[1].Adr_Moyenne, 0);
  EXPECT_EQ(visits.size(), 2u);  // nothing judged, nothing kept

  // A run closed with its window has stopped too: what it judged is kept.
  st.control.Form_KeyDown(kKeyF9);
  ASSERT_TRUE(st.rt.runUntil([&] { return hasVerdict(st.state.points[1]); }, 600'000));
  ASSERT_TRUE(st.close());
  ASSERT_EQ(visits.size(), 3u);
  EXPECT_EQ(visits[2].kind, VisitKind::kAnalysis);
  EXPECT_EQ(visits[2].points[0].verdict, "Remplacement à prévoir");
}

// What fails in the middle of a run: a chamber read refused is not counted, a temperature
// frame lost still is; a window that is not ten readings is not judged; and the baseline
// acquisition, which would eat the run's readings, is refused, as is "Analyse Chambre". The
// multi-sensor detector has its ten temperatures long before its chamber settles: the run is not
// complete until its chamber too is judged.
TEST(ChamberAnalysis, FailuresDuringARun) {
  sim::Loop loop = loopOf({23});
  loop.points[0].temperature = 25;
  loop.points.push_back(detector(40, 140, settledAt(60)));
  loop.points.push_back(detector(40, 140, settledAt(65)));
  loop.points[2].failingRegisters = {0x11};
  loop.points[2].failingTimes = 3;
  loop.points.push_back(detector(40, 140, settledAt(65, 12), 26));
  loop.points[3].temperature = 25;
  Station st(loop);
  ASSERT_TRUE(st.connect());
  ASSERT_TRUE(st.startAnalysis());
  ASSERT_TRUE(st.rt.runUntil(
      [&] {
        return st.state.points[1].Nb_Temp == 6 && st.state.Etat_Demande == kMeasureCycle &&
               st.state.Adr_Cycle == 1 && !st.engine.stepRunning();
      },
      600'000));
  // Deaf while point 1's seventh temperature frame goes out: it times out.
  st.box.silenceUntil(st.rt.nowUs() + 300'000);
  ASSERT_EQ(st.state.points[2].Nb_Mesures, 6);
  st.state.points[2].Fin_Fenetre = 8;
  st.paramControl.Command1_Click();
  EXPECT_NE(st.state.Etat_Demande, kBaseline);
  EXPECT_FALSE(st.param.Command1.enabled);
  st.bus.Check3.checked = false;  // nor does the run change its kind or lose its stop button
  st.control.Check3_Click();
  EXPECT_EQ(st.bus.Adr_Status_Cde.caption, "ARRÊT MESURES");
  ASSERT_TRUE(st.rt.runUntil(
      [&] { return st.bus.Current_Operation_Lbl.caption == "Analyse chambre Terminée."; },
      600'000));

  EXPECT_EQ(st.state.points[1].Nb_Temp, 11);
  EXPECT_EQ(st.state.points[1].Adr_Temperature, 25 * 4 / 5);  // the lost reading counts as 0
  EXPECT_EQ(st.state.points[2].Adr_Taux, kNoVerdict);
  EXPECT_EQ(st.state.points[3].Debut_Fenetre, 1);  // the three refused reads were not counted
  EXPECT_EQ(st.state.points[3].Adr_Taux, 25);
  EXPECT_EQ(st.state.points[4].Adr_Verdict, "Remplacement à prévoir");
  EXPECT_EQ(st.state.points[4].Adr_Temperature, 25);
  ASSERT_TRUE(st.stopCycle());
  EXPECT_TRUE(st.param.Command1.enabled);
}

// The baseline of one detector: 45 readings, the ten last judged.
TEST(Baseline, LevelStabilityAndPercentage) {
  struct Case {
    std::vector<std::uint8_t> readings;  // the last one repeats
    std::string conformity;
    const char* percent;
    int gauge;
    const char* note;
  };
  auto then = [](std::uint8_t first, std::vector<std::uint8_t> last) {
    std::vector<std::uint8_t> readings(35, first);
    readings.insert(readings.end(), last.begin(), last.end());
    return readings;
  };
  const std::string ok = "Acquisition niveau de base conforme ";
  const std::string bad = "Niveau de base Non Conforme! ";
  const Case cases[] = {
      {then(30, {20, 31, 25}), bad + "(valeur instable)", "0 %", 0, ""},
      // A mean of 80 and a spread of 10 are both still conforming.
      {then(90, {75, 85, 80}), ok + "(Val.moyenne= 80 Val.maxi= 85 Val.mini= 75)", "50 %", 750, ""},
      {{81}, bad + "(Val.moyenne= 81 Val.maxi= 81 Val.mini= 81)", "51 %", 765, ""},
      {{0},
       bad + "(Val.moyenne= 0 Val.maxi= 0 Val.mini= 0)",
       "100 %",
       1500,
       "Valeur de chambre à 0."},
      {{20},
       ok + "(Val.moyenne= 20 Val.maxi= 20 Val.mini= 20)",
       "100 %",
       1500,
       "Valeur de chambre trop basse."},
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
    st.paramControl.Command1_Click();
    ASSERT_TRUE(st.rt.runUntil([&] { return st.state.Etat_Demande == kNone; }, 600'000));

    const screens::ParamWindow& w = st.param;
    EXPECT_TRUE(w.P_Chambre.visible);
    EXPECT_EQ(w.Label5.caption, c.conformity);
    EXPECT_EQ(w.Label6.caption, c.percent);
    EXPECT_EQ(w.Label8.caption, c.note);
    EXPECT_EQ(w.Shape1.width, c.gauge);
    EXPECT_EQ(w.Picture5.left, 130 * 15);  // the alarm threshold on a 3840-twip scale
    EXPECT_EQ(w.Picture5.width, 20 * 15);
    EXPECT_EQ(w.Label3_Left, 150 * 15);
  }
}

}  // namespace
}  // namespace korvane::engine::testing
