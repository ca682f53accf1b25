#include "text/replace_file.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace korvane::text {

namespace fs = std::filesystem;

namespace {

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

}  // namespace

std::optional<WriteTarget> writableTarget(const fs::path& file) {
  try {
    std::error_code error;
    WriteTarget target{file};
    // Through a link, replace the file it names: replacing the link would leave that file
    // stale.
    if (fs::is_symlink(file, error)) {
      target.path = fs::weakly_canonical(file, error);
      if (error) return std::nullopt;
    }
    const fs::file_status status = fs::status(target.path, error);
    target.exists = status.type() != fs::file_type::not_found;
    if (!target.exists) return target;
    // A rename would replace a read-only file without a word (and root may write anything),
    // so the read-only mark is honoured the way Windows honours its read-only attribute.
    constexpr fs::perms anyWrite =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if (!fs::is_regular_file(status) || (status.permissions() & anyWrite) == fs::perms::none) {
      return std::nullopt;
    }
    if (!std::ofstream(target.path, std::ios::binary | std::ios::app).is_open()) {
      return std::nullopt;
    }
    target.permissions = status.permissions();
    return target;
  } catch (...) {
    return std::nullopt;
  }
}

bool replaceFile(const WriteTarget& target, std::string_view bytes) {
  try {
    const fs::path temporary = temporaryBeside(target.path);
    std::error_code error;
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (out && target.exists) fs::permissions(temporary, target.permissions, error);
    if (out && !error) fs::rename(temporary, target.path, error);
    if (!out || error) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return false;
    }
    return true;
  } catch (...) {
    return false;
  }
}

std::optional<std::string> readFile(const fs::path& file) {
  std::error_code error;
  if (!fs::is_regular_file(file, error)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return std::nullopt;
  return text;
}

}  // namespace korvane::text
