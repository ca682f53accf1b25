// Windows only: our profile layer and Windows' own profile functions, on the same files.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "config/profile_cases.h"
#include "shell/config/profile_file.h"
#include "support/temp_dir.h"
#include "text/cp1252.h"

namespace korvane::config {
namespace {

namespace fs = std::filesystem;
using text::utf8ToCp1252;

class WindowsProfile : public testing::TempDirTest {
 protected:
  // Each case has files of its own: Windows keeps the last files it read in a cache.
  fs::path next(const char* kind) { return dir_ / (kind + std::to_string(++files_) + ".ini"); }

  // Through a buffer of 255 characters, as the old tool read.
  static std::string windowsRead(const fs::path& file, const std::string& section, const char* key,
                                 const std::string& defaultValue) {
    char value[255];
    GetPrivateProfileStringA(utf8ToCp1252(section).c_str(), key, utf8ToCp1252(defaultValue).c_str(),
                             value, sizeof value, file.string().c_str());
    return text::cp1252ToUtf8(value);
  }

  // Every key of every section, as Windows reads them back.
  static std::string windowsView(const fs::path& file) {
    std::string view;
    char sections[4096];
    GetPrivateProfileSectionNamesA(sections, sizeof sections, file.string().c_str());
    for (const char* section = sections; *section; section += std::strlen(section) + 1) {
      char keys[4096];
      GetPrivateProfileStringA(section, nullptr, "", keys, sizeof keys, file.string().c_str());
      for (const char* key = keys; *key; key += std::strlen(key) + 1)
        view += std::string("[") + section + "] " + key + "=" +
                windowsRead(file, section, key, "?") + "\n";
    }
    return view;
  }

  int files_ = 0;
};

TEST_F(WindowsProfile, ReadsAgreeWithGetPrivateProfileString) {
  for (const auto& row : testing::profileReads()) {
    const fs::path ini = next("read");
    if (row.file != "-") put(ini, row.file);
    EXPECT_EQ(Lire_Ini(ini, row.section, row.key, row.defaultValue, false),
              windowsRead(ini, row.section, utf8ToCp1252(row.key).c_str(), row.defaultValue))
        << ini.filename() << " " << row.section << "/" << row.key;
  }
}

TEST_F(WindowsProfile, WritesAgreeWithWritePrivateProfileString) {
  for (const auto& row : testing::profileWrites()) {
    if (row.windows == testing::WindowsWrite::Differs) continue;
    const fs::path ours = next("ours");
    const fs::path theirs = next("theirs");
    if (row.before != "-") {
      put(ours, row.before);
      put(theirs, row.before);
    }
    EXPECT_TRUE(Ecrire_Ini(ours, row.section, row.key, row.value));
    EXPECT_TRUE(
        WritePrivateProfileStringA(utf8ToCp1252(row.section).c_str(), utf8ToCp1252(row.key).c_str(),
                                   utf8ToCp1252(row.value).c_str(), theirs.string().c_str()));
    if (row.windows == testing::WindowsWrite::SameBytes) {
      EXPECT_EQ(bytes(ours), bytes(theirs)) << ours.filename();
    }
    EXPECT_EQ(windowsView(ours), windowsView(theirs)) << ours.filename();
  }
}

}  // namespace
}  // namespace korvane::config
