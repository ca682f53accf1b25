#include "reports/measures_log.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>

#include "text/cp1252.h"

namespace korvane::reports {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::string logText(const std::vector<std::string>& lines) {
  std::string text;
  auto put = [&text](std::string_view line) {
    text += text::utf8ToCp1252(line);
    text += kLineEnd;
  };
  if (!lines.empty()) {
    put("");
    for (const std::string& line : lines)
      put(line);
    put("");
    put(kMeasuresLogSeparator);
  }
  put("Nb de points : " + std::to_string(lines.size()));
  return text;
}

std::string displayName(const fs::path& file) {
  const std::u8string name = file.u8string();
  return {reinterpret_cast<const char*>(name.data()), name.size()};
}

// Beside the target, so that the rename stays on one file system and replaces it in one step.
fs::path temporaryBeside(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  std::error_code error;
  fs::path temporary;
  do {
    fs::path name = target.filename();
    name += ".tmp" + std::to_string(stamp % 100000) + "-" + std::to_string(counter++);
    temporary = target.parent_path() / name;
  } while (fs::exists(temporary, error));
  return temporary;
}

// A rename would replace a read-only file without a word (and root may write anything), so
// the read-only mark is honoured as Windows honours its read-only attribute. An existing
// file's permissions are kept on the new one.
bool replaceFile(const fs::path& file, const std::string& text) {
  // A target not there yet reports "not found": that is no error here, hence `ignored`.
  std::error_code ignored;
  fs::path target = file;
  // Through a link, replace the file it names: replacing the link would leave that file stale.
  if (fs::is_symlink(file, ignored)) {
    std::error_code error;
    target = fs::weakly_canonical(file, error);
    if (error) return false;
  }
  const fs::file_status status = fs::status(target, ignored);
  std::optional<fs::perms> permissions;
  if (status.type() != fs::file_type::not_found) {
    constexpr fs::perms anyWrite =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if (!fs::is_regular_file(status) || (status.permissions() & anyWrite) == fs::perms::none) {
      return false;
    }
    permissions = status.permissions();
  }
  const fs::path temporary = temporaryBeside(target);
  std::error_code error;
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (out && permissions) fs::permissions(temporary, *permissions, error);
  if (out && !error) fs::rename(temporary, target, error);
  if (!out || error) {
    fs::remove(temporary, ignored);
    return false;
  }
  return true;
}

}  // namespace

bool saveMeasuresLog(const fs::path& file, const std::vector<std::string>& lines,
                     std::string& error) {
  try {
    if (replaceFile(file, logText(lines))) return true;
    error = "Impossible d'enregistrer le fichier " + displayName(file) + ".";
  } catch (...) {
    error = "Impossible d'enregistrer le fichier.";
  }
  return false;
}

}  // namespace korvane::reports
