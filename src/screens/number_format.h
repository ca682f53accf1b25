#pragma once
// How the tool writes numbers on screen and in its files. The texts the technician sees were
// fixed long ago by the classic Windows tool this one replaces, and reports are compared with
// old ones, so these follow that tool's number formatting to the character:
//
//   formatPattern(7, "000")        "007"     digit patterns: 0 = digit always, # = digit if any
//   formatPattern(59.41, "#00.00") "59.41"   rounding half away from zero
//   formatDefault(100.0 / 3)       "33.3333333333333"   up to 15 significant digits
//   formatStr(12)                  " 12"     a leading space for numbers that are not negative
//   roundHalfEven(2.5)             2         rounding to the nearest integer, halves to even
//   numericValue("12 abc")         12        the leading number of a text; none gives 0

#include <string>
#include <string_view>

namespace korvane::screens {

std::string formatPattern(double value, std::string_view pattern);
std::string formatDefault(double value);
std::string formatStr(double value);
double roundHalfEven(double value);
double numericValue(std::string_view text);

}  // namespace korvane::screens
