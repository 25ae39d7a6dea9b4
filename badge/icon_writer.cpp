#include "badge/icon_writer.h"

#include <atomic>
#include <limits>
#include <new>

#include "badge/badge.h"

namespace tarnwick {
namespace {

constexpr std::size_t kDirectoryHeaderBytes = 6;
constexpr std::size_t kDirectoryEntryBytes = 16;
constexpr std::uint32_t kInfoHeaderBytes = 40;
// Attempts at a temporary name before giving up; another only helps when an earlier run of a
// process with our id left its file behind.
constexpr int kTemporaryNameAttempts = 4;

void Put16(std::uint8_t* at, std::uint32_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(std::uint8_t* at, std::uint32_t value) {
  Put16(at, value);
  Put16(at + 2, value >> 16);
}

bool ValidSize(int size) { return size >= kMinIconSize && size <= kMaxIconSize; }

// "<target>.<process id>-<n>.tmp" in hex: the same folder as the target, so the final rename
// stays on one volume and is a single step.
WideString TemporaryPath(const WideChar* target, std::uint32_t processId, std::uint32_t n) {
  WideString path(target);
  auto appendHex = [&](std::uint32_t value) {
    WideChar digits[8];
    int count = 0;
    do {
      digits[count++] = static_cast<WideChar>(WIDE("0123456789abcdef")[value % 16]);
      value /= 16;
    } while (value != 0);
    while (count > 0) path.push_back(digits[--count]);
  };
  path.push_back(WIDE('.'));
  appendHex(processId);
  path.push_back(WIDE('-'));
  appendHex(n);
  path.append(WIDE(".tmp"));
  return path;
}

std::atomic<std::uint32_t> temporaryCounter{0};

bool WriteContents(FileSink& sink, const std::vector<std::uint8_t>& directory, COLORREF color,
                   bool outline, std::span<const int> sizes) {
  if (!sink.Write(directory.data(), directory.size())) return false;
  for (int size : sizes) {
    // One image at a time: its bytes are released before the next is rendered.
    const std::vector<std::uint8_t> image = BadgeIconImage(size, color, outline);
    if (!sink.Write(image.data(), image.size())) return false;
  }
  return true;
}

}  // namespace

std::vector<std::uint8_t> BadgeIconImage(int size, COLORREF color, bool outline) {
  if (!ValidSize(size)) return {};
  const auto edge = static_cast<std::uint32_t>(size);
  std::vector<std::uint8_t> image(BadgeIconImageBytes(size), 0);

  std::uint8_t* header = image.data();
  Put32(header + 0, kInfoHeaderBytes);
  Put32(header + 4, edge);
  Put32(header + 8, 2 * edge);  // colour bitmap and mask, one above the other
  Put16(header + 12, 1);
  Put16(header + 14, 32);
  Put32(header + 16, 0);  // BI_RGB
  Put32(header + 20, 4 * edge * edge);

  const BadgePixels pixels = RenderBadge(size, color, outline);
  std::uint8_t* out = header + kInfoHeaderBytes;
  for (std::uint32_t pixel : pixels) {
    Put32(out, pixel);
    out += 4;
  }
  // The mask stays zero: the alpha bytes alone make the edges transparent.
  return image;
}

std::vector<std::uint8_t> BadgeIconDirectory(std::span<const int> sizes) {
  if (sizes.size() > std::numeric_limits<std::uint16_t>::max()) return {};
  const std::size_t count = sizes.size();
  std::vector<std::uint8_t> directory(kDirectoryHeaderBytes + kDirectoryEntryBytes * count, 0);
  Put16(directory.data() + 2, 1);  // icon, not cursor
  Put16(directory.data() + 4, static_cast<std::uint32_t>(count));

  std::uint64_t offset = directory.size();
  std::uint8_t* entry = directory.data() + kDirectoryHeaderBytes;
  for (int size : sizes) {
    if (!ValidSize(size)) return {};
    const std::uint32_t bytes = BadgeIconImageBytes(size);
    if (offset + bytes > std::numeric_limits<std::uint32_t>::max()) return {};
    const auto widthByte = static_cast<std::uint8_t>(size == 256 ? 0 : size);
    entry[0] = widthByte;
    entry[1] = widthByte;
    Put16(entry + 4, 1);   // planes
    Put16(entry + 6, 32);  // bits per pixel
    Put32(entry + 8, bytes);
    Put32(entry + 12, static_cast<std::uint32_t>(offset));
    offset += bytes;
    entry += kDirectoryEntryBytes;
  }
  return directory;
}

bool WriteBadgeIcon(const WideChar* path, COLORREF color, bool outline,
                    std::span<const int> sizes) {
  return WriteBadgeIcon(path, color, outline, sizes, SystemIconFileSystem());
}

bool WriteBadgeIcon(const WideChar* path, COLORREF color, bool outline, std::span<const int> sizes,
                    IconFileSystem& fileSystem) {
  if (path == nullptr || *path == 0) return false;
  std::vector<std::uint8_t> directory;
  WideString temporary;
  std::unique_ptr<FileSink> sink;
  try {
    // Checked before any file exists: a bad list changes nothing on disk.
    directory = BadgeIconDirectory(sizes);
    if (directory.empty()) return false;
    const std::uint32_t processId = fileSystem.ProcessId();
    for (int attempt = 0; attempt < kTemporaryNameAttempts && !sink; ++attempt) {
      temporary = TemporaryPath(path, processId, temporaryCounter.fetch_add(1));
      sink = fileSystem.CreateNew(temporary.c_str());
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!sink) return false;

  bool written = false;
  try {
    written = WriteContents(*sink, directory, color, outline, sizes);
  } catch (const std::bad_alloc&) {
    written = false;
  }
  // The close is checked too: data held back by the system meets a full disk there at the latest.
  const bool closed = sink->Close();
  sink.reset();
  if (written && closed && fileSystem.Replace(temporary.c_str(), path)) return true;
  fileSystem.Remove(temporary.c_str());
  return false;
}

}  // namespace tarnwick
