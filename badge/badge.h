#pragma once
// The badge: a disc in the chosen colour in the bottom-left corner of the icon square, a white
// lower-case "t" in it and, on request, a thin white outline. Pure computation, the same bytes on
// every platform for the same inputs.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/win_types.h"

namespace tarnwick {

// Red 46, green 125, blue 91.
inline constexpr COLORREF DefaultBadgeColor = 0x005B7D2E;

// The images of every badge icon, in file order.
inline constexpr std::array<int, 6> BadgeIconSizes = {16, 20, 24, 32, 48, 64};

// size × size pixels 0xAARRGGBB (little-endian bytes blue, green, red, alpha), straight alpha,
// rows bottom-up as in a DIB: image row y is array row size − 1 − y.
using BadgePixels = std::vector<std::uint32_t>;

namespace detail {

// One run of set cells per glyph row: rows first..last, columns left..right, all inclusive.
struct GlyphRun {
  int firstRow;
  int lastRow;
  int left;
  int right;
};

inline constexpr GlyphRun kGlyphRuns[] = {
    {36, 47, 52, 64}, {48, 54, 45, 81}, {55, 68, 52, 64}, {69, 72, 52, 65}, {73, 73, 52, 66},
    {74, 74, 52, 67}, {75, 75, 53, 68}, {76, 76, 53, 69}, {77, 77, 53, 70}, {78, 79, 54, 76},
    {80, 80, 55, 76}, {81, 82, 56, 76}, {83, 83, 57, 76}, {84, 84, 58, 76}, {85, 85, 59, 76},
    {86, 86, 61, 76}, {87, 87, 62, 76}, {88, 88, 64, 76}, {89, 89, 67, 76},
};

inline constexpr int kGlyphEdge = 128;
inline constexpr int kGlyphRowBytes = kGlyphEdge / 8;

constexpr std::array<std::uint8_t, kGlyphEdge * kGlyphRowBytes> MakeGlyphMask() {
  std::array<std::uint8_t, kGlyphEdge * kGlyphRowBytes> mask{};
  for (const GlyphRun& run : kGlyphRuns) {
    for (int v = run.firstRow; v <= run.lastRow; ++v) {
      for (int u = run.left; u <= run.right; ++u) {
        mask[v * kGlyphRowBytes + u / 8] |= static_cast<std::uint8_t>(0x80 >> (u % 8));
      }
    }
  }
  return mask;
}

constexpr int CountSetCells(const std::array<std::uint8_t, kGlyphEdge * kGlyphRowBytes>& mask) {
  int count = 0;
  for (std::uint8_t byte : mask) {
    for (; byte != 0; byte &= static_cast<std::uint8_t>(byte - 1)) ++count;
  }
  return count;
}

}  // namespace detail

// The white "t": 128 × 128 cells, row 0 on top, 16 bytes a row, the leftmost column in the most
// significant bit. Cell (row v, column u) is bit 7 − u mod 8 of byte 16·v + u / 8.
inline constexpr std::array<std::uint8_t, 2048> BadgeGlyphMask = detail::MakeGlyphMask();

static_assert(detail::CountSetCells(BadgeGlyphMask) == 956, "the glyph has 956 set cells");

// Whether glyph cell (row v, column u) is set; both must be in 0..127.
constexpr bool GlyphCellSet(int v, int u) {
  return (BadgeGlyphMask[static_cast<std::size_t>(v * detail::kGlyphRowBytes + u / 8)] >>
          (7 - u % 8)) &
         1;
}

// The badge at size × size pixels; the top byte of `color` is ignored. An empty array for a size
// below 1. Allocates the result and nothing else.
BadgePixels RenderBadge(int size, COLORREF color, bool outline);

}  // namespace tarnwick
