#pragma once
// Files and digests for the badge tests, alike on both builds.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "common/wide.h"

namespace tarnwick::testing {

namespace fs = std::filesystem;

using Bytes = std::vector<std::uint8_t>;

inline WideString WidePath(const fs::path& path) {
#if defined(_WIN32)
  return path.wstring();
#else
  return WideFromUtf8(path.string());
#endif
}

inline Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// Names of everything in a folder, sorted.
inline std::vector<std::string> FolderContents(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// An empty folder of the test's own, removed at the end; the random part keeps runs of the
// same test in different build trees apart.
class ScratchFolder {
 public:
  ScratchFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ =
        fs::temp_directory_path() / ("tarnwick-badge-" + std::to_string(std::random_device()()) +
                                     "-" + info->test_suite_name() + "-" + info->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }

  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// 64-bit FNV-1a: a digest both builds compute alike, to compare bytes with a checked-in constant.
class Fnv1a64 {
 public:
  void Add(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
      hash_ = (hash_ ^ data[i]) * 0x100000001B3u;
    }
  }
  void Add(const Bytes& bytes) { Add(bytes.data(), bytes.size()); }
  std::uint64_t Value() const { return hash_; }

 private:
  std::uint64_t hash_ = 0xCBF29CE484222325u;
};

}  // namespace tarnwick::testing
