#pragma once
// The pictures of the HTML report, as the fragments the page is written with (`Mod_images`).
// They travel inside the page as Base64 data, so the report is one file.
//
//   Fichier_Existe   true for an existing file that is not a folder; false otherwise,
//                    never an error
//   Init_Images      built once when the application starts: the eleven bar elements, the
//                    logo element from "para1.fin" (a PNG) and the background declaration
//                    from "para2.fin" (a JPEG, its Base64 in one piece: a CSS url() may
//                    not break) of the given folder, each empty when its file is missing or
//                    unreadable. `progress` runs every few tens of kilobytes
//                    of a large picture.
//   Image_Barre      the bar element for a chamber result in percent; "" when negative
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "reports/bar_pictures.h"

namespace korvane::reports {

struct ReportImages {
  std::string Html_Logo;  // <img alt="" src="data:image/png;base64,..." height="100" style=... />
  std::string Html_Fond;  // background-image: url(data:image/jpg;base64,...);
  std::array<std::string, kBarPictures> bars;
};

inline constexpr const char* kLogoFile = "para1.fin";
inline constexpr const char* kBackgroundFile = "para2.fin";
inline constexpr const char* kTemplateFile = "para3.fin";

bool Fichier_Existe(const std::filesystem::path& file);
ReportImages Init_Images(const std::filesystem::path& folder,
                         const std::function<void()>& progress = {});
const std::string& Image_Barre(const ReportImages& images, std::int16_t percent);

}  // namespace korvane::reports
