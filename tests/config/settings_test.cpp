#include "shell/config/settings.h"

#include <gtest/gtest.h>

#include <memory>

#include "runtime/virtual_runtime.h"
#include "screens/dialogs.h"
#include "shell/config/profile_file.h"
#include "shell/config/tool_folder.h"
#include "sim/loop_simulator.h"
#include "sim/simulated_port.h"
#include "support/temp_dir.h"

namespace korvane::config {
namespace {

namespace fs = std::filesystem;

class Settings : public testing::TempDirTest {
 protected:
  void load() { Lire_Config(ini_, state, com, bus); }
  void loadWith(std::string_view key, std::string_view value) {
    Ecrire_Ini(ini_, "PARAMETRES", key, value);
    load();
  }

  const fs::path ini_ = configPath(dir_);

  // The frame layer needs a port and a tick to exist; neither is opened here.
  runtime::VirtualRuntime rt;
  sim::LoopSimulator box{sim::Loop{}};
  sim::SimulatedPort port{rt, box};
  std::unique_ptr<runtime::Timer> tache = rt.createTimer();
  screens::BusWindow bus;
  engine::BusState state;
  link::LinkObserver nobody;
  link::ComLink com{rt, port, *tache, nobody};
};

TEST_F(Settings, AFirstRunWritesBackFourKeysAndValuesAreCheckedAsTheyAreRead) {
  // A model left in another state shows that the settings are applied, not merely kept.
  bus.SS_Det_12V.checked = false;
  bus.Phase_Frm.visible = false;
  bus.Phase_Option[2].selected = true;
  state.Code_Protocole = 8;
  load();
  EXPECT_EQ(bytes(ini_),
            "[PORTCOM]\r\nCOM=1\r\n[PARAMETRES]\r\nPROTOCOLE=1\r\nTYPE=1\r\nPER12V=oui\r\n");
  EXPECT_TRUE(bus.SS_Det_12V.checked && bus.Phase_Frm.visible && bus.Phase_Option[1].selected);
  EXPECT_FALSE(bus.Phase_Option[2].selected);
  EXPECT_EQ(state.Code_Protocole, 1);
  EXPECT_EQ(com.Tempo_Bus, 50);

  // Later runs check each value as they read it.
  for (const auto& [text, tempo] : {std::pair{"20", 50}, {"1000", 1000}, {"1001", 50}}) {
    loadWith("tempo_bus", text);
    EXPECT_EQ(com.Tempo_Bus, tempo) << text;
  }
  for (const auto& [text, on] : {std::pair{"Oui", true}, {"OUI", true}, {"1", false}}) {
    loadWith("debug", text);
    EXPECT_EQ(state.Mode_Debug, on) << text;
  }
  // 258 wrapped into a byte would quietly become phase 2, and 257 port 1.
  Ecrire_Ini(ini_, "PORTCOM", "COM", "257");
  loadWith("PROTOCOLE", "258");
  EXPECT_EQ(com.Port_Com, 255);
  EXPECT_EQ(state.Protocole, 255);
  EXPECT_FALSE(bus.Phase_Option[1].selected || bus.Phase_Option[2].selected);
}

TEST_F(Settings, TheTypeMenuKeepsAtMostOneEntryCheckedAndAPhaseClickIsSaved) {
  load();
  Type_Menu_Click(ini_, bus, bus.SS_Per_24V);
  EXPECT_TRUE(bus.SS_Per_24V.checked && !bus.SS_Det_12V.checked);
  Type_Menu_Click(ini_, bus, bus.SS_Per_24V);
  EXPECT_FALSE(bus.SS_Det_12V.checked || bus.SS_Per_24V.checked || bus.SS_KAPRE.checked ||
               bus.SS_VOSK4.checked);
  Type_Menu_Click(ini_, bus, bus.SS_Det_12V);
  EXPECT_TRUE(bus.Phase_Frm.visible);
  Type_Menu_Click(ini_, bus, bus.SS_Det_12V);
  EXPECT_FALSE(bus.Phase_Frm.visible);

  // A phase click sets the protocol and saves it with the port.
  loadWith("PROTOCOLE", "2");
  com.Port_Com = 6;
  Phase_Option_Click(ini_, 1, state, com, bus);
  EXPECT_EQ(state.Protocole, 1);
  EXPECT_EQ(state.Code_Protocole, 1);
  EXPECT_TRUE(bus.Phase_Option[1].selected && !bus.Phase_Option[2].selected);
  EXPECT_EQ(Lire_Ini(ini_, "PARAMETRES", "PROTOCOLE", "?", false), "1");
  EXPECT_EQ(Lire_Ini(ini_, "PORTCOM", "COM", "?", false), "6");
}

TEST(PortNumberFromAnswer, AcceptsOnlyALeadingNumberFrom1To16) {
  for (const char* refused : {"", "0", "17", "abc", "16.6"})
    EXPECT_EQ(portNumberFromAnswer(refused), std::nullopt) << refused;
  for (const auto& [answer, port] : {std::pair{"16", 16}, {" 3", 3}, {"5x", 5}})
    EXPECT_EQ(portNumberFromAnswer(answer), port) << answer;
}

TEST_F(Settings, TheToolFolderIsAWritableBuildsOwnElseTheUsersWithTheSamplesCopiedOnce) {
  const fs::path bin = dir_ / "bin", share = dir_ / "share" / "korvane";
  const fs::path user = dir_ / "xdg" / "korvane";
  const FolderEnvironment env{(dir_ / "xdg").string(), (dir_ / "home").string(), ""};
  fs::create_directories(bin);
  EXPECT_TRUE(toolFolder(bin, env) == bin && fs::is_empty(bin));  // no probe left behind
  EXPECT_EQ(toolFolder("/proc", env), user);                      // refuses new files even to root

  // Installed: the samples are copied, never over the company's own.
  fs::create_directories(user);
  fs::create_directories(share);
  for (const char* name : {"para1.fin", "para3.fin"})
    put(share / name, "shipped");
  put(user / "para3.fin", "own");
  EXPECT_EQ(toolFolder(bin, env), user);
  EXPECT_EQ(bytes(user / "para1.fin") + bytes(user / "para3.fin"), "shippedown");
  // Once the tool has run there, a picture the company removed stays removed.
  put(configPath(user), "");
  fs::remove(user / "para1.fin");
  EXPECT_TRUE(toolFolder(bin, env) == user && !fs::exists(user / "para1.fin"));

  // A relative XDG_CONFIG_HOME does not count; with no folder at all the samples are read.
  EXPECT_EQ(toolFolder(bin, {"xdg", env.home, ""}), dir_ / "home" / ".config" / "korvane");
  EXPECT_EQ(toolFolder(bin, {}), share);

  // The visit history: with the settings in a build's folder, in the user's data folder once
  // the settings are the user's.
  EXPECT_EQ(dataFolder(bin, env), bin);
  EXPECT_EQ(dataFolder(user, env), dir_ / "home" / ".local" / "share" / "korvane");
  EXPECT_EQ(dataFolder(user, {env.xdgConfigHome, env.home, (dir_ / "data").string()}),
            dir_ / "data" / "korvane");
  EXPECT_TRUE(fs::is_directory(dir_ / "data" / "korvane"));
}

}  // namespace
}  // namespace korvane::config
