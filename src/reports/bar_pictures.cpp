#include "reports/bar_pictures.h"

#include <zlib.h>

#include <array>
#include <cstdint>
#include <string_view>

namespace korvane::reports {
namespace {

constexpr int kWidth = 100;
constexpr int kHeight = 10;
constexpr std::uint32_t kGamma = 45455;  // 1/2.2, as the gAMA chunk stores it

struct Bar {
  std::uint8_t r, g, b;
  int coloured;  // columns in the bar colour, the frame's first column included
};

constexpr std::array<Bar, kBarPictures> kBars{{{28, 209, 1, 100},
                                               {109, 251, 4, 90},
                                               {179, 254, 1, 80},
                                               {202, 252, 3, 70},
                                               {255, 236, 0, 60},
                                               {255, 172, 0, 50},
                                               {254, 108, 1, 40},
                                               {254, 83, 1, 30},
                                               {254, 52, 1, 20},
                                               {255, 26, 26, 10},
                                               {255, 0, 0, 1}}};

void appendBigEndian(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out += static_cast<char>((value >> shift) & 0xff);
}

// A chunk is its length, its type, its data, then the CRC-32 of type and data.
void appendChunk(std::string& out, std::string_view type, std::string_view data) {
  appendBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeAt = out.size();
  out += type;
  out += data;
  const auto* checked = reinterpret_cast<const Bytef*>(out.data() + typeAt);
  appendBigEndian(out, static_cast<std::uint32_t>(crc32(crc32(0L, Z_NULL, 0), checked,
                                                        static_cast<uInt>(4 + data.size()))));
}

// Each row is its filter byte (0: the bytes as they are) then its RGBA pixels.
std::string scanlines(const Bar& bar) {
  std::string rows;
  for (int y = 0; y < kHeight; ++y) {
    rows += '\0';
    for (int x = 0; x < kWidth; ++x) {
      const bool frame = y == 0 || y == kHeight - 1 || x == 0 || x == kWidth - 1;
      const bool full = frame || x < bar.coloured;
      rows += static_cast<char>(full ? bar.r : 255);
      rows += static_cast<char>(full ? bar.g : 191);
      rows += static_cast<char>(full ? bar.b : 191);
      rows += static_cast<char>(255);
    }
  }
  return rows;
}

}  // namespace

int barIndex(int percent) {
  if (percent < 0) return -1;
  return percent >= 100 ? 10 : percent / 10;
}

std::string barPng(int index) {
  if (index < 0 || index >= kBarPictures) return {};
  const std::string rows = scanlines(kBars[index]);
  uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
  std::string packed(packedSize, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                reinterpret_cast<const Bytef*>(rows.data()), static_cast<uLong>(rows.size()),
                Z_BEST_COMPRESSION) != Z_OK) {
    return {};
  }
  packed.resize(packedSize);

  std::string header;
  appendBigEndian(header, kWidth);
  appendBigEndian(header, kHeight);
  header += std::string_view("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, deflate, filter 0, no
                                                          // interlace
  std::string gamma;
  appendBigEndian(gamma, kGamma);

  std::string png("\x89PNG\r\n\x1a\n", 8);
  appendChunk(png, "IHDR", header);
  appendChunk(png, "gAMA", gamma);
  appendChunk(png, "IDAT", packed);
  appendChunk(png, "IEND", {});
  return png;
}

}  // namespace korvane::reports
