#include "shell/config/settings.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "screens/number_format.h"
#include "shell/config/profile_file.h"

namespace korvane::config {

namespace fs = std::filesystem;

namespace {

constexpr const char* kPortSection = "PORTCOM";
constexpr const char* kDevicesSection = "Ports";
constexpr const char* kParameters = "PARAMETRES";

constexpr int kTempoBusMin = 50;
constexpr int kTempoBusMax = 1000;

// Numbers land in integer variables, which round halves to even.
// The variables behind the byte settings are bytes: a hand-edited 300 or -1 is clamped rather
// than wrapped, so it names a port that plainly fails to open instead of a surprising one.
int byteValue(std::string_view text) {
  return static_cast<int>(
      std::clamp(screens::roundHalfEven(screens::numericValue(text)), 0.0, 255.0));
}

// Only ASCII letters change: "oui" is all that is ever compared, and bytes of other UTF-8
// characters must stay as they are.
std::string asciiUpper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

bool isYes(const fs::path& ini, const char* key, const char* defaultValue, bool writeBack) {
  return asciiUpper(Lire_Ini(ini, kParameters, key, defaultValue, writeBack)) == "OUI";
}

const char* yesNo(bool yes) {
  return yes ? "oui" : "non";
}

void selectPhase(screens::BusWindow& bus, int index) {
  for (std::size_t i = 0; i < bus.Phase_Option.size(); ++i) {
    bus.Phase_Option[i].selected = i != 0 && static_cast<int>(i) == index;
  }
}

std::uint8_t protocolCode(int protocole) {
  return protocole == 1 ? 1 : 8;
}

}  // namespace

fs::path configPath(const fs::path& folder) {
  return folder / kConfigFileName;
}

void Lire_Config(const fs::path& ini, engine::BusState& state, link::ComLink& com,
                 screens::BusWindow& bus) {
  com.Port_Com = byteValue(Lire_Ini(ini, kPortSection, "COM", "1", true));
  state.Protocole =
      static_cast<std::uint8_t>(byteValue(Lire_Ini(ini, kParameters, "PROTOCOLE", "1", true)));
  // Nothing uses it any more; it is read for its write-back only, so the file keeps listing it.
  Lire_Ini(ini, kParameters, "TYPE", "1", true);
  bus.SS_KAPRE.checked = isYes(ini, "KAPRE", "non", false);
  bus.SS_VOSK4.checked = isYes(ini, "VOSK4", "non", false);
  bus.SS_Per_24V.checked = isYes(ini, "PER24V", "non", false);
  const bool det12V = isYes(ini, "PER12V", "oui", true);
  bus.SS_Det_12V.checked = det12V;
  bus.Phase_Frm.visible = det12V;
  state.Mode_Debug = isYes(ini, "debug", "non", false);
  com.Mode_Debug2 = isYes(ini, "debug2", "non", false);
  state.Aff_Led = isYes(ini, "affled", "non", false);

  // A pause outside 50 ms..1 s is taken for a typing error: the usual pause is the safe one.
  const double tempo = screens::roundHalfEven(
      screens::numericValue(Lire_Ini(ini, kParameters, "tempo_bus", "50", false)));
  com.Tempo_Bus = static_cast<std::int16_t>(
      tempo < kTempoBusMin || tempo > kTempoBusMax ? kTempoBusMin : tempo);

  selectPhase(bus, state.Protocole);
  state.Code_Protocole = protocolCode(state.Protocole);
}

void Ecrire_Port_Protocole(const fs::path& ini, int Port_Com, int Protocole) {
  Ecrire_Ini(ini, kPortSection, "COM", std::to_string(Port_Com));
  Ecrire_Ini(ini, kParameters, "PROTOCOLE", std::to_string(Protocole));
}

void Ecrire_Options(const fs::path& ini, const screens::BusWindow& bus) {
  Ecrire_Ini(ini, kParameters, "PER12V", yesNo(bus.SS_Det_12V.checked));
  Ecrire_Ini(ini, kParameters, "VOSK4", yesNo(bus.SS_VOSK4.checked));
  Ecrire_Ini(ini, kParameters, "KAPRE", yesNo(bus.SS_KAPRE.checked));
  Ecrire_Ini(ini, kParameters, "PER24V", yesNo(bus.SS_Per_24V.checked));
}

void Type_Menu_Click(const fs::path& ini, screens::BusWindow& bus, screens::MenuItem& entry) {
  const bool is12V = &entry == &bus.SS_Det_12V;
  if (entry.checked) {
    entry.checked = false;
    if (is12V) bus.Phase_Frm.visible = false;
  } else {
    for (screens::MenuItem* other :
         {&bus.SS_Det_12V, &bus.SS_Per_24V, &bus.SS_KAPRE, &bus.SS_VOSK4}) {
      other->checked = false;
    }
    entry.checked = true;
    // Only the 12 V entry shows or hides the phase frame: choosing another type unchecks it
    // but leaves the frame as it is.
    if (is12V) bus.Phase_Frm.visible = true;
  }
  Ecrire_Options(ini, bus);
}

void Phase_Option_Click(const fs::path& ini, int index, engine::BusState& state,
                        const link::ComLink& com, screens::BusWindow& bus) {
  state.Protocole = static_cast<std::uint8_t>(std::clamp(index, 0, 255));
  selectPhase(bus, index);
  Ecrire_Port_Protocole(ini, com.Port_Com, state.Protocole);
  state.Code_Protocole = protocolCode(state.Protocole);
}

std::optional<int> portNumberFromAnswer(std::string_view answer) {
  // The answer lands in the integer port variable before it is checked, so "2.5" is port 2
  // and "16.4" port 16.
  const double port = screens::roundHalfEven(screens::numericValue(answer));
  if (port < 1 || port > 16) return std::nullopt;
  return static_cast<int>(port);
}

link::PortEntries Lire_Ports(const fs::path& ini) {
  link::PortEntries entries;
  for (int n = 1; n <= link::kMaxPortNumber; ++n) {
    std::string device = Lire_Ini(ini, kDevicesSection, "COM" + std::to_string(n), "", false);
    if (!device.empty()) entries[n] = std::move(device);
  }
  return entries;
}

void Ecrire_Port_Device(const fs::path& ini, int number, const std::string& device) {
  Ecrire_Ini(ini, kDevicesSection, "COM" + std::to_string(number), device);
}

}  // namespace korvane::config
