#include "reports/bar_pictures.h"

#include <png.h>

#include <array>

namespace korvane::reports {
namespace {

constexpr int kWidth = 100;
constexpr int kHeight = 10;

struct Bar {
  png_byte r, g, b;
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

using Pixels = std::array<std::array<png_byte, 4 * kWidth>, kHeight>;

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
  bool failed = false;
  try {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
  } catch (...) {
    failed = true;  // an exception must not cross libpng's C frames
  }
  if (failed) png_error(png, "out of memory");
}

void flushNothing(png_structp) {}

// libpng leaves this function by longjmp on an error, so no object with a destructor may
// live in it; the caller owns the text and the pixels.
bool writePng(std::string* out, Pixels& pixels) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  std::array<png_bytep, kHeight> rows{};
  for (int y = 0; y < kHeight; ++y)
    rows[y] = pixels[y].data();
  png_set_write_fn(png, out, appendBytes, flushNothing);
  png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_gAMA_fixed(png, info, 45455);  // 1/2.2, as the chunk stores it
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

int barIndex(int percent) {
  if (percent < 0) return -1;
  return percent >= 100 ? 10 : percent / 10;
}

std::string barPng(int index) {
  if (index < 0 || index >= kBarPictures) return {};
  const Bar& bar = kBars[index];
  Pixels pixels;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const bool frame = y == 0 || y == kHeight - 1 || x == 0 || x == kWidth - 1;
      const bool full = frame || x < bar.coloured;
      png_byte* p = &pixels[y][4 * x];
      p[0] = full ? bar.r : 255;
      p[1] = full ? bar.g : 191;
      p[2] = full ? bar.b : 191;
      p[3] = 255;
    }
  }
  std::string png;
  if (!writePng(&png, pixels)) return {};
  return png;
}

}  // namespace korvane::reports
