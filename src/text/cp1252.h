#pragma once
// Windows-1252, the encoding of every file the tool shares with its users (profile file,
// reports, logs), against UTF-8, the encoding of our sources and of the screen models.
//
//   utf8ToCp1252("Déconnecté")   "D\xE9connect\xE9"   characters with no byte become '?',
//                                                      and so does each malformed sequence
//   utf8ToCp1252("Nguyễn", kBaseLetter)     "Nguyen"   the letter without its accents
//   utf8ToCp1252("Nguyễn", kHtmlReference)  "Nguy&#x1EC5;n"
//   cp1252ToUtf8("\x80")         "€"                  the five bytes the table leaves out
//                                                      (0x81 0x8D 0x8F 0x90 0x9D) become
//                                                      U+0081... so they survive a round trip

#include <string>
#include <string_view>

namespace korvane::text {

// What a character with no byte in Windows-1252 becomes.
enum class Unmappable {
  kQuestionMark,   // '?', as Windows' own conversions write it
  kBaseLetter,     // a Latin letter without its accents; an accent left on its own (a
                   // combining mark) is dropped; anything else '?'
  kHtmlReference,  // a numeric character reference, which a web page shows as typed
};

std::string utf8ToCp1252(std::string_view utf8, Unmappable unmappable = Unmappable::kQuestionMark);
std::string cp1252ToUtf8(std::string_view cp1252);

}  // namespace korvane::text
