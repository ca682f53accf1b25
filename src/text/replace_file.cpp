#include "text/replace_file.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

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

// A file written with the system's own calls: a stream cannot say whether its bytes reached
// the disk.
class RawFile {
 public:
  enum class Mode { kNew, kTruncate };

  RawFile(const fs::path& path, Mode mode) {
#ifdef _WIN32
    const int flags = _O_WRONLY | _O_BINARY | (mode == Mode::kNew ? _O_CREAT | _O_EXCL : _O_TRUNC);
    fd_ = _wopen(path.c_str(), flags, _S_IREAD | _S_IWRITE);
#else
    const int flags = O_WRONLY | O_CLOEXEC | (mode == Mode::kNew ? O_CREAT | O_EXCL : O_TRUNC);
    fd_ = ::open(path.c_str(), flags, 0666);
#endif
  }
  RawFile(const RawFile&) = delete;
  RawFile& operator=(const RawFile&) = delete;
  ~RawFile() {
    close();
  }

  bool isOpen() const {
    return fd_ >= 0;
  }

  // Every byte, then to the disk.
  bool writeAndSync(std::string_view bytes) {
    while (!bytes.empty()) {
      const std::size_t chunk = std::min<std::size_t>(bytes.size(), 1 << 20);
#ifdef _WIN32
      const int written = _write(fd_, bytes.data(), static_cast<unsigned>(chunk));
#else
      const ssize_t written = ::write(fd_, bytes.data(), chunk);
      if (written < 0 && errno == EINTR) continue;
#endif
      if (written <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(written));
    }
#ifdef _WIN32
    return _commit(fd_) == 0;
#else
    return ::fsync(fd_) == 0;
#endif
  }

  bool setPermissions([[maybe_unused]] fs::perms permissions) {
#ifdef _WIN32
    return true;  // set by path once closed: Windows keeps only the read-only mark
#else
    return ::fchmod(fd_, static_cast<mode_t>(permissions & fs::perms::mask)) == 0;
#endif
  }

  bool close() {
    if (fd_ < 0) return true;
#ifdef _WIN32
    const bool closed = _close(fd_) == 0;
#else
    const bool closed = ::close(fd_) == 0;
#endif
    fd_ = -1;
    return closed;
  }

 private:
  int fd_ = -1;
};

// After a rename, the folder's own record of it reaches the disk too.
void syncFolder([[maybe_unused]] const fs::path& folder) {
#ifndef _WIN32
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
#endif
}

// Where `file` leads: through links, the file they name in the end, which may not exist yet.
std::optional<fs::path> linkTarget(const fs::path& file) {
  std::error_code error;  // a path that does not exist is no error here
  fs::path path = file;
  for (int hops = 0; fs::is_symlink(fs::symlink_status(path, error)); ++hops) {
    if (hops == 40) return std::nullopt;  // a loop of links
    const fs::path to = fs::read_symlink(path, error);
    if (error) return std::nullopt;
    path = to.is_absolute() ? to : path.parent_path() / to;
  }
  return path;
}

}  // namespace

std::optional<WriteTarget> writableTarget(const fs::path& file) {
  try {
    std::error_code error;
    // Through a link, replace the file it names: replacing the link would leave that file
    // stale, or the link pointing at nothing.
    const std::optional<fs::path> path = linkTarget(file);
    if (!path) return std::nullopt;
    WriteTarget target{*path};
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
    RawFile out(temporary, RawFile::Mode::kNew);
    if (!out.isOpen()) {
      // A file we may write in a folder we may not: written in place, as any editor does.
      if (!target.exists) return false;
      RawFile inPlace(target.path, RawFile::Mode::kTruncate);
      return inPlace.isOpen() && inPlace.writeAndSync(bytes) && inPlace.close();
    }
    bool done = out.writeAndSync(bytes);
    if (done && target.exists) done = out.setPermissions(target.permissions);
    done = out.close() && done;
    std::error_code error;
#ifdef _WIN32
    if (done && target.exists) fs::permissions(temporary, target.permissions, error);
#endif
    if (done && !error) fs::rename(temporary, target.path, error);
    if (!done || error) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return false;
    }
    syncFolder(target.path.parent_path());
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
