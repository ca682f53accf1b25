#pragma once
// How the tool writes a file: whole, through a temporary file beside it renamed over it, so
// that a failure never leaves it half written, and flushed to the disk, the temporary file
// before the rename and the folder after it, so that a power cut never leaves an empty file
// where a good one stood. And how it reads one: whole.
//
//   readFile         the bytes of a regular file (a pipe or a device under that name would
//                    hang the tool), or nothing when it cannot be read
//   writableTarget   the file to replace (through links, the file they name, which may not
//                    exist yet), or nothing when it may not be written: not a regular file,
//                    or marked read-only
//   replaceFile      writes the bytes and puts them in place; false on any failure, with
//                    the original untouched and no temporary file left behind. A file we
//                    may write in a folder we may not (no temporary file can be made there)
//                    is written in place instead.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace korvane::text {

struct WriteTarget {
  std::filesystem::path path;
  bool exists = false;
  std::filesystem::perms permissions = std::filesystem::perms::unknown;  // kept when it exists
};

std::optional<WriteTarget> writableTarget(const std::filesystem::path& file);
bool replaceFile(const WriteTarget& target, std::string_view bytes);
std::optional<std::string> readFile(const std::filesystem::path& file);

}  // namespace korvane::text
