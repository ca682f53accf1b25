#include "engine/link_views.h"

#include <algorithm>
#include <cmath>

#include "screens/number_format.h"

namespace korvane::engine {

namespace {

const char* vbBool(bool value) {
  return value ? "True" : "False";
}

constexpr const char* kChooseThePort = "Choisissez le port par Utilitaires > Port Série.";

constexpr const char* kSlowAdapterHelp =
    "L'adaptateur USB garde ce qu'il reçoit jusqu'à la fin de son délai de latence "
    "(16 ms d'origine), et chaque octet attend son écho : une recherche dure alors bien plus "
    "longtemps.\n"
    "Windows : Gestionnaire de périphériques > Ports (COM et LPT) > le port de l'adaptateur > "
    "Propriétés > Paramètres du port > Avancé > Délai de latence (ms) : 1. Débranchez et "
    "rebranchez l'adaptateur.\n"
    "Linux : echo 1 | sudo tee /sys/bus/usb-serial/devices/ttyUSB0/latency_timer "
    "(le nom de l'adaptateur à la place de ttyUSB0).";

}  // namespace

std::string portFailureText(int number, const link::PortFailure& why) {
  const std::string device =
      why.device.empty() ? "COM" + screens::formatPattern(number, "#") : why.device;
  switch (why.problem) {
    case link::PortProblem::kMissing: {
      std::string text = "Le périphérique " + device +
                         " n'existe pas : l'adaptateur n'est pas branché, ou il porte un autre "
                         "numéro.\n";
      if (why.present.empty()) {
        text += "Aucun port série n'est présent : branchez l'adaptateur USB.\n";
      } else {
        text += "Ports présents :";
        for (std::size_t i = 0; i < why.present.size(); ++i)
          text += (i == 0 ? " " : ", ") + why.present[i];
        text += ".\n";
      }
      return text + kChooseThePort;
    }
    case link::PortProblem::kDenied:
      return "Accès refusé à " + device +
             " : votre compte n'est pas dans le groupe dialout.\n"
             "Tapez dans un terminal : sudo usermod -aG dialout $USER\n"
             "puis fermez la session et rouvrez-la.";
    case link::PortProblem::kBusy:
      return device +
             " est déjà utilisé par un autre programme (terminal série, autre outil de "
             "maintenance).\nFermez-le, puis rouvrez le port par Utilitaires > Port Série.";
    case link::PortProblem::kVanished:
      return "L'adaptateur " + device +
             " a été débranché.\nRebranchez-le : Korvane rouvre le port tout seul dès qu'il "
             "revient.";
    case link::PortProblem::kNone:
    case link::PortProblem::kOther:
      break;
  }
  return std::string("Vérifiez l'adaptateur et son câble.\n") + kChooseThePort;
}

void showLinkDown(screens::BusWindow& bus) {
  bus.Connection_Lbl.caption = "Deconnecté";
  bus.Emul_Frm.backColor = screens::colors::kYellow;
  bus.Version_Lbl.visible = false;
}

LinkViews::LinkViews(runtime::Runtime& runtime, screens::BusWindow& bus,
                     screens::MeasuresWindow& measures, screens::Dialogs& dialogs)
    : bus_(bus),
      measures_(measures),
      dialogs_(dialogs),
      Send_Timer(runtime.createTimer()),
      Receive_Timer(runtime.createTimer()) {
  for (const auto& pair : {std::pair{Send_Timer.get(), &screens::BusWindow::Send_Shp},
                           std::pair{Receive_Timer.get(), &screens::BusWindow::Receive_Shp}}) {
    runtime::Timer* timer = pair.first;
    screens::Shape screens::BusWindow::*light = pair.second;
    timer->setInterval(kIndicatorMs);
    timer->setOnTick([this, timer, light] {
      (bus_.*light).visible = false;
      timer->setEnabled(false);
    });
  }
}

void LinkViews::portOpening() {
  showLinkDown(bus_);
  // Another port, maybe another adapter: its round trips are still to be measured.
  echoCount_ = 0;
  bus_.Lent_Lbl.visible = false;
}

void LinkViews::portOpened() {
  bus_.Emul_Frm_Tip.clear();
}

void LinkViews::portFailed(int number, const link::PortFailure& why) {
  const std::string reason = portFailureText(number, why);
  bus_.Emul_Frm_Tip = reason;
  dialogs_.messageBox("Le port Com" + screens::formatPattern(number, "#") +
                          " n'existe pas ou n'est pas libre !\n\n" + reason,
                      "Erreur Port Com", screens::Icon::kExclamation);
}

void LinkViews::portLost(const link::PortFailure& why) {
  bus_.Emul_Frm_Tip = portFailureText(0, why);
}

void LinkViews::byteSent() {
  bus_.Send_Shp.visible = true;
  Send_Timer->setEnabled(true);
}

void LinkViews::portEvent() {
  bus_.Receive_Shp.visible = true;
  Receive_Timer->setEnabled(true);
}

void LinkViews::echoed(double ms) {
  echoes_[echoCount_ % kEchoSamples] = ms;
  ++echoCount_;
  // A few echoes say little: a busy moment of the PC is not a slow adapter.
  if (echoCount_ < kEchoSamples / 2 + 1) return;
  const std::size_t n = std::min(echoCount_, kEchoSamples);
  std::array<double, kEchoSamples> sorted = echoes_;
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(n / 2),
                   sorted.begin() + static_cast<std::ptrdiff_t>(n));
  const double median = sorted[n / 2];
  const bool slow = median > kSlowEchoMs;
  bus_.Lent_Lbl.visible = slow;
  if (slow) {
    bus_.Lent_Lbl.caption =
        "Adaptateur lent : " + std::to_string(std::lround(median)) + " ms par octet";
    bus_.Lent_Lbl_Tip = kSlowAdapterHelp;
  }
}

void LinkViews::rearming(bool started) {
  if (started) {
    operationBeforeRearm_ = bus_.Current_Operation_Lbl.caption;
    bus_.Current_Operation_Lbl.caption = "Rearmement...Patienter...";
  } else {
    bus_.Current_Operation_Lbl.caption = operationBeforeRearm_;
  }
}

void LinkViews::frameTraced(std::uint8_t p1, std::uint8_t p2, std::uint8_t p3, bool commande,
                            bool longAnswer, double count) {
  measures_.List1.add(std::to_string(p1) + " - " + std::to_string(p2) + " - " + std::to_string(p3) +
                      " - " + vbBool(commande) + " - " + vbBool(longAnswer));
  measures_.Label2.caption = "NB COM : " + screens::formatDefault(count);
}

void LinkViews::frameFailedTraced(double count) {
  measures_.List1.add("Erreur COM");
  measures_.Label3.caption = "NB ERREUR COM : " + screens::formatDefault(count);
}

}  // namespace korvane::engine
