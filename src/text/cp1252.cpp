#include "text/cp1252.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace korvane::text {

namespace {

// Code points of bytes 0x80 to 0x9F. The five holes of the table map to the C1 control of
// the same value, as Windows itself decodes them.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

constexpr char kUnmappable = '?';

// The Latin letters of U+0100..U+024F and U+1E00..U+1EFF without their accents, '?' for those
// that have no plain letter under them.
constexpr std::string_view kLatinExtended =
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi??JjKk?LlLlLlL"
    "lLlNnNnNn???OoOoOo??RrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZz?"
    "b??????????????????????I??l?????Oo?????????????Uu????Zz?????????"
    "?????????????AaIiOoUuUuUuUuUu?AaAa??GgGgKkOoOo??j???Gg??NnAa????"
    "AaAaEeEeIiIiOoOoRrRrUuUuSsTt??Hh??????AaEeOoOoOoOoYy??????ACcLT?"
    "??????EeJj??RrYy";
constexpr std::string_view kLatinAdditional =
    "AaBbBbBbCcDdDdDdDdDdEeEeEeEeEeFfGgHhHhHhHhHhIiIiKkKkKkLlLlLlLlMm"
    "MmMmNnNnNnNnOoOoOoOoPpPpRrRrRrRrSsSsSsSsSsTtTtTtTtUuUuUuUuUuVvVv"
    "WwWwWwWwWwXxXxYyZzZzZzhtwy??????AaAaAaAaAaAaAaAaAaAaAaAaEeEeEeEe"
    "EeEeEeEeIiIiOoOoOoOoOoOoOoOoOoOoOoOoUuUuUuUuUuUuUuYyYyYyYy??????";
static_assert(kLatinExtended.size() == 0x250 - 0x100 && kLatinAdditional.size() == 0x100);

bool isCombiningMark(char32_t code) {
  return code >= 0x300 && code <= 0x36F;
}

// The byte of `code`, or -1 when Windows-1252 has none.
int toCp1252(char32_t code) {
  if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<int>(code);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == code) return static_cast<int>(0x80 + i);
  }
  return -1;
}

void appendUnmappable(std::string& out, char32_t code, Unmappable unmappable) {
  switch (unmappable) {
    case Unmappable::kQuestionMark:
      break;
    case Unmappable::kBaseLetter:
      if (isCombiningMark(code)) return;
      if (code >= 0x100 && code < 0x250) {
        out += kLatinExtended[code - 0x100];
        return;
      }
      if (code >= 0x1E00 && code < 0x1F00) {
        out += kLatinAdditional[code - 0x1E00];
        return;
      }
      break;
    case Unmappable::kHtmlReference: {
      char reference[16];
      std::snprintf(reference, sizeof reference, "&#x%X;", static_cast<unsigned>(code));
      out += reference;
      return;
    }
  }
  out += kUnmappable;
}

void appendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    // Nothing in the table lies beyond the basic plane.
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

bool isContinuation(std::uint8_t byte) {
  return (byte & 0xC0) == 0x80;
}

}  // namespace

std::string utf8ToCp1252(std::string_view utf8, Unmappable unmappable) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<std::uint8_t>(utf8[i]);
    std::size_t length = 0;
    char32_t code = 0;
    char32_t minimum = 0;  // below it the sequence is overlong
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1F;
      minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0F;
      minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07;
      minimum = 0x10000;
    } else {
      out += kUnmappable;  // stray continuation byte or a lead byte UTF-8 never uses
      ++i;
      continue;
    }
    // A broken sequence costs one '?' and resumes at the first byte that did not fit, so a
    // truncated character never swallows the ASCII that follows it.
    std::size_t used = 1;
    while (used < length && i + used < utf8.size() &&
           isContinuation(static_cast<std::uint8_t>(utf8[i + used]))) {
      code = (code << 6) | (static_cast<std::uint8_t>(utf8[i + used]) & 0x3F);
      ++used;
    }
    i += used;
    const bool valid = used == length && code >= minimum && code <= 0x10FFFF &&
                       !(code >= 0xD800 && code <= 0xDFFF);
    if (!valid) {
      out += kUnmappable;
    } else if (const int byte = toCp1252(code); byte >= 0) {
      out += static_cast<char>(byte);
    } else {
      appendUnmappable(out, code, unmappable);
    }
  }
  return out;
}

std::string cp1252ToUtf8(std::string_view cp1252) {
  std::string out;
  out.reserve(cp1252.size() + cp1252.size() / 4);
  for (char c : cp1252) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (byte >= 0x80 && byte <= 0x9F) {
      appendUtf8(out, kHighControls[byte - 0x80]);
    } else {
      appendUtf8(out, byte);
    }
  }
  return out;
}

}  // namespace korvane::text
