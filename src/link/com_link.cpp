#include "link/com_link.h"

#include <utility>

namespace korvane::link {

ComLink::ComLink(runtime::Runtime& runtime, SerialPort& port, runtime::Timer& timerTache,
                 LinkObserver& observer)
    : runtime_(runtime),
      port_(port),
      timerTache_(timerTache),
      observer_(observer),
      Timer_Time_Out(runtime.createTimer()),
      Tempop(runtime.createTimer()),
      reopenTimer_(runtime.createTimer()) {
  Timer_Time_Out->setInterval(kAnswerTimeoutMs);
  Timer_Time_Out->setOnTick([this] { Fin_Time_Out = true; });
  Tempop->setOnTick([this] { Fin_Tempo = true; });

  reopenTimer_->setInterval(kReopenMs);
  reopenTimer_->setOnTick([this] { tryReopen(); });

  port_.setOnEvent([this] { onPortEvent(); });
}

ComLink::~ComLink() {
  port_.setOnEvent(nullptr);
}

void ComLink::onPortEvent() {
  // Any event of the port counts as reception: the waiting exchange then looks at what is
  // actually in the buffer.
  observer_.portEvent();
  Reception = true;
  watchForLoss();
}

void ComLink::watchForLoss() {
  if (!port_.lost() || reopenTimer_->isEnabled()) return;
  observer_.portLost(port_.failure());
  reopenTimer_->setEnabled(true);
}

// Runs only while the port is lost; the tool closing the port itself ends it.
void ComLink::tryReopen() {
  if (!port_.lost()) {
    reopenTimer_->setEnabled(false);
    return;
  }
  if (!port_.open(Port_Com, kPortSettings)) return;
  reopenTimer_->setEnabled(false);
  port_.setReceiveThreshold(0);
  drain();
  observer_.portOpened();
}

void ComLink::drain() {
  if (port_.isOpen()) port_.discardInput();
}

bool ComLink::Ouvrir_Port() {
  observer_.portOpening();
  reopenTimer_->setEnabled(false);
  abandoned_ = false;
  if (port_.isOpen()) port_.close();
  if (!port_.open(Port_Com, kPortSettings)) {
    timerTache_.setEnabled(false);
    observer_.portFailed(Port_Com, port_.failure());
    return false;
  }
  port_.setReceiveThreshold(0);
  drain();
  observer_.portOpened();
  timerTache_.setInterval(100);
  timerTache_.setEnabled(true);
  return true;
}

bool ComLink::Envoi_Octet(std::uint8_t byte, std::uint8_t answerLength) {
  // One exchange at a time on the line: a second one started from inside this one's wait
  // would steal its answer.
  if (exchanging_) return false;
  exchanging_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{exchanging_};

  Rx_Buf.clear();
  if (abandoned_) return false;
  if (!port_.isOpen()) {
    watchForLoss();
    return false;
  }
  if (std::exchange(resync_, false)) {
    Tempo(kResyncMs);
    if (abandoned_ || !port_.isOpen()) return false;
  }
  drain();
  port_.setReceiveThreshold(answerLength);

  observer_.byteSent();
  const std::uint8_t out[1] = {byte};
  if (!port_.write(out)) return false;
  const double sentAt = runtime_.nowMs();

  Fin_Time_Out = false;
  Reception = false;
  Timer_Time_Out->setEnabled(true);
  const bool waited =
      runtime_.processUntil([this] { return Fin_Time_Out || Reception || abandoned_; });
  Timer_Time_Out->setEnabled(false);

  // An answer that is all there counts, even if the time-out also ran out before this wait
  // got control back (a handler nested in the wait held the loop that long).
  if (!waited || abandoned_ || !port_.isOpen()) return false;
  if (port_.bytesWaiting() != 0) Rx_Buf = port_.readAll();
  // A notification can come from a port error before the whole answer is in: an answer
  // shorter than asked for is a failed exchange, never a partly read one.
  if (Rx_Buf.size() < answerLength) {
    Rx_Buf.clear();
    resync_ = !Fin_Time_Out;
    return false;
  }
  if (answerLength == 1) observer_.echoed(runtime_.nowMs() - sentAt);
  return true;
}

bool ComLink::Envoi_Octet_Echo(std::uint8_t byte, std::uint8_t expected) {
  if (!Envoi_Octet(byte, 1)) return false;
  if (Rx_Buf[0] == expected) return true;
  resync_ = true;
  return false;
}

bool ComLink::Envoi_Trame(std::uint8_t p1, std::uint8_t p2, std::uint8_t p3, bool commande,
                          bool longAnswer) {
  Nb_Com += 1;
  if (Mode_Debug2) observer_.frameTraced(p1, p2, p3, commande, longAnswer, Nb_Com);
  Tempo(Tempo_Bus);

  const std::uint8_t header = frameHeader(commande, longAnswer);
  const bool ok = Envoi_Octet_Echo(header, header) && Envoi_Octet_Echo(p1, p1) &&
                  Envoi_Octet_Echo(p2, p2) && Envoi_Octet(p3, longAnswer ? 3 : 2);
  if (!ok) frameFailed();
  return ok;
}

void ComLink::frameFailed() {
  Nb_Erreur_Com += 1;
  if (Mode_Debug2) observer_.frameFailedTraced(Nb_Erreur_Com);
}

void ComLink::Tempo(int ms) {
  pausedMs += ms;
  timerTache_.setEnabled(false);
  Tempop->setInterval(ms);
  Tempop->setEnabled(true);
  Fin_Tempo = false;
  runtime_.processUntil([this] { return Fin_Tempo || abandoned_; });
  Tempop->setEnabled(false);
  timerTache_.setEnabled(true);
}

bool ComLink::Rearmement() {
  timerTache_.setEnabled(false);
  observer_.rearming(true);

  bool ok = Envoi_Octet_Echo(kCmdRearmStart, kCmdRearmStart);
  if (ok) {
    Tempo(kRearmPauseMs);
    ok = Envoi_Octet_Echo(kCmdRearmEnd, kCmdRearmEnd);
  }

  observer_.rearming(false);
  timerTache_.setEnabled(true);
  return ok;
}

// The window is going: what it waits for no longer matters, and the waits on the stack must
// unwind before its last words to the loop (the LEDs it lit) can be said.
void ComLink::abandonExchanges() {
  abandoned_ = true;
}

void ComLink::closePort() {
  reopenTimer_->setEnabled(false);
  if (port_.isOpen() || port_.lost()) port_.close();
}

}  // namespace korvane::link
