#pragma once
// Everything one bus window works with, put together: the screen models, the engine's
// variables, the engine's tick, the frame layer on the given port, the engine and the run
// control. The application builds one per opening of the bus window on the Qt runtime and
// port; the tests build it on the virtual clock and the simulated box.
#include <memory>

#include "engine/bus_engine.h"
#include "engine/bus_state.h"
#include "engine/led_sequencer.h"
#include "engine/param_control.h"
#include "engine/run_control.h"
#include "link/com_link.h"
#include "link/serial_port.h"
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
      : Timer_Tache(runtime.createTimer()),
        com(runtime, port, *Timer_Tache, {bus, measures, dialogs}),
        engine(runtime, state, com, *Timer_Tache, {bus, param, report, measures, dialogs}),
        control(engine),
        paramControl(engine),
        leds(engine, led) {}

  screens::BusWindow bus;
  screens::ParamWindow param;
  screens::ReportWindow report;
  screens::MeasuresWindow measures;
  screens::LedWindow led;
  BusState state;
  std::unique_ptr<runtime::Timer> Timer_Tache;
  link::ComLink com;
  BusEngine engine;
  RunControl control;
  ParamControl paramControl;
  LedSequencer leds;
};

}  // namespace korvane::engine
