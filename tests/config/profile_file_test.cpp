#include "shell/config/profile_file.h"

#include <gtest/gtest.h>

#include <iterator>

#include "support/temp_dir.h"

namespace korvane::config {
namespace {

namespace fs = std::filesystem;

class ProfileFile : public testing::TempDirTest {
 protected:
  std::string read(std::string_view section, std::string_view key) {
    return Lire_Ini(ini_, section, key, "def", false);
  }
  void put(const std::string& bytes) { TempDirTest::put(ini_, bytes); }
  std::string bytes() const { return TempDirTest::bytes(ini_); }

  const fs::path ini_ = dir_ / "BUS-CONFIG.INI";
};

// Reading as Windows does: names match without case, blanks and one pair of quotes are
// dropped, the first key and the first section of a name win, values stop at 255 characters
// and at NUL, and anything not found gives the default.
TEST_F(ProfileFile, ReadingFollowsWindows) {
  EXPECT_EQ(Lire_Ini(ini_, "Bus", "Port", "  2  ", false), "  2");  // as Windows trims it
  EXPECT_FALSE(fs::exists(ini_));
  EXPECT_EQ(Lire_Ini(ini_, "Bus", "None", std::string(300, 'b'), false), std::string(255, 'b'));
  put("Orphan=1\r\n[Other]\r\nElse=1\r\n  [ bus ]  \r\n; Else=1\r\nBare\r\n  PORT = 3  \r\n"
      "port=4\r\nName = \" two  words \"\r\nQ='x'\r\nHalf=\"x'\r\nEmpty=\r\nLong=" +
      std::string(300, 'a') + "\nNul=ab" + std::string(1, '\0') +
      "cd\r\n[BUS]\r\nLate=1\r\n[Bus2]\r\nBare=1\r\n");
  const std::pair<const char*, const char*> rows[] = {
      {"Orphan", "def"},        {"Else", "def"}, {"Bare", "def"},  {"port", "3"},
      {"name", " two  words "}, {"Q", "x"},      {"Half", "\"x'"}, {"Empty", ""},
      {"Late", "def"},          {"Nul", "ab"}};
  for (const auto& [key, value] : rows)
    EXPECT_EQ(read("BUS", key), value) << key;
  EXPECT_EQ(read("Bus", "Long"), std::string(255, 'a'));
}

TEST_F(ProfileFile, WritingOneValueKeepsEveryOtherByte) {
  const std::string before =
      "; written by hand\r\n\r\n[Bus]\r\n  port = 1  \r\nUnknown=Keep Me\r\n; end of bus\r\n"
      "\r\n[Rapport]\r\nTitre=x\r\n";
  put(before);
  EXPECT_TRUE(Ecrire_Ini(ini_, "BUS", "Port", "12"));
  EXPECT_EQ(bytes(),
            "; written by hand\r\n\r\n[Bus]\r\n  port = 12  \r\nUnknown=Keep Me\r\n"
            "; end of bus\r\n\r\n[Rapport]\r\nTitre=x\r\n");
  put(before);
  EXPECT_TRUE(Ecrire_Ini(ini_, "Bus", "Baud", "9600"));  // after the last key of its section
  EXPECT_EQ(bytes(),
            "; written by hand\r\n\r\n[Bus]\r\n  port = 1  \r\nUnknown=Keep Me\r\n"
            "Baud=9600\r\n; end of bus\r\n\r\n[Rapport]\r\nTitre=x\r\n");
  put(before);
  EXPECT_TRUE(Ecrire_Ini(ini_, "Grille", "Zoom", "2"));
  EXPECT_EQ(bytes(), before + "[Grille]\r\nZoom=2\r\n");
}

TEST_F(ProfileFile, AddedLinesFollowTheFileOwnLineEnds) {
  put("[Bus]\nPort=1");
  EXPECT_TRUE(Ecrire_Ini(ini_, "Bus", "Baud", "9600"));
  EXPECT_EQ(bytes(), "[Bus]\nPort=1\nBaud=9600");
  EXPECT_TRUE(Ecrire_Ini(ini_, "Grille", "Zoom", "2"));
  EXPECT_EQ(bytes(), "[Bus]\nPort=1\nBaud=9600\n[Grille]\nZoom=2\n");
  put("[Bus]\r\nPort=\r\n");
  EXPECT_TRUE(Ecrire_Ini(ini_, "Bus", "Port", "3\r\nInjected=1"));
  EXPECT_EQ(bytes(), "[Bus]\r\nPort=3\r\n");
}

TEST_F(ProfileFile, TextIsWindows1252OnDisk) {
  EXPECT_TRUE(Ecrire_Ini(ini_, "Bus", "Etat", "Déconnecté ☺"));
  EXPECT_EQ(bytes(),
            "[Bus]\r\nEtat=D\xE9"
            "connect\xE9 ?\r\n");
  EXPECT_EQ(read("Bus", "Etat"), "Déconnecté ?");
  put("[Bus]\r\nEuro=5 \x80\r\n");
  EXPECT_EQ(read("Bus", "Euro"), "5 €");
}

TEST_F(ProfileFile, FailedWritesReturnFalseAndKeepTheFile) {
  put("[Bus]\r\nPort=1\r\n");
  fs::permissions(ini_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_FALSE(Ecrire_Ini(ini_, "Bus", "Port", "2"));
  EXPECT_EQ(Lire_Ini(ini_, "Bus", "Port", "7", true), "1");
  EXPECT_EQ(bytes(), "[Bus]\r\nPort=1\r\n");

  EXPECT_FALSE(Ecrire_Ini(dir_, "Bus", "Port", "2"));  // a directory
  EXPECT_FALSE(Ecrire_Ini(dir_ / "missing" / "a.ini", "Bus", "Port", "2"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace korvane::config
