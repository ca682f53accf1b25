// The frame layer against the simulated box, in virtual time at 9600-baud line timing.
#include "link/com_link.h"

#include <gtest/gtest.h>

#include <functional>

#include "engine/link_views.h"
#include "runtime/virtual_runtime.h"
#include "sim/loop_simulator.h"
#include "sim/simulated_port.h"

namespace korvane::link {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr double kByteMs = sim::SimulatedPort::kByteTimeUs / 1000.0;

class ComLinkTest : public ::testing::Test {
 protected:
  ComLinkTest() : box(sim::loopOf({19, 19, 19, 19, 7})), port(rt, box), tache(rt.createTimer()) {
    tache->setOnTick([this] { ++ticks; });
    com = std::make_unique<ComLink>(rt, port, *tache, views);
  }

  // Runs an exchange and returns how long it took on the line, in ms.
  template <typename F>
  double timed(F&& exchange) {
    const double start = rt.nowMs();
    exchange();
    return rt.nowMs() - start;
  }

  runtime::VirtualRuntime rt;
  sim::LoopSimulator box;
  sim::SimulatedPort port;
  std::unique_ptr<runtime::Timer> tache;
  int ticks = 0;
  screens::BusWindow bus;
  screens::MeasuresWindow measures;
  screens::RecordingDialogs dialogs;
  engine::LinkViews views{rt, bus, measures, dialogs};
  std::unique_ptr<ComLink> com;
};

// A port that will not open says why and what to do, in the box and the link frame's tooltip;
// the tick stays off and exchanges fail at once. None of them stops the next opening.
TEST_F(ComLinkTest, APortThatWillNotOpenSaysWhyAndTheNextOpeningStillWorks) {
  struct Case {
    const char* what;
    std::function<void()> spoil;
    int number;
    std::string says;
  };
  const std::string head = "n'existe pas ou n'est pas libre !\n\n";
  for (const Case& c : {
           Case{"missing", [] {}, 7,
                "Le port Com7 " + head +
                    "Le périphérique COM7 n'existe pas : l'adaptateur n'est pas branché, ou il "
                    "porte un autre numéro.\nPorts présents : COM1.\nChoisissez le port par "
                    "Utilitaires > Port Série."},
           Case{"denied", [&] { port.setDenied(true); }, 1,
                "Le port Com1 " + head +
                    "Accès refusé à COM1 : votre compte n'est pas dans le groupe dialout.\nTapez "
                    "dans un terminal : sudo usermod -aG dialout $USER\npuis fermez la session "
                    "et rouvrez-la."},
           Case{"busy", [&] { port.setHeldByAnotherProgram(true); }, 1,
                "Le port Com1 " + head +
                    "COM1 est déjà utilisé par un autre programme (terminal série, autre outil "
                    "de maintenance).\nFermez-le, puis rouvrez le port par Utilitaires > Port "
                    "Série."},
       }) {
    dialogs.shown.clear();
    c.spoil();
    com->Port_Com = c.number;
    EXPECT_FALSE(com->Ouvrir_Port()) << c.what;
    ASSERT_EQ(dialogs.shown.size(), 1u) << c.what;
    EXPECT_EQ(dialogs.shown[0].title, "Erreur Port Com");
    EXPECT_EQ(dialogs.shown[0].text, c.says);
    EXPECT_EQ("Le port Com" + std::to_string(c.number) + " " + head + bus.Emul_Frm_Tip, c.says);
    EXPECT_FALSE(tache->isEnabled());
    EXPECT_EQ(bus.Connection_Lbl.caption, "Deconnecté");
    EXPECT_EQ(timed([&] { EXPECT_FALSE(com->Envoi_Octet_Echo(0x01, 0x01)); }), 0);

    port.setDenied(false);
    port.setHeldByAnotherProgram(false);
    com->Port_Com = 1;
    port.injectFromLine({0x55});  // stale: the opening drains it
    rt.runForMs(5);
    EXPECT_TRUE(com->Ouvrir_Port()) << c.what;
    EXPECT_EQ(port.openedSettings(), "9600,N,8,1");
    EXPECT_EQ(port.bytesWaiting(), 0u);
    EXPECT_TRUE(tache->isEnabled());
    EXPECT_TRUE(bus.Emul_Frm_Tip.empty());
    EXPECT_TRUE(com->Envoi_Octet_Echo(0x01, 0x01));
  }

  // Pulled out while open: the tooltip says so, and it clears once the adapter is back.
  port.pullAdapter();
  EXPECT_FALSE(com->Envoi_Octet_Echo(0x01, 0x01));
  EXPECT_EQ(bus.Emul_Frm_Tip,
            "L'adaptateur COM1 a été débranché.\nRebranchez-le : Korvane rouvre le port tout "
            "seul dès qu'il revient.");
  port.plugAdapterBack();
  rt.runForMs(1100);
  EXPECT_TRUE(port.isOpen());
  EXPECT_TRUE(bus.Emul_Frm_Tip.empty());
}

// An adapter that holds the box's bytes until its latency timer runs out: the bus window says
// so once the echoes' median is above 5 ms, and no longer once they are quick again.
TEST_F(ComLinkTest, ASlowAdapterIsShownWhileItsEchoesAreSlow) {
  ASSERT_TRUE(com->Ouvrir_Port());
  auto echoes = [&](int n) {
    for (int i = 0; i < n; ++i)
      ASSERT_TRUE(com->Envoi_Octet_Echo(0x01, 0x01));
  };
  echoes(20);
  EXPECT_FALSE(bus.Lent_Lbl.visible);  // about 2 ms: a byte out and its echo back

  port.setLine(
      [&](std::uint8_t byte) { port.injectFromLine(box.receive(byte, rt.nowUs()), 16'000); });
  echoes(4);
  EXPECT_FALSE(bus.Lent_Lbl.visible);  // four slow ones of the last nine: not yet
  echoes(1);
  EXPECT_TRUE(bus.Lent_Lbl.visible);
  EXPECT_EQ(bus.Lent_Lbl.caption, "Adaptateur lent : 18 ms par octet");
  EXPECT_NE(bus.Lent_Lbl_Tip.find("Délai de latence (ms) : 1"), std::string::npos);

  port.setLine(nullptr);
  echoes(5);
  EXPECT_FALSE(bus.Lent_Lbl.visible);
}

// Reading the type of point 5, byte for byte as on the line; stale bytes before it and extra
// bytes after an answer never reach an exchange.
TEST_F(ComLinkTest, AFrameGoesByteForByteAsOnTheLine) {
  ASSERT_TRUE(com->Ouvrir_Port());
  const double ms = timed([&] { EXPECT_TRUE(com->Envoi_Trame(0x13, 5, 0, false, false)); });
  EXPECT_EQ(port.sent(), (Bytes{0x40, 0x13, 0x05, 0x00}));
  EXPECT_EQ(com->Rx_Buf, (Bytes{0x00, 0x07}));
  // The 50 ms pause, three echoed bytes (out and back) and P3 with its two-byte answer.
  EXPECT_NEAR(ms, 50 + 3 * 2 * kByteMs + 3 * kByteMs, 0.01);

  port.injectFromLine({0x01, 0x99, 0x00});
  rt.runForMs(10);
  EXPECT_TRUE(com->Envoi_Octet_Echo(0x02 /*version*/, 0x31));
  port.injectFromLine({0xEE, 0xEE, 0xEE});
  rt.runForMs(10);
  EXPECT_TRUE(com->Envoi_Trame(0x13, 5, 0, false, false));
  EXPECT_EQ(com->Rx_Buf, (Bytes{0x00, 0x07}));
}

// A silent interface fails after two seconds, and only frames count as errors; a wrong echo
// stops the frame before P3 is sent; a short answer is a failure and nothing past what
// arrived is read. After a failure that came at once, the box still holds half a frame: the
// next exchange lets it drop it first, or the box would take its bytes for the rest.
TEST_F(ComLinkTest, FailedExchanges) {
  ASSERT_TRUE(com->Ouvrir_Port());
  box.setPlugged(false);
  double ms = timed([&] { EXPECT_FALSE(com->Envoi_Octet_Echo(0x01, 0x01)); });
  EXPECT_NEAR(ms, 2000, 0.01);
  EXPECT_EQ(com->Nb_Erreur_Com, 0);
  ms = timed([&] { EXPECT_FALSE(com->Envoi_Trame(0x13, 5, 0, false, false)); });
  EXPECT_NEAR(ms, 50 + 2000, 0.01);  // gives up at the header's echo
  EXPECT_EQ(port.sent(), (Bytes{0x01, 0x40}));
  EXPECT_EQ(com->Nb_Erreur_Com, 1);
  box.setPlugged(true);
  EXPECT_TRUE(com->Envoi_Octet_Echo(0x01, 0x01));

  port.clearSent();
  box.corruptEchoes(1, 0x10);  // the header comes back as 0x50
  EXPECT_FALSE(com->Envoi_Trame(0x13, 5, 0, false, false));
  EXPECT_EQ(port.sent(), (Bytes{0x40}));
  EXPECT_EQ(com->Nb_Erreur_Com, 2);

  box.shortenNextAnswer();
  ms = timed([&] { EXPECT_FALSE(com->Envoi_Trame(0x13, 5, 0, false, false)); });
  EXPECT_GE(ms, kResyncMs + 50);
  EXPECT_TRUE(com->Rx_Buf.empty());
  EXPECT_EQ(com->rx(1), 0);
  EXPECT_EQ(com->Nb_Erreur_Com, 3);
  EXPECT_TRUE(com->Envoi_Trame(0x13, 5, 0, false, false));
  EXPECT_EQ(com->Rx_Buf, (Bytes{0x00, 0x07}));

  // A port event (a line error, say) while only the status byte is in: the exchange ends
  // at once, as a failure, without waiting out the time-out.
  box.shortenNextAnswer();
  int frame = 0;
  box.setLogger([&](const std::string&) {
    if (++frame == 1)
      rt.post(sim::SimulatedPort::kByteTimeUs + 10, [&] { port.raiseErrorEvent(); });
  });
  ms = timed([&] { EXPECT_FALSE(com->Envoi_Trame(0x13, 5, 0, false, false)); });
  EXPECT_LT(ms, 100);
  EXPECT_TRUE(com->Rx_Buf.empty());
}

// The rearm sends start, waits with the engine tick held, then sends the end.
TEST_F(ComLinkTest, Rearm) {
  ASSERT_TRUE(com->Ouvrir_Port());
  std::string shownDuringRearm;
  bool heldDuringPause = false;
  rt.post(1'000'000, [&] {
    shownDuringRearm = bus.Current_Operation_Lbl.caption;
    heldDuringPause = !tache->isEnabled();
  });
  EXPECT_TRUE(com->Rearmement());
  EXPECT_EQ(port.sent(), (Bytes{0x04, 0x03}));
  EXPECT_EQ(shownDuringRearm, "Rearmement...Patienter...");
  EXPECT_TRUE(heldDuringPause);
  EXPECT_EQ(ticks, 0);
  EXPECT_TRUE(tache->isEnabled());
}

TEST_F(ComLinkTest, ASecondExchangeStartedInsideAWaitIsRefused) {
  ASSERT_TRUE(com->Ouvrir_Port());
  bool nested = true;
  // A click handled while the link check waits for its answer tries to talk to the box.
  rt.post(500, [&] { nested = com->Envoi_Octet_Echo(0x01, 0x01); });
  EXPECT_TRUE(com->Envoi_Octet_Echo(0x01, 0x01));
  EXPECT_FALSE(nested);
  EXPECT_EQ(port.sent(), (Bytes{0x01}));
}

}  // namespace
}  // namespace korvane::link
