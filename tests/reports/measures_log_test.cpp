#include "reports/measures_log.h"

#include <gtest/gtest.h>

#include <iterator>

#include "support/temp_dir.h"

namespace korvane::reports {
namespace {

namespace fs = std::filesystem;

class MeasuresLog : public testing::TempDirTest {
 protected:
  // No temporary file may be left behind, whatever happened.
  std::size_t entries() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
  }

  std::string error_;
};

TEST_F(MeasuresLog, TheLinesAreFramedAndCountedInWindows1252) {
  const fs::path file = dir_ / "mesures.txt";
  put(file, "an older, longer log that must not show through");
  ASSERT_TRUE(saveMeasuresLog(file, {"Détecteur : 1 / Mesure : 1 :> 5", "Fin"}, error_));
  EXPECT_EQ(bytes(file),
            "\r\nD\xE9tecteur : 1 / Mesure : 1 :> 5\r\nFin\r\n\r\n"
            "------------------------------------\r\nNb de points : 2\r\n");
  EXPECT_EQ(entries(), 1u);
}

TEST_F(MeasuresLog, AFailureNamesTheFileAndTouchesNothing) {
  const fs::path folder = dir_ / "mesures.txt";
  fs::create_directory(folder);
  EXPECT_FALSE(saveMeasuresLog(folder, {"a"}, error_));
  EXPECT_EQ(error_, "Impossible d'enregistrer le fichier " + folder.string() + ".");

  const fs::path readOnly = dir_ / "lecture-seule.txt";
  put(readOnly, "kept");
  fs::permissions(readOnly, fs::perms::owner_read);
  EXPECT_FALSE(saveMeasuresLog(readOnly, {"a"}, error_));
  EXPECT_EQ(bytes(readOnly), "kept");

  EXPECT_FALSE(saveMeasuresLog(dir_ / "absent" / "mesures.txt", {}, error_));
  EXPECT_EQ(entries(), 2u);
}

}  // namespace
}  // namespace korvane::reports
