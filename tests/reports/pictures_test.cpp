#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <random>

#include "reports/bar_pictures.h"
#include "reports/base64.h"
#include "support/temp_dir.h"

namespace korvane::reports {
namespace {

class Base64 : public testing::TempDirTest {};

TEST_F(Base64, BlocksAndFilesWithTheirLineBreaks) {
  // RFC 4648's vectors, of the first 0 to 6 bytes of "foobar".
  const std::string rfc[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
  for (std::size_t n = 0; n < std::size(rfc); ++n) {
    const std::string bytes = std::string("foobar").substr(0, n);
    EXPECT_EQ(Base64_Bloc(bytes), n <= 3 ? rfc[n] : "");
    put(dir_ / "f", bytes);
    EXPECT_EQ(Base64_Fichier(dir_ / "f"), rfc[n]);
  }
  // Against the plain way, group by group: the lines around 72 characters, the last short
  // group, and a file of several reading blocks.
  std::string big(200'000, '\0');
  std::generate(big.begin(), big.end(), std::mt19937(7));
  for (std::size_t n : {53, 54, 108, 200'000}) {
    std::string text;
    for (std::size_t i = 0; i < n; i += 3) {
      text += Base64_Bloc(big.substr(i, std::min<std::size_t>(3, n - i)));
      if (text.size() % 74 == 72) text += "\r\n";
    }
    put(dir_ / "f", big.substr(0, n));
    int calls = 0;
    EXPECT_EQ(Base64_Fichier(dir_ / "f", [&] { ++calls; }), text) << n;
    EXPECT_TRUE(calls >= 1 && calls <= 10) << calls;  // per block read, not per three bytes
  }
  EXPECT_EQ(Base64_Fichier(dir_ / "absent"), std::nullopt);
  EXPECT_EQ(Base64_Fichier(dir_), std::nullopt);
}

std::uint32_t bigEndian(const std::string& bytes, std::size_t at) {
  return std::uint32_t(std::uint8_t(bytes[at])) << 24 | std::uint8_t(bytes[at + 1]) << 16 |
         std::uint8_t(bytes[at + 2]) << 8 | std::uint8_t(bytes[at + 3]);
}

// The pixels of one of our pictures (ten unfiltered rows), or "" when a chunk's CRC is wrong.
std::string decode(const std::string& file) {
  std::string packed;
  for (std::size_t at = 8, length; at + 12 <= file.size(); at += 12 + length) {
    length = bigEndian(file, at);
    const auto* typeAndData = reinterpret_cast<const Bytef*>(&file[at + 4]);
    if (bigEndian(file, at + 8 + length) != crc32(0, typeAndData, length + 4)) return {};
    if (file.compare(at + 4, 4, "IDAT") == 0) packed += file.substr(at + 8, length);
  }
  std::string rows(10 * 401, '\0'), pixels;
  uLongf size = rows.size();
  uncompress(reinterpret_cast<Bytef*>(rows.data()), &size,
             reinterpret_cast<const Bytef*>(packed.data()), packed.size());
  for (std::size_t row = 0; row < rows.size(); row += 401)
    pixels += rows[row] == '\0' ? rows.substr(row + 1, 400) : "";
  return pixels;
}

TEST(BarPictures, FrameAndBarPerResult) {
  // percent, bar colour, coloured columns
  const int cases[][5] = {{0, 28, 209, 1, 100},
                          {5, 28, 209, 1, 100},
                          {45, 255, 236, 0, 60},
                          {100, 255, 0, 0, 1},
                          {150, 255, 0, 0, 1}};
  for (const auto& c : cases) {
    std::string expected;
    for (int i = 0; i < 1000; ++i) {
      const bool bar = i < 100 || i >= 900 || i % 100 == 99 || i % 100 < c[4];
      expected +=
          bar ? std::string{char(c[1]), char(c[2]), char(c[3]), '\xff'} : "\xff\xbf\xbf\xff";
    }
    const std::string file = barPng(barIndex(c[0]));
    EXPECT_EQ(decode(file), expected) << c[0];
    EXPECT_EQ(file.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(file.substr(12, 14), std::string("IHDR\0\0\0\x64\0\0\0\x0a\x08\x06", 14));
    EXPECT_EQ(file.substr(file.find("gAMA"), 8), std::string("gAMA\0\0\xb1\x8f", 8));
  }
  EXPECT_EQ(barIndex(-1), -1);
}

}  // namespace
}  // namespace korvane::reports
