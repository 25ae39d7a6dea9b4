#pragma once
// The badge as a Windows icon file: one uncompressed 32-bit image with straight alpha for each
// requested size, in the order given. The overlay DLL's built-in icon holds exactly the images
// written here for DefaultBadgeColor with the outline on.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "badge/icon_file.h"
#include "common/wide.h"
#include "common/win_types.h"

namespace tarnwick {

inline constexpr int kMinIconSize = 1;
inline constexpr int kMaxIconSize = 256;

// Bytes of one image of edge p: BITMAPINFOHEADER, p² pixels, and the AND mask of p rows padded to
// whole 32-bit words.
constexpr std::uint32_t BadgeIconImageBytes(int p) {
  const auto edge = static_cast<std::uint32_t>(p);
  return 40 + 4 * edge * edge + 4 * edge * ((edge + 31) / 32);
}

// One image as it stands in the file (and as an RT_ICON resource): header, pixels of
// RenderBadge(size, color, outline), zeroed mask. Empty for a size outside 1..256.
std::vector<std::uint8_t> BadgeIconImage(int size, COLORREF color, bool outline);

// The icon directory: the 6-byte header and one 16-byte entry per size. Empty when a size lies
// outside 1..256 or the file would not fit the format's counts and offsets.
std::vector<std::uint8_t> BadgeIconDirectory(std::span<const int> sizes);

// Writes the icon file at `path`, replacing a file there only once the new one is complete: the
// bytes go to a new file beside it, which then takes the target's name. False, with the target
// untouched and nothing left behind, when a size lies outside 1..256, the folder is missing, or
// any write, the close or the replacement fails.
bool WriteBadgeIcon(const WideChar* path, COLORREF color, bool outline, std::span<const int> sizes);
bool WriteBadgeIcon(const WideChar* path, COLORREF color, bool outline, std::span<const int> sizes,
                    IconFileSystem& fileSystem);

}  // namespace tarnwick
