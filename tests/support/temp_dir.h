#pragma once
// A fresh folder for each test, and whole files written and read back as raw bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace korvane::testing {

class TempDirTest : public ::testing::Test {
 protected:
  TempDirTest() { std::filesystem::create_directories(dir_); }
  ~TempDirTest() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  static void put(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
  }
  static std::string bytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  const std::filesystem::path dir_ = std::filesystem::temp_directory_path() /
                                     ("korvane-test-" + std::to_string(std::random_device{}()));
};

}  // namespace korvane::testing
