#include "screens/number_format.h"

#include <charconv>
#include <cmath>
#include <string>

namespace korvane::screens {

namespace {

std::string toChars(double value, std::chars_format format, int precision) {
  char buffer[512];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
  return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string("0");
}

// Plain decimal digits of |value| rounded half away from zero to `decimals` places.
// Returns {integer digits, fraction digits} (integer digits "0" for values below 1).
std::pair<std::string, std::string> decimalDigits(double value, int decimals) {
  // Print nine places more than shown, then round those away: 2.675, stored as 2.67499999...,
  // prints as 2.675000000 and rounds the way its decimal text reads. to_chars, not printf:
  // the application runs under the user's locale, whose decimal separator may be a comma.
  std::string text = toChars(std::fabs(value), std::chars_format::fixed, decimals + 9);
  std::string intPart = text.substr(0, text.find('.'));
  std::string frac = text.substr(text.find('.') + 1);
  // Round the fraction to `decimals` places, half away from zero.
  const bool roundUp = frac[static_cast<std::size_t>(decimals)] >= '5';
  frac.resize(static_cast<std::size_t>(decimals));
  std::string digits = intPart + frac;
  if (roundUp) {
    int i = static_cast<int>(digits.size()) - 1;
    for (; i >= 0; --i) {
      if (digits[static_cast<std::size_t>(i)] == '9') {
        digits[static_cast<std::size_t>(i)] = '0';
      } else {
        ++digits[static_cast<std::size_t>(i)];
        break;
      }
    }
    if (i < 0) digits.insert(digits.begin(), '1');
  }
  const std::size_t intLen = digits.size() - static_cast<std::size_t>(decimals);
  return {digits.substr(0, intLen), digits.substr(intLen)};
}

}  // namespace

std::string formatPattern(double value, std::string_view pattern) {
  const std::size_t point = pattern.find('.');
  const std::string_view intPattern = pattern.substr(0, point);
  const std::string_view fracPattern =
      point == std::string_view::npos ? std::string_view{} : pattern.substr(point + 1);

  int minIntDigits = 0;
  for (char c : intPattern)
    minIntDigits += c == '0';
  const int decimals = static_cast<int>(fracPattern.size());
  int requiredDecimals = 0;
  for (int i = 0; i < decimals; ++i) {
    if (fracPattern[static_cast<std::size_t>(i)] == '0') requiredDecimals = i + 1;
  }

  auto [intDigits, fracDigits] = decimalDigits(value, decimals);
  intDigits.erase(0, intDigits.find_first_not_of('0'));
  if (static_cast<int>(intDigits.size()) < minIntDigits) {
    intDigits.insert(0, static_cast<std::size_t>(minIntDigits) - intDigits.size(), '0');
  }
  // Optional (#) decimal places show only when they carry a digit other than a trailing zero.
  while (static_cast<int>(fracDigits.size()) > requiredDecimals && fracDigits.back() == '0') {
    fracDigits.pop_back();
  }

  std::string out;
  const bool nonZero = intDigits.find_first_not_of('0') != std::string::npos ||
                       fracDigits.find_first_not_of('0') != std::string::npos;
  if (value < 0 && nonZero) out += '-';
  out += intDigits;
  if (point != std::string_view::npos) {
    out += '.';
    out += fracDigits;
  }
  return out;
}

std::string formatDefault(double value) {
  if (value == 0) return "0";
  std::string text = toChars(value, std::chars_format::general, 15);
  for (char& c : text) {
    if (c == 'e') c = 'E';
  }
  const std::size_t e = text.find('E');
  std::string mantissa = text.substr(0, e);
  std::string exponent = e == std::string::npos ? "" : text.substr(e);
  if (mantissa.find('.') != std::string::npos) {
    while (mantissa.back() == '0')
      mantissa.pop_back();
    if (mantissa.back() == '.') mantissa.pop_back();
  }
  if (!exponent.empty()) {
    // "E-05" reads "E-05" in the old tool, "E+20" reads "E+20": keep at least two digits.
    const char sign = exponent[1];
    std::string digits = exponent.substr(2);
    digits.erase(0, digits.find_first_not_of('0'));
    if (digits.size() < 2) digits.insert(0, 2 - digits.size(), '0');
    exponent = std::string("E") + sign + digits;
  }
  return mantissa + exponent;
}

std::string formatStr(double value) {
  std::string text = formatDefault(value);
  // Str drops the zero before the decimal point: 0.5 gives " .5", -0.5 gives "-.5".
  if (text.rfind("0.", 0) == 0) text.erase(0, 1);
  if (text.rfind("-0.", 0) == 0) text.erase(1, 1);
  return value >= 0 ? " " + text : text;
}

double roundHalfEven(double value) {
  const double floor = std::floor(value);
  const double diff = value - floor;
  if (diff > 0.5) return floor + 1;
  if (diff < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

double numericValue(std::string_view text) {
  std::size_t i = 0;
  auto blank = [&](std::size_t k) {
    return k < text.size() && (text[k] == ' ' || text[k] == '\t');
  };
  auto digit = [&](std::size_t k) { return k < text.size() && text[k] >= '0' && text[k] <= '9'; };
  while (blank(i))
    ++i;
  const std::size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const std::size_t digitsStart = i;
  while (digit(i))
    ++i;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (digit(i))
      ++i;
  }
  if (i == digitsStart || (i == digitsStart + 1 && text[digitsStart] == '.')) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t e = i + 1;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
    if (digit(e)) {
      while (digit(e))
        ++e;
      i = e;
    }
  }
  // from_chars, not strtod: the application runs under the user's locale, where the decimal
  // separator may be a comma. It takes no leading '+'.
  std::size_t from = start;
  if (text[from] == '+') ++from;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data() + from, text.data() + i, value);
  (void)end;
  if (error != std::errc()) return 0;
  return value;
}

}  // namespace korvane::screens
