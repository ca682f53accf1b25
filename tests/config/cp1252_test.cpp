#include "text/cp1252.h"

#include <gtest/gtest.h>

namespace korvane::text {
namespace {

TEST(Cp1252, EveryByteSurvivesTheTripThroughUtf8) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte)
    all += static_cast<char>(byte);
  EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
  // Bytes 0x80 to 0x9F as Python's cp1252 codec reads them, the five holes of the table as the
  // C1 controls of the same value (a swap of two entries would survive the round trip above).
  EXPECT_EQ(cp1252ToUtf8(all.substr(0x80, 32)),
            "€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F\u0090‘’“”•–—˜™š›œ\u009DžŸ");
}

TEST(Cp1252, CharactersWithoutAByteAndBrokenUtf8BecomeQuestionMarks) {
  EXPECT_EQ(utf8ToCp1252("Œil à 5 €"), "\x8Cil \xE0 5 \x80");
  EXPECT_EQ(utf8ToCp1252("Ωx😀"), "?x?");
  EXPECT_EQ(utf8ToCp1252("a\xC3"), "a?");        // cut at the end
  EXPECT_EQ(utf8ToCp1252("\xE2\x82(x"), "?(x");  // cut short, the next byte is kept
  EXPECT_EQ(utf8ToCp1252("\xFF\x80"), "??");
  // A C1 control Windows-1252 does not hold, an overlong "A", a surrogate, beyond U+10FFFF.
  for (const char* one : {"\u0080", "\xE0\x81\x81", "\xED\xA0\x80", "\xF4\x90\x80\x80"})
    EXPECT_EQ(utf8ToCp1252(one), "?") << one;
}

}  // namespace
}  // namespace korvane::text
