#include "reports/report_images.h"

#include <optional>
#include <system_error>

#include "reports/base64.h"

namespace korvane::reports {

namespace fs = std::filesystem;

bool Fichier_Existe(const fs::path& file) {
  std::error_code error;
  return fs::is_regular_file(file, error);
}

ReportImages Init_Images(const fs::path& folder, const std::function<void()>& progress) {
  ReportImages images;
  for (int i = 0; i < kBarPictures; ++i) {
    images.bars[static_cast<std::size_t>(i)] =
        "<img alt=\"\" src=\"data:image/png;base64," + base64Line(barPng(i)) + "\" />";
  }
  auto encoded = [&](const char* name) -> std::optional<std::string> {
    const fs::path file = folder / name;
    if (!Fichier_Existe(file)) return std::nullopt;
    return Base64_Fichier(file, progress);
  };
  if (auto logo = encoded(kLogoFile)) {
    images.Html_Logo = "<img alt=\"\" src=\"data:image/png;base64," + *logo +
                       "\" height=\"100\" style=\"max-height:80px;max-width:300px;\" />";
  }
  if (auto background = encoded(kBackgroundFile)) {
    // A browser drops a CSS url() with line breaks in it, and the page its background: this
    // one is written in one piece. The logo's, in an attribute, keeps them.
    std::erase_if(*background, [](char c) { return c == '\r' || c == '\n'; });
    images.Html_Fond = "background-image: url(data:image/jpg;base64," + *background + ");";
  }
  return images;
}

const std::string& Image_Barre(const ReportImages& images, std::int16_t percent) {
  static const std::string kNone;
  const int index = barIndex(percent);
  return index < 0 ? kNone : images.bars[static_cast<std::size_t>(index)];
}

}  // namespace korvane::reports
