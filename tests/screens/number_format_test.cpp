#include "screens/number_format.h"

#include <gtest/gtest.h>

namespace korvane::screens {
namespace {

// The padded patterns of whole numbers and of "#00.00" at zero show on the engine's screens.
TEST(NumberFormat, DigitPatternsPadRoundAndDropOptionalDigits) {
  EXPECT_EQ(formatPattern(1234, "000"), "1234");  // never cut
  // Halves go away from zero, and decimal text that binary cannot hold rounds as it reads.
  EXPECT_EQ(formatPattern(0.25, "0.0"), "0.3");
  EXPECT_EQ(formatPattern(2.675, "0.00"), "2.68");
  EXPECT_EQ(formatPattern(9.96, "0.0"), "10.0");
  EXPECT_EQ(formatPattern(-0.01, "0.0"), "0.0");  // no minus sign on a zero
}

TEST(NumberFormat, StrPutsASpaceBeforeNumbersThatAreNotNegative) {
  EXPECT_EQ(formatStr(0.5), " .5");
  EXPECT_EQ(formatStr(-0.5), "-.5");
}

TEST(NumberFormat, RoundingHalvesGoToEven) {
  EXPECT_EQ(roundHalfEven(3.5), 4);
  EXPECT_EQ(roundHalfEven(24.51), 25);
  EXPECT_EQ(roundHalfEven(-2.5), -2);
}

TEST(NumberFormat, NumericValueTakesTheLeadingNumberOnly) {
  EXPECT_EQ(numericValue("3.5 V"), 3.5);
  EXPECT_EQ(numericValue("2e"), 2);  // an "e" without digits is no exponent
  EXPECT_EQ(numericValue("+.5x"), 0.5);
  EXPECT_EQ(numericValue("2.5E-1;"), 0.25);
  for (const char* none : {"", "abc", "-", ".", "e5", " . 5"})
    EXPECT_EQ(numericValue(none), 0) << none;
  EXPECT_EQ(numericValue("1e999"), 0);  // nothing a profile file or a combo box means
}

}  // namespace
}  // namespace korvane::screens
