// What the technician does to the tool while it talks to the loop: a dialog opened in the
// middle of a search. The bus window closed in the middle of anything is the hostile box's
// (fuzz/): whatever ran, a closed window writes nothing, runs no step, holds no port and
// leaves no LED lit, and the window opened again finds the whole loop. The USB adapter pulled
// out and plugged back is met end to end, over a pseudo-terminal, in the application's fault
// tests.
#include <gtest/gtest.h>

#include "station.h"

namespace korvane::engine::testing {
namespace {

// A modal box as the window system runs one: its own event loop turns until the user
// closes it, here after five seconds.
struct ModalDialogs final : screens::Dialogs {
  ModalDialogs(runtime::VirtualRuntime& rt, const sim::SimulatedPort& port) : rt(rt), port(port) {}
  void messageBox(const std::string&, const std::string&, screens::Icon) override {
    bool closed = false;
    rt.post(5'000'000, [&] { closed = true; });
    const std::size_t sentBefore = port.sent().size();
    rt.processUntil([&] { return closed; });
    bytesSentWhileOpen += port.sent().size() - sentBefore;
    ++shown;
  }
  bool askYesNo(const std::string&, const std::string&) override { return true; }
  runtime::VirtualRuntime& rt;
  const sim::SimulatedPort& port;
  std::size_t bytesSentWhileOpen = 0;
  int shown = 0;
};

TEST(UserActions, ADialogOpenedWhileAFrameWaitsFailsNoFrame) {
  Station st(exampleLoop("mixed"));
  ModalDialogs modal(st.rt, st.port);
  ASSERT_TRUE(st.connect());
  st.control.Form_KeyDown(kKeyF5);
  // The click lands while a frame of the search waits for its answer, as the save button of
  // the measures window can.
  bool clicked = false;
  st.box.setLogger([&](const std::string&) {
    if (clicked || !st.engine.stepRunning() || st.state.Nb_Trouve < 5) return;
    clicked = true;
    st.engine.afterStep([&] { modal.messageBox("", "", screens::Icon::kNone); });
    EXPECT_EQ(modal.shown, 0);  // not opened inside the frame's wait
  });
  ASSERT_TRUE(st.rt.runUntil([&] { return !st.state.Bus_Occupe; }, 600'000));

  EXPECT_TRUE(clicked);
  EXPECT_EQ(modal.shown, 1);
  EXPECT_EQ(modal.bytesSentWhileOpen, 0u);  // the engine waited for the box to close
  EXPECT_EQ(st.com.Nb_Erreur_Com, 0);
  EXPECT_EQ(st.state.Nb_Trouve, 31);  // the whole mixed loop, as without the dialog

  // Actions queued during an action run after it, in order, with the engine held.
  std::vector<int> order;
  st.engine.afterStep([&] {
    st.engine.afterStep([&] { order.push_back(2); });
    const std::size_t sent = st.port.sent().size();
    st.rt.runForMs(1000);
    EXPECT_EQ(st.port.sent().size(), sent);  // no step ran meanwhile
    order.push_back(1);
  });
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  const std::size_t sent = st.port.sent().size();
  st.rt.runForMs(1000);
  EXPECT_GT(st.port.sent().size(), sent);  // and the idle cycle goes on afterwards
}

}  // namespace
}  // namespace korvane::engine::testing
