// The chamber analysis: each optical detector's chamber is read once per pass until ten
// readings after it settled can be averaged; the average, as a share of the way from the
// clean value to the alarm threshold, gives the verdict. Heat elements get ten temperature
// readings. Also the baseline acquisition of one detector (state 11).
#include <algorithm>
#include <cmath>

#include "engine/bus_engine.h"
#include "screens/number_format.h"

namespace korvane::engine {

namespace colors = screens::colors;
using screens::formatPattern;

namespace {
constexpr std::int32_t kNotReady = 5;  // the chamber has not settled yet
constexpr int kWindow = 10;            // readings averaged

bool chamberJudged(const Point& pt) {
  return !pt.Adr_Optique || (pt.Fin_Fenetre >= 1 && pt.Nb_Mesures >= pt.Fin_Fenetre) ||
         pt.Nb_Mesures >= kMaxChamberReadings;
}

bool temperatureJudged(const Point& pt) {
  return !pt.Adr_Thermo || pt.Nb_Temp > kTemperatureReadings;
}

}  // namespace

// One analysis step for point p. Returns false when the step should go straight to the next
// point without the bus measures (p is finished, another point is not).
bool BusEngine::analysisStep(int p) {
  Point& pt = s_.points[p];
  if (pt.Adr_Thermo && pt.Nb_Temp < kTemperatureReadings) {
    readTemperature(p);
  } else if (pt.Nb_Temp == kTemperatureReadings) {
    pt.Nb_Temp = kTemperatureReadings + 1;
    // Readings 6 to 10 (slots 5 to 9; slot 10 is never written).
    std::int32_t sum = 0;
    for (int n = 5; n <= 10; ++n)
      sum += pt.Mesure_Temp[static_cast<std::size_t>(n)];
    pt.Adr_Temperature = static_cast<std::int16_t>(sum / 5);
    // A multi-sensor detector has its ten temperatures before its chamber settles: it is
    // complete only once both are judged.
    pt.Analyse_Faite = chamberJudged(pt);
  }
  if (!pt.Adr_Optique) return true;

  if (chamberJudged(pt)) {
    // Only points with something to analyse can ever be complete: the modules and the like
    // must not keep the run from saying it is done.
    int first = 0;
    for (int i = 1; i <= s_.Nb_Trouve && first == 0; ++i) {
      const Point& other = s_.points[i];
      if ((other.Adr_Optique || other.Adr_Thermo) && !other.Analyse_Faite) first = i;
    }
    if (first == 0) {
      v_.bus.Current_Operation_Lbl.caption = "Analyse chambre Terminée.";
      return true;
    }
    if (first != p) return false;
    if (pt.Nb_Mesures >= kMaxChamberReadings) {
      noVerdict(p);
      return true;
    }
  }
  chamberReading(p);
  return true;
}

void BusEngine::readTemperature(int p) {
  Point& pt = s_.points[p];
  if (com_.Envoi_Trame(link::reg::kTemperature, static_cast<std::uint8_t>(p), 0, false, false)) {
    const int raw = com_.rx(1);
    pt.Mesure_Temp[static_cast<std::size_t>(pt.Nb_Temp)] = raw < 21 ? 0 : raw - 20;
    if (s_.Mode_Debug) {
      v_.measures.List1.add("Détecteur : " + std::to_string(p) + " / Température : " +
                            std::to_string(pt.Nb_Temp + 1) + " :> " + std::to_string(raw - 20));
    }
  }
  // A failed reading still counts as one of the ten.
  pt.Nb_Temp += 1;
}

void BusEngine::chamberReading(int p) {
  Point& pt = s_.points[p];
  std::uint8_t value = 0;
  if (!readRegister(link::reg::kChamber, static_cast<std::uint8_t>(p), value)) return;
  const int n = ++pt.Nb_Mesures;
  pt.Mesure_Chambre[static_cast<std::size_t>(n)] = value;
  if (s_.Mode_Debug) {
    v_.measures.List1.add("Détecteur : " + std::to_string(p) + " / Mesure : " + std::to_string(n) +
                          " :> " + std::to_string(value));
  }
  // The first settled reading opens the window: the ten after it are averaged.
  if (n < pt.Debut_Fenetre && value != kNotReady && pt.Fin_Fenetre == 0) {
    pt.Debut_Fenetre = static_cast<std::int16_t>(n);
    pt.Fin_Fenetre = static_cast<std::int16_t>(n + kWindow);
  }
  if (pt.Fin_Fenetre > 0) {
    v_.bus.Current_Operation_Lbl.caption =
        "Analyse chambre en cours... -> Point : " + std::to_string(p) +
        " -> Analyse : " + formatPattern(n * 100.0 / pt.Fin_Fenetre, "00.0") + " %";
  }
  if (n == pt.Fin_Fenetre) {
    evaluate(p);
  } else if (n >= kMaxChamberReadings) {
    noVerdict(p);  // never settled: nothing to judge
  }
}

void BusEngine::evaluate(int p) {
  Point& pt = s_.points[p];
  // Only a window of ten readings is an average this analysis knows how to judge.
  if (pt.Fin_Fenetre - pt.Debut_Fenetre != kWindow) {
    noVerdict(p);
    return;
  }
  std::int64_t sum = 0;
  for (int k = pt.Debut_Fenetre + 1; k <= pt.Fin_Fenetre; ++k)
    sum += pt.Mesure_Chambre[static_cast<std::size_t>(k)];
  const int m = static_cast<int>(sum / (pt.Fin_Fenetre - pt.Debut_Fenetre));
  if (s_.Mode_Debug) {
    v_.measures.List1.add("Valeur Moyenne Det. " + std::to_string(p) + " -> " + std::to_string(m));
  }
  const int i = pt.Adr_Val_Initiale;
  const int alarm = pt.Adr_Seuil_Alarme;
  pt.Adr_Moyenne = static_cast<std::int16_t>(m);

  double t = 0;
  if (m >= i) {
    // A threshold at or below the clean value leaves no way to travel: the references read
    // are wrong, and a percentage from them (0 %, "Détecteur OK" for a chamber past its
    // threshold) would pass a detector that may be anything.
    if (alarm <= i) {
      v_.dialogs.messageBox("Problème sur les valeurs récupérées\n" + std::to_string(m) +
                                "\nAdresse point :" + std::to_string(p) + "\n" + std::to_string(i),
                            "Erreur", screens::Icon::kCritical);
      // Without a span to measure against, there is no verdict to give.
      noVerdict(p);
      return;
    }
    t = (m - i) * 100.0 / (alarm - i);
  } else {
    // Below the clean value: a little is drift of no concern, far below is a fault.
    t = (m == 0 || m < i - 6) ? 100 : 0;
  }
  t = std::clamp(t, 0.0, 100.0);
  pt.Adr_Taux = static_cast<std::int16_t>(screens::roundHalfEven(t));
  pt.Adr_Taux_Exact = t;

  screens::Label& label = v_.bus.etatChambre(p);
  label.caption = screens::formatDefault(t) + " %";
  label.visible = true;
  if (t <= 20) {
    label.backColor = colors::kGreen;
    pt.Adr_Verdict = "Détecteur OK";
  } else if (t <= 70) {
    label.backColor = colors::kOrange;
    pt.Adr_Verdict = "Remplacement à prévoir";
  } else {
    label.backColor = colors::kRed;
    pt.Adr_Verdict = "Détecteur à remplacer";
  }
  runtime_.processPending();
  pt.Analyse_Faite = temperatureJudged(pt);
}

// A detector the run could not judge: complete, so the run goes on, but with no percentage
// (negative: the reports draw no bar) and "???" under its box.
void BusEngine::noVerdict(int p) {
  Point& pt = s_.points[p];
  pt.Adr_Taux = kNoVerdict;
  pt.Adr_Taux_Exact = kNoVerdict;
  pt.Adr_Verdict.clear();
  screens::Label& label = v_.bus.etatChambre(p);
  label.caption = "???";
  label.visible = true;
  pt.Analyse_Faite = temperatureJudged(pt);
}

// State 11: the rest level of point Adr_Cde over 45 readings, the last ten of them kept, judged
// for level and stability and placed against the point's thresholds.
void BusEngine::baseline() {
  s_.Etat_Bus = kLinkCheck;
  screens::ParamWindow& w = v_.param;
  const std::uint8_t a = s_.Adr_Cde;
  const int sd = s_.Seuil_Defaut;
  const int sa = s_.Seuil_Alarme;
  const int vi = s_.Val_Initiale;

  w.P_Chambre.visible = true;
  w.Label5.visible = true;
  const int scale = w.Picture4.width;
  auto at = [scale](int v) { return v * scale / 256; };
  w.Picture5.left = at(sa);
  if (sd > sa) w.Picture5.width = at(sd - sa);
  w.Label4_Left = w.Picture5.left;
  w.Label3_Left = w.Picture5.left + w.Picture5.width;

  w.Label5.caption = "Mise en route Acquisition, patientez SVP...";
  // The acquisition keeps its own window of the ten last readings: the point's analysis
  // window (Debut_Fenetre, Fin_Fenetre) belongs to the measurement run and is left alone.
  w.Label5.caption = "Acquisition niveau de base";

  constexpr int kReadings = 45;
  constexpr int kKeptFrom = kReadings - kWindow + 1;  // readings 36 to 45
  int low = 256;
  int high = 0;
  std::int64_t sum = 0;
  for (int r = 1; r <= kReadings; ++r) {
    std::uint8_t value = 0;
    if (!readRegister(link::reg::kChamber, a, value)) return;
    s_.Niveau_Chambre = value;
    w.Label5.caption = "Acquisition niveau de base (" + formatPattern(value, "000") + ")\n" +
                       std::to_string(r * 100 / kReadings) + " %";
    if (r >= kKeptFrom) {
      sum += value;
      low = std::min<int>(low, value);
      high = std::max<int>(high, value);
      w.Picture6.left = at(low);
      if (high > low) w.Picture6.width = at(high - low);
    }
  }
  const int m = static_cast<int>(sum / kWindow);

  using screens::formatStr;
  if (m > 80 || m == 0) {
    w.Label5.caption = "Niveau de base Non Conforme! (Val.moyenne=" + formatStr(m) +
                       " Val.maxi=" + formatStr(high) + " Val.mini=" + formatStr(low) + ")";
  } else if (high - low > 10) {
    w.Label5.caption = "Niveau de base Non Conforme! (valeur instable)";
  } else {
    w.Label5.caption = "Acquisition niveau de base conforme (Val.moyenne=" + formatStr(m) +
                       " Val.maxi=" + formatStr(high) + " Val.mini=" + formatStr(low) + ")";
  }

  double percent = 0;
  if (m == 0) {
    percent = 100;
    w.Label8.caption = "Valeur de chambre à 0.";
  } else if (m >= vi) {
    if (sa == vi) {
      // No span between the clean value and the alarm threshold: no percentage to show.
      w.Label6.caption.clear();
      w.Shape1.width = 0;
      return;
    }
    percent = (m - vi) * 100.0 / (sa - vi);
  } else if (m < vi - 6) {
    percent = 100;
    w.Label8.caption = "Valeur de chambre trop basse.";
  }
  percent = std::clamp(percent, 0.0, 100.0);
  w.Label6.caption = screens::formatDefault(percent) + " %";
  const int k = static_cast<int>(screens::roundHalfEven(percent));
  w.Shape1.width = k > 0 ? k * w.Picture3.width / 100 : 0;
}

}  // namespace korvane::engine
