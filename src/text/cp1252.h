#pragma once
// Windows-1252, the encoding of every file the tool shares with its users (profile file,
// reports, logs), against UTF-8, the encoding of our sources and of the screen models.
//
//   utf8ToCp1252("Déconnecté")   "D\xE9connect\xE9"   characters with no byte become '?',
//                                                      and so does each malformed sequence
//   cp1252ToUtf8("\x80")         "€"                  the five bytes the table leaves out
//                                                      (0x81 0x8D 0x8F 0x90 0x9D) become
//                                                      U+0081... so they survive a round trip

#include <string>
#include <string_view>

namespace korvane::text {

std::string utf8ToCp1252(std::string_view utf8);
std::string cp1252ToUtf8(std::string_view cp1252);

}  // namespace korvane::text
