// Windows only: our profile layer and Windows' own profile functions, on the same files.
#include <gtest/gtest.h>
#include <windows.h>

#include "config/profile_cases.h"
#include "shell/config/profile_file.h"
#include "support/temp_dir.h"
#include "text/cp1252.h"

namespace korvane::config {
namespace {

using text::utf8ToCp1252;

// Through a buffer of 255 characters, as the old tool read.
std::string windowsRead(const std::string& file, const testing::ProfileRead& row) {
  char value[255];
  GetPrivateProfileStringA(utf8ToCp1252(row.section).c_str(), utf8ToCp1252(row.key).c_str(),
                           utf8ToCp1252(row.defaultValue).c_str(), value, sizeof value,
                           file.c_str());
  return text::cp1252ToUtf8(value);
}

class WindowsProfile : public testing::TempDirTest {};

TEST_F(WindowsProfile, ReadsAndWritesAgreeWithTheProfileFunctions) {
  int files = 0;  // a file of its own for each case: Windows caches the files it read last
  auto next = [&] { return (dir_ / (std::to_string(++files) + ".ini")).string(); };
  for (const auto& row : testing::profileReads()) {
    const std::string ini = next();
    if (row.file != "-") put(ini, row.file);
    EXPECT_EQ(Lire_Ini(ini, row.section, row.key, row.defaultValue, false), windowsRead(ini, row))
        << ini << " " << row.section << "/" << row.key;
  }
  for (const auto& row : testing::profileWrites()) {
    if (row.windows == testing::WindowsWrite::Differs) continue;
    const std::string ours = next(), theirs = next();
    if (row.before != "-") put(ours, row.before), put(theirs, row.before);
    EXPECT_TRUE(Ecrire_Ini(ours, row.section, row.key, row.value));
    WritePrivateProfileStringA(utf8ToCp1252(row.section).c_str(), utf8ToCp1252(row.key).c_str(),
                               utf8ToCp1252(row.value).c_str(), theirs.c_str());
    if (row.windows == testing::WindowsWrite::SameBytes) {
      EXPECT_EQ(bytes(ours), bytes(theirs)) << ours;
    }
    const testing::ProfileRead asRead{"", row.section, row.key, "?", ""};
    EXPECT_EQ(windowsRead(ours, asRead), windowsRead(theirs, asRead)) << ours;
  }
}

}  // namespace
}  // namespace korvane::config
