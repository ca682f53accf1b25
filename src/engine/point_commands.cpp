// Commands to one point (LED, detection mode) and the point states of the supervision cycle.
#include "engine/bus_engine.h"

namespace korvane::engine {

namespace colors = screens::colors;

namespace {

constexpr std::uint8_t kKapreClass = 11;

}  // namespace

// State 6. The tool keeps at most one LED lit: lighting one first puts out the last one it lit,
// even when that one's switch-on failed. The supervision cycle's alarm LED goes first; else
// the command of the windows (Cde_Led at Adr_Led_Cde).
void BusEngine::ledCommand() {
  const bool forAlarm = s_.Adr_Led_Alarme != 0;
  const std::uint8_t target = forAlarm ? s_.Adr_Led_Alarme : s_.Adr_Led_Cde;
  s_.Adr_Led_Alarme = 0;
  if (forAlarm || s_.Cde_Led != 0) {
    if (s_.Adr_Led_Allumee != 0) {
      switchLed(s_.Adr_Led_Allumee, link::kLedOff);
      v_.bus.ledShp(s_.Adr_Led_Allumee).visible = false;
      com_.Tempo(100);
    }
    const LedAnswer on = switchLed(target, link::kLedOn);
    if (on == LedAnswer::kDone && !s_.Boucle_Mesures) v_.bus.ledShp(target).visible = true;
    s_.Adr_Led_Allumee = target;
  } else if (switchLed(target, link::kLedOff) == LedAnswer::kDone) {
    v_.bus.ledShp(target).visible = false;
    // Out already: the next switch-on need not put it out again.
    if (target == s_.Adr_Led_Allumee) s_.Adr_Led_Allumee = 0;
  }
  com_.Tempo(100);
  // Inside a cycle: back to it, through the measurement step the cycle had asked for.
  if (s_.Boucle_Mesures) {
    s_.Etat_Bus = s_.Etat_Suite != 0 ? kBusMeasures : kMeasureCycle;
  } else {
    s_.Etat_Bus = kLinkCheck;
  }
}

// Keeps ledsMaybeLit. An LED may be lit from the moment its switch-on is sent, whatever comes
// back: an answer spoiled on the line does not mean the point did not act. It is out once a
// switch-off is answered; a point that refuses it (nobody at that address, say) would refuse
// it again.
BusEngine::LedAnswer BusEngine::switchLed(std::uint8_t address, std::uint8_t value) {
  LedAnswer answer = LedAnswer::kLost;
  if (com_.Envoi_Trame(link::kCmdLed, address, value, true, false)) {
    answer = com_.rx(0) == 0 ? LedAnswer::kDone : LedAnswer::kRefused;
  }
  if (!PointTable::isAddress(address)) return answer;
  if (value != link::kLedOff) {
    s_.ledsMaybeLit.set(address);
  } else if (answer != LedAnswer::kLost) {
    s_.ledsMaybeLit.reset(address);
  }
  return answer;
}

// Between steps: every LED the tool may have left lit goes out, lowest address first. A frame
// that does not come back ends it (the box is not answering); what is left stays known, for
// the next try.
void BusEngine::putLedsOut() {
  for (int a = 1; a <= kMaxAddresses; ++a) {
    if (!s_.ledsMaybeLit.test(static_cast<std::size_t>(a))) continue;
    if (switchLed(static_cast<std::uint8_t>(a), link::kLedOff) == LedAnswer::kLost) return;
    v_.bus.ledShp(a).visible = false;
    if (s_.Adr_Led_Allumee == a) s_.Adr_Led_Allumee = 0;
  }
}

// State 16: the new mode, its follow-up, then the parameters read again show what the point
// now reports.
void BusEngine::writeMode() {
  com_.Envoi_Trame(link::kCmdModeWrite, s_.Adr_Cde, s_.Mode_Detect, true, false);
  com_.Tempo(100);
  com_.Envoi_Trame(link::kCmdModeFollowUp, s_.Adr_Cde, 0, true, false);
  com_.Tempo(100);
  s_.Etat_Bus = kReadParameters;
}

// The status mode of the cycle colours the box as a panel would. An alarm wins over a fault.
// Returns true for a point newly seen in alarm, whose LED the cycle then lights.
bool BusEngine::pointStatus(int p) {
  screens::Label& box = v_.bus.adrBox(p);
  const std::uint8_t address = static_cast<std::uint8_t>(p);
  if (!com_.Envoi_Trame(link::reg::kState, address, 0, false, false) || com_.rx(0) != 0) {
    box.backColor = colors::kYellow;
    return false;
  }
  const std::uint8_t state = com_.rx(1);
  if (state & 0x01) {
    box.backColor = colors::kRed;
    Point& point = s_.points[p];
    if (!point.Alarme_Vue) {
      point.Alarme_Vue = true;
      s_.Adr_Led_Alarme = address;
      return true;
    }
  } else if (state & 0x08) {
    box.backColor = colors::kOrange;
  } else {
    box.backColor = colors::kGreen;
  }
  return false;
}

// A KAPRE point reports its position 0 to 3, shown in the legend's colours.
void BusEngine::kapreStatus(int p) {
  static constexpr std::size_t kLegendOfPosition[4] = {7, 4, 5, 6};
  if (!com_.Envoi_Trame(link::reg::kPosition, static_cast<std::uint8_t>(p), 0, false, false) ||
      com_.rx(0) != 0) {
    return;
  }
  const std::uint8_t position = com_.rx(1);
  if (position < 4) {
    v_.bus.adrBox(p).backColor = v_.bus.Lgd_Shp[kLegendOfPosition[position]].fillColor;
  }
}

bool BusEngine::isKapre(int p) const {
  return s_.points[p].Adr_Type == kKapreClass;
}

}  // namespace korvane::engine
