// The frame layer against the simulated box, in virtual time at 9600-baud line timing.
#include "link/com_link.h"

#include <gtest/gtest.h>

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
    com = std::make_unique<ComLink>(rt, port, *tache, ComViews{bus, measures, dialogs});
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
  std::unique_ptr<ComLink> com;
};

TEST_F(ComLinkTest, OpeningShowsTheDisconnectedLookDrainsTheLineAndStartsTheEngineTick) {
  bus.Connection_Lbl.caption = "Connecté ";
  port.injectFromLine({0x55, 0x66});
  rt.runForMs(5);

  ASSERT_TRUE(com->Ouvrir_Port());
  EXPECT_EQ(port.openedPort(), 1);
  EXPECT_EQ(port.openedSettings(), "9600,N,8,1");
  EXPECT_EQ(bus.Connection_Lbl.caption, "Deconnecté");
  EXPECT_EQ(port.bytesWaiting(), 0u);
  EXPECT_TRUE(tache->isEnabled());
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(ComLinkTest, AMissingPortSaysSoStopsTheEngineTickAndFailsEveryExchangeAtOnce) {
  com->Port_Com = 7;
  EXPECT_FALSE(com->Ouvrir_Port());
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text, "Le port Com7 n'existe pas ou n'est pas libre !");
  EXPECT_FALSE(tache->isEnabled());
  EXPECT_EQ(bus.Connection_Lbl.caption, "Deconnecté");
  EXPECT_EQ(timed([&] { EXPECT_FALSE(com->Envoi_Octet_Echo(0x01, 0x01)); }), 0);
  EXPECT_TRUE(port.sent().empty());
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
