#pragma once
// Base64 (RFC 4648, section 4) for the pictures that travel inside the HTML report, so that
// the report stays one file.
//
//   Base64_Bloc      one to three bytes -> their four characters ("=" fills a short block);
//                    an empty or longer block gives ""
//   base64Line       any bytes, in one line with no breaks (the report's small constant
//                    pictures)
//   Base64_Fichier   the whole file, with CR LF after every 72 characters (a text whose
//                    length is a multiple of 72 ends with CR LF; an empty file gives "").
//                    It streams the file in large blocks and calls `progress`, when given,
//                    every few tens of kilobytes, so a window can stay responsive on a large
//                    picture. Returns nothing when the file cannot be opened or read.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace korvane::reports {

std::string Base64_Bloc(std::string_view block);
std::string base64Line(std::string_view bytes);
std::optional<std::string> Base64_Fichier(const std::filesystem::path& file,
                                          const std::function<void()>& progress = {});

}  // namespace korvane::reports
