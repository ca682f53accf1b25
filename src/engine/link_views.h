#pragma once
// What the frame layer reports, shown on the bus window and the measures window:
//
//   the send and receive lights     lit by each byte sent and each port notification, out
//                                   75 ms later (their timers run only while lit, so an idle
//                                   tool has none waking it)
//   the link frame                  "Deconnecté" on yellow while the port (re)opens; a port
//                                   that will not open or went away says why in the
//                                   "Erreur Port Com" box and in the frame's tooltip
//   the slow adapter warning        "Adaptateur lent : NN ms par octet" under the link frame
//                                   while the median of the last echoes' round trips is
//                                   above 5 ms (a USB adapter holding bytes until its latency
//                                   timer runs out), with how to set the timer in its tooltip
//   the rearm                       "Rearmement...Patienter..." over the current operation
//   the traced frames ("debug2")    one line per frame and per failure in the measures window
#include <array>
#include <memory>
#include <string>

#include "link/link_observer.h"
#include "runtime/runtime.h"
#include "screens/bus_window.h"
#include "screens/dialogs.h"
#include "screens/measures_window.h"

namespace korvane::engine {

inline constexpr int kIndicatorMs = 75;  // how long the send and receive lights stay lit
inline constexpr double kSlowEchoMs = 5;
inline constexpr std::size_t kEchoSamples = 9;

// The reason and what to do, in French, for the port error box and the link frame's tooltip.
std::string portFailureText(int number, const link::PortFailure& why);

// The link frame's look while no box answers: "Deconnecté" on yellow, no version.
void showLinkDown(screens::BusWindow& bus);

class LinkViews final : public link::LinkObserver {
 public:
  LinkViews(runtime::Runtime& runtime, screens::BusWindow& bus, screens::MeasuresWindow& measures,
            screens::Dialogs& dialogs);

  void portOpening() override;
  void portOpened() override;
  void portFailed(int number, const link::PortFailure& why) override;
  void portLost(const link::PortFailure& why) override;
  void byteSent() override;
  void portEvent() override;
  void echoed(double ms) override;
  void rearming(bool started) override;
  void frameTraced(std::uint8_t p1, std::uint8_t p2, std::uint8_t p3, bool commande,
                   bool longAnswer, double count) override;
  void frameFailedTraced(double count) override;

 private:
  screens::BusWindow& bus_;
  screens::MeasuresWindow& measures_;
  screens::Dialogs& dialogs_;
  std::unique_ptr<runtime::Timer> Send_Timer;
  std::unique_ptr<runtime::Timer> Receive_Timer;
  std::string operationBeforeRearm_;
  std::array<double, kEchoSamples> echoes_{};
  std::size_t echoCount_ = 0;  // samples taken since the port opened, the last kEchoSamples kept
};

}  // namespace korvane::engine
