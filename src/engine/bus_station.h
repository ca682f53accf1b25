#pragma once
// Everything the bus window works with, put together: the screen models, the engine's
// variables, the engine's tick, the frame layer on the given port, the engine and the run
// control. The application builds one for its whole run on the Qt runtime and port, and opens
// and closes the bus window over it; the tests and the fuzzer build it on the virtual clock
// and the simulated box, and open and close the window through the same two calls.
//
//   openWindow    the window loads: a fresh grid for the product, nothing left of the last
//                 window's requests or runs, the settings read, the port opened, the idle
//                 cycle started
//   closeWindow   the window goes: no step starts any more and the exchange under way gives
//                 up; the LED sequencer and the parameter window go with it; once nothing is
//                 on the stack, every LED the tool lit is put out and the port is let go
//   windowOpen    between the two
//   closing       the close has not finished yet: the window may not open again before
#include <functional>
#include <memory>
#include <string>

#include "engine/bus_engine.h"
#include "engine/bus_state.h"
#include "engine/led_sequencer.h"
#include "engine/link_views.h"
#include "engine/param_control.h"
#include "engine/run_control.h"
#include "link/com_link.h"
#include "link/serial_port.h"
#include "runtime/gated_timer.h"
#include "runtime/runtime.h"
#include "screens/bus_window.h"
#include "screens/dialogs.h"
#include "screens/led_window.h"
#include "screens/measures_window.h"
#include "screens/param_window.h"
#include "screens/report_window.h"

namespace korvane::engine {

struct BusStation {
  BusStation(runtime::Runtime& runtime, link::SerialPort& port, screens::Dialogs& dialogs)
      : Timer_Tache(std::make_unique<runtime::GatedTimer>(runtime.createTimer())),
        linkViews(runtime, bus, measures, dialogs),
        com(runtime, port, *Timer_Tache, linkViews),
        engine(runtime, state, com, *Timer_Tache, {bus, param, report, measures, dialogs}),
        leds(engine, led),
        control(engine, leds),
        paramControl(engine) {}

  screens::BusWindow bus;
  screens::ParamWindow param;
  screens::ReportWindow report;
  screens::MeasuresWindow measures;
  screens::LedWindow led;
  BusState state;
  std::unique_ptr<runtime::GatedTimer> Timer_Tache;
  LinkViews linkViews;
  link::ComLink com;
  BusEngine engine;
  LedSequencer leds;
  RunControl control;
  ParamControl paramControl;

  // `loadSettings` reads the settings file into the state, the frame layer and the window
  // model (the application's Lire_Config). Returns whether the port opened; false at once,
  // changing nothing, while the last close is still under way.
  bool openWindow(const std::string& product, const std::function<void()>& loadSettings);
  void closeWindow();
  bool windowOpen() const { return windowOpen_; }
  bool closing() const { return closing_; }

 private:
  bool windowOpen_ = false;
  bool closing_ = false;
};

}  // namespace korvane::engine
