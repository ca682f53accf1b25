// The engine with nothing asked of it: link check, version, interface status, bus measures.
#include <gtest/gtest.h>

#include "station.h"

namespace korvane::engine::testing {
namespace {

using screens::colors::kGreen;
using screens::colors::kYellow;

TEST(IdleCycle, ConnectsThenCyclesThroughStatusAndMeasures) {
  sim::Loop loop = loopOf({7});
  loop.box.shortCircuit = true;
  Station st(loop);
  st.recordStates();
  ASSERT_TRUE(st.connect());  // the states' order is pinned with their bytes (line_bytes_test)
  st.rt.runUntil([&] { return st.states.size() >= 10; }, 10'000);
  EXPECT_EQ(st.bus.Connection_Lbl.caption, "Connecté ");
  EXPECT_TRUE(st.bus.Version_Lbl.visible);
  EXPECT_EQ(st.bus.Version_Lbl.caption, "(Ver.3.1)");
  EXPECT_EQ(st.bus.Emul_Frm.backColor, kGreen);
  EXPECT_TRUE(st.bus.Cc_Lbl.visible);
  EXPECT_EQ(st.bus.Lbl_Courant_Bus.caption, "59.41 mA");
  EXPECT_EQ(st.bus.Lbl_Tension_Dep.caption, "22.75 V");
  EXPECT_EQ(st.bus.Lbl_Tension_Ret.caption, "22.52 V");
  EXPECT_EQ(st.com.Nb_Erreur_Com, 0);

  // Unplugged from the start of a measure step, every answer of it is missing: the labels
  // keep what they showed.
  st.box.box().current = 100;
  st.rt.runUntil([&] { return st.state.Etat_Bus == kBusMeasures; }, 10'000);
  st.box.setPlugged(false);
  const std::size_t before = st.states.size();
  st.rt.runUntil([&] { return st.states.size() > before; }, 30'000);
  EXPECT_EQ(st.states.back(), kBusMeasures);
  EXPECT_EQ(st.bus.Lbl_Courant_Bus.caption, "59.41 mA");
  EXPECT_EQ(st.bus.Lbl_Tension_Dep.caption, "22.75 V");
}

// Three failed checks since the last reload show the link down, whatever succeeded in
// between; plugged back, the version is asked and shown again, if it is 3.0 or above.
TEST(IdleCycle, UnpluggedThenPluggedBack) {
  Station st(loopOf({7}));
  st.recordStates();
  ASSERT_TRUE(st.connect());
  st.rt.runUntil([&] { return st.state.Etat_Bus == kLinkCheck; }, 10'000);

  auto failedChecks = [&](int n) {
    st.box.setPlugged(false);
    const std::size_t from = st.states.size();
    st.rt.runUntil([&] { return st.states.size() >= from + n; }, 60'000);
    st.box.setPlugged(true);
  };
  failedChecks(2);
  EXPECT_EQ(st.bus.Connection_Lbl.caption, "Connecté ");
  st.rt.runUntil([&] { return st.states.back() == kBusMeasures; }, 10'000);  // a good round
  st.rt.runUntil([&] { return st.state.Etat_Bus == kLinkCheck; }, 10'000);
  failedChecks(1);  // the third failure since connecting
  EXPECT_EQ(st.bus.Connection_Lbl.caption, "Deconnecté");
  EXPECT_EQ(st.bus.Emul_Frm.backColor, kYellow);
  EXPECT_FALSE(st.state.Bus_Connecte);

  // Plugged back, the version is asked again; a box below 3.0 is not connected.
  st.box.box().version = 0x2F;
  st.states.clear();
  st.rt.runUntil([&] { return st.states.size() >= 6; }, 10'000);
  EXPECT_EQ(st.states, (std::vector<int>{1, 2, 2, 2, 2, 2}));
  EXPECT_EQ(st.bus.Connection_Lbl.caption, "Deconnecté");
  st.box.box().version = 0x30;
  st.rt.runUntil([&] { return st.state.Bus_Connecte; }, 10'000);
  EXPECT_EQ(st.bus.Version_Lbl.caption, "(Ver.3.0)");
  EXPECT_EQ(st.bus.Connection_Lbl.caption, "Connecté ");
}

}  // namespace
}  // namespace korvane::engine::testing
