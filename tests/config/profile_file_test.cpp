#include "shell/config/profile_file.h"

#include <gtest/gtest.h>

#include <iterator>

#include "config/profile_cases.h"
#include "support/temp_dir.h"

namespace korvane::config {
namespace {

namespace fs = std::filesystem;

class ProfileFile : public testing::TempDirTest {
 protected:
  void put(const std::string& bytes) { TempDirTest::put(ini_, bytes); }
  std::string bytes() const { return TempDirTest::bytes(ini_); }

  const fs::path ini_ = dir_ / "BUS-CONFIG.INI";
};

// Reading and writing as Windows does (tests/config/profile_cases.h says how); a write leaves
// every other byte of the file as it was.
TEST_F(ProfileFile, ReadingAndWritingFollowWindows) {
  for (const auto& row : testing::profileReads()) {
    fs::remove(ini_);
    if (row.file != "-") put(row.file);
    EXPECT_EQ(Lire_Ini(ini_, row.section, row.key, row.defaultValue, false), row.expected)
        << row.section << "/" << row.key;
  }
  for (const auto& row : testing::profileWrites()) {
    fs::remove(ini_);
    if (row.before != "-") put(row.before);
    EXPECT_TRUE(Ecrire_Ini(ini_, row.section, row.key, row.value));
    EXPECT_EQ(bytes(), row.after) << row.before;
  }
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
