// Small file helpers for tests that work on a real temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace tessevin::testing {

inline std::string read_all(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Whole-file comparison that reports sizes, not the bytes of a library.
inline ::testing::AssertionResult holds_bytes(const std::filesystem::path& path,
                                              std::string_view expected) {
  const std::string actual = read_all(path);
  if (actual == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << path << " holds " << actual.size()
                                       << " bytes that differ from the " << expected.size()
                                       << " expected";
}

// Writes `bytes` with no locking of our own, creating the folders on the way.
inline void write_plain(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace tessevin::testing
