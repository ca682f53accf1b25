#pragma once
// The tool's settings in the profile file, and the menu clicks that change them.
//
//   configPath            BUS-CONFIG.INI in the tool's folder (tool_folder.h)
//   Lire_Config           every setting into the engine, the frame layer and the bus window,
//                         at start; the port, the protocol, the type and the 12 V option are
//                         written back, so a first run leaves a file the technician can edit
//   Ecrire_Port_Protocole the serial port and the protocol phase
//   Ecrire_Options        the four entries of the "Type" menu, "oui" or "non"
//   Type_Menu_Click       a click on one of those entries: at most one stays checked
//   Phase_Option_Click    a click on "Phase 1" or "Phase 2"
//   portNumberFromAnswer  the port number typed in the port box, when it is one
//   Lire_Ports            the [Ports] section: the device each port number stands for
//                         (COM1=/dev/serial/by-id/...), read each time a port opens, since
//                         another program may have changed it
//   Ecrire_Port_Device    one entry of it, for a port picked from the list
//
// Write failures are deliberately silent: a read-only installation folder must not stop a
// technician on site, the tool then simply starts with the same settings next time.

#include <filesystem>
#include <optional>
#include <string_view>

#include "engine/bus_state.h"
#include "link/com_link.h"
#include "link/port_map.h"
#include "screens/bus_window.h"

namespace korvane::config {

inline constexpr const char* kConfigFileName = "BUS-CONFIG.INI";

// The serial-port menu asks with kPortPrompt (title kPortPromptTitle, the current port as the
// default answer) until portNumberFromAnswer accepts the answer, showing kPortRangeError
// (title kPortRangeErrorTitle) after each refusal. Cancel counts as an empty answer.
inline constexpr const char* kPortPrompt = "Saisir N° de port série (1 à 16) SVP:";
inline constexpr const char* kPortPromptTitle = "PORT SERIE";
inline constexpr const char* kPortRangeError = "Valeur entre 1 et 16 SVP...";
inline constexpr const char* kPortRangeErrorTitle = "ERREUR";

std::filesystem::path configPath(const std::filesystem::path& folder);

void Lire_Config(const std::filesystem::path& ini, engine::BusState& state, link::ComLink& com,
                 screens::BusWindow& bus);

void Ecrire_Port_Protocole(const std::filesystem::path& ini, int Port_Com, int Protocole);
void Ecrire_Options(const std::filesystem::path& ini, const screens::BusWindow& bus);

// `entry` is one of bus.SS_Det_12V, SS_Per_24V, SS_KAPRE, SS_VOSK4.
void Type_Menu_Click(const std::filesystem::path& ini, screens::BusWindow& bus,
                     screens::MenuItem& entry);

// `index` is 1 ("Phase 1") or 2 ("Phase 2").
void Phase_Option_Click(const std::filesystem::path& ini, int index, engine::BusState& state,
                        const link::ComLink& com, screens::BusWindow& bus);

// The port number 1..16 the answer gives (its leading number, as the old tool read it), or
// nullopt when the box must ask again.
std::optional<int> portNumberFromAnswer(std::string_view answer);

link::PortEntries Lire_Ports(const std::filesystem::path& ini);
void Ecrire_Port_Device(const std::filesystem::path& ini, int number, const std::string& device);

}  // namespace korvane::config
