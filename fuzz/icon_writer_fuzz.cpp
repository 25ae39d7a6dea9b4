// The icon writer over any list of sizes, on a file system in memory that can fail a write, the
// close or the final rename. Sizes outside 1-256 are refused before any file exists; otherwise a
// write that fails nowhere replaces the target with an icon that reads back, by the format alone,
// with exactly the sizes asked for, and any failure leaves the previous file alone and whole.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "badge/icon_writer.h"
#include "fuzz/fuzz_property.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Files = std::map<WideString, Bytes>;

struct Failures {
  std::size_t writeBudget;  // bytes the disk takes before it is full
  bool close;
  bool replace;
};

class MemoryFileSystem final : public tarnwick::IconFileSystem {
 public:
  MemoryFileSystem(Files& files, Failures& failures) : files_(files), failures_(failures) {}

  std::unique_ptr<tarnwick::FileSink> CreateNew(const WideChar* path) override {
    if (!files_.emplace(path, Bytes()).second) return nullptr;
    return std::make_unique<Sink>(files_[path], failures_);
  }
  bool Replace(const WideChar* from, const WideChar* to) noexcept override {
    if (failures_.replace || files_.count(from) == 0) return false;
    files_[to] = std::move(files_[from]);
    files_.erase(from);
    return true;
  }
  void Remove(const WideChar* path) noexcept override { files_.erase(path); }
  std::uint32_t ProcessId() noexcept override { return 4242; }

 private:
  struct Sink final : tarnwick::FileSink {
    Sink(Bytes& file, Failures& failures) : file(file), failures(failures) {}
    bool Write(const std::uint8_t* data, std::size_t size) override {
      const std::size_t taken = std::min(size, failures.writeBudget);
      failures.writeBudget -= taken;
      file.insert(file.end(), data, data + taken);
      return taken == size;
    }
    bool Close() override { return !failures.close; }
    Bytes& file;
    Failures& failures;
  };

  Files& files_;
  Failures& failures_;
};

std::uint32_t Read(const Bytes& file, std::size_t at, int width) {
  std::uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i)
    value = value << 8 | file.at(at + static_cast<std::size_t>(i));
  return value;
}

// The icon file's layout, read by the format's own rules: its sizes when every field is as the
// format wants it for a 32-bit icon of square images with empty masks, nothing otherwise.
std::optional<std::vector<int>> IconSizes(const Bytes& file) {
  if (file.size() < 6 || Read(file, 0, 2) != 0 || Read(file, 2, 2) != 1) return std::nullopt;
  const std::uint32_t count = Read(file, 4, 2);
  std::vector<int> sizes;
  std::size_t next = 6 + 16 * std::size_t{count};
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t entry = 6 + 16 * std::size_t{i};
    if (file.size() < entry + 16) return std::nullopt;
    const std::uint32_t edge = file[entry] == 0 ? 256 : file[entry];
    const std::uint32_t maskRow = (edge + 31) / 32 * 4;
    const std::uint32_t bytes = 40 + 4 * edge * edge + maskRow * edge;
    if (file[entry + 1] != file[entry] || Read(file, entry + 2, 2) != 0 ||
        Read(file, entry + 4, 2) != 1 || Read(file, entry + 6, 2) != 32 ||
        Read(file, entry + 8, 4) != bytes || Read(file, entry + 12, 4) != next ||
        file.size() < next + bytes) {
      return std::nullopt;
    }
    const std::uint32_t header[] = {40, edge, 2 * edge, 1 | 32 << 16, 0, 4 * edge * edge, 0,
                                    0,  0,    0};
    for (std::size_t k = 0; k < 10; ++k) {
      if (Read(file, next + 4 * k, 4) != header[k]) return std::nullopt;
    }
    const auto mask = file.begin() + static_cast<std::ptrdiff_t>(next + 40 + 4 * edge * edge);
    if (!std::all_of(mask, mask + maskRow * edge, [](std::uint8_t b) { return b == 0; })) {
      return std::nullopt;
    }
    sizes.push_back(static_cast<int>(edge));
    next += bytes;
  }
  if (file.size() != next) return std::nullopt;
  return sizes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const COLORREF color = input.ConsumeIntegral<COLORREF>();
  const bool outline = input.ConsumeBool();
  std::vector<int> sizes(input.ConsumeIntegralInRange(0, 6));
  for (int& edge : sizes) {
    edge =
        input.ConsumeBool() ? input.ConsumeIntegralInRange(-2, 260) : input.ConsumeIntegral<int>();
  }
  Failures failures{std::numeric_limits<std::size_t>::max(), false, false};
  switch (input.ConsumeIntegralInRange(0, 7)) {
    case 0:
      failures.writeBudget = input.ConsumeIntegral<std::uint16_t>();
      break;
    case 1:
      failures.close = true;
      break;
    case 2:
      failures.replace = true;
      break;
    default:
      break;
  }
  const WideString target = WIDE("C:\\Users\\u\\AppData\\Roaming\\Tarnwick\\badge.ico");
  Files files;
  if (input.ConsumeBool()) files[target] = Bytes(100, 0xEE);
  const Files before = files;
  const Failures planned = failures;

  MemoryFileSystem fileSystem(files, failures);
  const bool written = tarnwick::WriteBadgeIcon(target.c_str(), color, outline, sizes, fileSystem);
  const bool allowed =
      std::all_of(sizes.begin(), sizes.end(), [](int s) { return s >= 1 && s <= 256; });
  std::size_t bytes = 6 + 16 * sizes.size();
  for (const int edge : sizes) {
    const std::size_t p = allowed ? static_cast<std::size_t>(edge) : 0;
    bytes += 40 + 4 * p * p + (p + 31) / 32 * 4 * p;
  }
  FUZZ_PROPERTY(written ==
                (allowed && bytes <= planned.writeBudget && !planned.close && !planned.replace));
  if (!written) {
    FUZZ_PROPERTY(files == before);
    return 0;
  }
  FUZZ_PROPERTY(files.size() == 1 && files.count(target) == 1);
  FUZZ_PROPERTY(IconSizes(files[target]) == sizes);
  return 0;
}
