#pragma once
// The frame layer: everything the tool says to the interface box goes through here.
//
//   Ouvrir_Port        open the configured port at "9600,N,8,1" and start the engine's tick
//   Envoi_Octet        one byte out, wait for a given number of bytes back (2 s time-out)
//   Envoi_Octet_Echo   one byte out, one byte back that must equal the expected one
//   Envoi_Trame        a four-byte loop frame, each of the first three bytes confirmed by its
//                      echo, then the status byte and one or two data bytes into Rx_Buf
//   Tempo              a pause that keeps the window alive
//   Rearmement         the loop rearm: 0x04, three seconds, 0x03
//   abandonExchanges   the bus window closes: the exchange under way gives up at once and
//                      none starts, until resumeExchanges or the port opens again
//   closePort          lets the port go, a lost one too, and stops trying to reopen it (the
//                      next opening takes exchanges back)
//
// A port whose device went away (a USB adapter pulled out) is reopened by itself, once a
// second and without a word, until the device is back; the engine's link check then finds
// the box again as it does after the box alone was unplugged.
//
// An exchange that failed at once (a wrong echo, an answer cut short) may leave the box
// holding half a frame, and the box would take the next bytes for the rest of it: a rearm
// start as a frame's register, a frame's header as the last one's data. The next exchange
// first lets the box drop it. One that failed by its time-out needs no such pause: the line
// has been quiet for two seconds.
//
// What happens on the line (bytes sent and received, the port opening, failing or lost, the
// echo's round trip, traced frames) goes to a LinkObserver, which turns it into whatever shows
// it: this layer knows nothing of windows.
//
// Every wait lets the event loop run (runtime::Runtime::processUntil), so clicks, timer ticks
// and the port's own notifications are handled meanwhile. There is no checksum in the
// protocol: the echoes and the status byte are all the integrity there is, and every byte from
// the line is treated as untrusted (Rx_Buf holds exactly what arrived; rx() reads it safely).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/link_observer.h"
#include "link/loop_protocol.h"
#include "link/serial_port.h"
#include "runtime/runtime.h"

namespace korvane::link {

inline constexpr int kAnswerTimeoutMs = 2000;
inline constexpr int kRearmPauseMs = 3000;
inline constexpr int kReopenMs = 1000;
// The box drops an exchange it holds half of after half a second without a byte; this long,
// and it surely has.
inline constexpr int kResyncMs = 600;
inline constexpr const char* kPortSettings = "9600,N,8,1";

class ComLink {
 public:
  // `timerTache` is the engine's tick: opening the port starts it, pauses hold it.
  ComLink(runtime::Runtime& runtime, SerialPort& port, runtime::Timer& timerTache,
          LinkObserver& observer);
  ~ComLink();
  ComLink(const ComLink&) = delete;
  ComLink& operator=(const ComLink&) = delete;

  // (Re)opens port Port_Com, drains it and starts the engine's tick at 100 ms. On failure the
  // tick stays off and the observer hears why.
  bool Ouvrir_Port();

  bool Envoi_Octet(std::uint8_t byte, std::uint8_t answerLength);
  bool Envoi_Octet_Echo(std::uint8_t byte, std::uint8_t expected);
  bool Envoi_Trame(std::uint8_t p1, std::uint8_t p2, std::uint8_t p3, bool commande,
                   bool longAnswer);
  void Tempo(int ms);
  bool Rearmement();

  void abandonExchanges();
  void resumeExchanges() { abandoned_ = false; }
  void closePort();

  // Byte i of the last answer, or 0 when fewer bytes arrived: callers can never read past
  // what came from the line.
  std::uint8_t rx(std::size_t i) const { return i < Rx_Buf.size() ? Rx_Buf[i] : 0; }

  // Settings (from the profile file).
  int Port_Com = 1;
  std::int16_t Tempo_Bus = 50;
  bool Mode_Debug2 = false;

  // The last answer, and the frame counters since start or the last reset.
  std::vector<std::uint8_t> Rx_Buf;
  double Nb_Com = 0;
  double Nb_Erreur_Com = 0;
  // Milliseconds asked of Tempo since start: tells pauses from line time when measuring.
  std::int64_t pausedMs = 0;

 private:
  void drain();
  void onPortEvent();
  void frameFailed();
  void watchForLoss();
  void tryReopen();

  runtime::Runtime& runtime_;
  SerialPort& port_;
  runtime::Timer& timerTache_;
  LinkObserver& observer_;

  std::unique_ptr<runtime::Timer> Timer_Time_Out;
  std::unique_ptr<runtime::Timer> Tempop;
  std::unique_ptr<runtime::Timer> reopenTimer_;

  bool Reception = false;
  bool Fin_Time_Out = false;
  bool Fin_Tempo = false;
  bool exchanging_ = false;
  bool abandoned_ = false;
  bool resync_ = false;  // the last exchange failed at once: the box may hold half of it
};

}  // namespace korvane::link
