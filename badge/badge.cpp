#include "badge/badge.h"

#include <algorithm>
#include <cmath>

#include "badge/exact_hypot.h"

namespace tarnwick {
namespace {

// Whether a sample inside the inner disc falls on a set glyph cell. |dx| and |dy| are at most r
// there, so the indices lie in 0..128; 128 is off the glyph.
bool OnGlyph(double dx, double dy, double r) {
  const int u = static_cast<int>((dx / r + 1) * 0.5 * 128);
  const int v = static_cast<int>((dy / r + 1) * 0.5 * 128);
  if (u < 0 || u > 127 || v < 0 || v > 127) return false;
  return GlyphCellSet(v, u);
}

std::uint32_t PixelValue(int covered, int coloured, COLORREF color) {
  const double c = covered * 0.0625;
  if (c <= 0) return 0;
  const double a = coloured * 0.0625;
  const double w = (c - a) * 255;
  auto mix = [&](int shift) {
    const double channel = static_cast<double>((color >> shift) & 0xFF);
    return static_cast<std::uint32_t>((channel * a + w) / c + 0.5);
  };
  const auto alpha = static_cast<std::uint32_t>(c * 255 + 0.5);
  return (alpha << 24) | (mix(0) << 16) | (mix(8) << 8) | mix(16);
}

}  // namespace

BadgePixels RenderBadge(int size, COLORREF color, bool outline) {
  if (size < 1) return {};
  const auto edge = static_cast<std::size_t>(size);
  BadgePixels pixels(edge * edge, 0);

  const double s = size;
  const double outerRadius = s * 0.19;
  const double centreY = s * 0.81;
  const double innerRadius =
      outline ? outerRadius - std::max(0.5, outerRadius * 0.15) : outerRadius;

  // A sample with |dx| > R or |dy| > R is outside the disc whatever the other coordinate, since
  // the correctly rounded hypot is at least |dx| and |dy|. So only the rows whose samples reach
  // within R of the centre vertically are visited, and each row stops at the first column whose
  // leftmost samples lie beyond R; the pixels skipped stay 0, exactly as if they were sampled.
  for (int y = 0; y < size; ++y) {
    double dy[4];
    bool reachable = false;
    for (int j = 0; j < 4; ++j) {
      dy[j] = ((j + 0.5) * 0.25 + y) - centreY;
      reachable = reachable || std::fabs(dy[j]) <= outerRadius;
    }
    if (!reachable) continue;
    std::uint32_t* row = pixels.data() + static_cast<std::size_t>(size - 1 - y) * edge;
    for (int x = 0; x < size; ++x) {
      if ((0.5 * 0.25 + x) - outerRadius > outerRadius) break;
      int covered = 0;
      int coloured = 0;
      for (int j = 0; j < 4; ++j) {
        for (int k = 0; k < 4; ++k) {
          const double dx = ((k + 0.5) * 0.25 + x) - outerRadius;
          if (!HypotAtMost(dx, dy[j], outerRadius)) continue;
          ++covered;
          // In the ring between the radii a sample is outline, white.
          const bool inner = !outline || HypotAtMost(dx, dy[j], innerRadius);
          if (inner && !OnGlyph(dx, dy[j], innerRadius)) ++coloured;
        }
      }
      row[x] = PixelValue(covered, coloured, color);
    }
  }
  return pixels;
}

}  // namespace tarnwick
