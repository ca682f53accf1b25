#include "reports/base64.h"

#include <array>
#include <cstring>
#include <fstream>
#include <memory>
#include <system_error>

namespace korvane::reports {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Every 12-bit value as its two characters: a group of three bytes then costs two lookups.
constexpr std::array<char, 2 * 4096> kPairs = [] {
  std::array<char, 2 * 4096> pairs{};
  for (int v = 0; v < 4096; ++v) {
    pairs[2 * v] = kAlphabet[v >> 6];
    pairs[2 * v + 1] = kAlphabet[v & 63];
  }
  return pairs;
}();

constexpr std::size_t kLineBytes = 54;  // 72 characters
constexpr std::size_t kLineChars = 72;
// A whole number of lines, so that every block but the last ends on a line break.
constexpr std::size_t kBlockBytes = 1024 * kLineBytes;

std::size_t encodedSize(std::size_t bytes) {
  const std::size_t chars = (bytes + 2) / 3 * 4;
  return chars + 2 * (chars / kLineChars);
}

// Encodes whole groups of three bytes; returns the end of the written text.
char* encodeGroups(const unsigned char* in, std::size_t groups, char* out) {
  for (const unsigned char* end = in + 3 * groups; in != end; in += 3, out += 4) {
    const unsigned v = unsigned(in[0]) << 16 | unsigned(in[1]) << 8 | in[2];
    std::memcpy(out, &kPairs[2 * (v >> 12)], 2);
    std::memcpy(out + 2, &kPairs[2 * (v & 0xFFF)], 2);
  }
  return out;
}

// One to three bytes: the last group, filled with "=".
char* encodeTail(const unsigned char* in, std::size_t n, char* out) {
  const unsigned v =
      unsigned(in[0]) << 16 | (n > 1 ? unsigned(in[1]) << 8 : 0u) | (n > 2 ? unsigned(in[2]) : 0u);
  out[0] = kAlphabet[v >> 18];
  out[1] = kAlphabet[(v >> 12) & 63];
  out[2] = n > 1 ? kAlphabet[(v >> 6) & 63] : '=';
  out[3] = n > 2 ? kAlphabet[v & 63] : '=';
  return out + 4;
}

// Any number of bytes starting on a line boundary: full lines, then the rest.
char* encodeLines(const unsigned char* in, std::size_t n, char* out) {
  for (; n >= kLineBytes; in += kLineBytes, n -= kLineBytes) {
    out = encodeGroups(in, kLineBytes / 3, out);
    *out++ = '\r';
    *out++ = '\n';
  }
  out = encodeGroups(in, n / 3, out);
  if (n % 3 != 0) out = encodeTail(in + n / 3 * 3, n % 3, out);
  // 52 or 53 bytes still fill a line of 72 characters.
  if (n > kLineBytes - 3) {
    *out++ = '\r';
    *out++ = '\n';
  }
  return out;
}

}  // namespace

std::string Base64_Bloc(std::string_view block) {
  if (block.empty() || block.size() > 3) return {};
  std::string text(4, '\0');
  encodeTail(reinterpret_cast<const unsigned char*>(block.data()), block.size(), text.data());
  return text;
}

std::string base64Line(std::string_view bytes) {
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t groups = bytes.size() / 3;
  std::string text((bytes.size() + 2) / 3 * 4, '\0');
  char* out = encodeGroups(in, groups, text.data());
  if (bytes.size() % 3 != 0) encodeTail(in + 3 * groups, bytes.size() % 3, out);
  return text;
}

std::optional<std::string> Base64_Fichier(const std::filesystem::path& file,
                                          const std::function<void()>& progress) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;

  std::string text;
  std::error_code ec;
  const auto size = std::filesystem::file_size(file, ec);
  if (!ec) text.reserve(encodedSize(size));  // a file that changes size meanwhile still works

  const auto bytes = std::make_unique<unsigned char[]>(kBlockBytes);
  const auto chars = std::make_unique<char[]>(encodedSize(kBlockBytes));
  while (in) {
    in.read(reinterpret_cast<char*>(bytes.get()), kBlockBytes);
    const auto n = static_cast<std::size_t>(in.gcount());
    if (in.bad()) return std::nullopt;  // a read error, or a folder opened as a file
    if (n == 0) break;
    text.append(chars.get(), encodeLines(bytes.get(), n, chars.get()));
    if (progress) progress();
  }
  return text;
}

}  // namespace korvane::reports
