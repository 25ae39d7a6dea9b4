#include "settings/settings_layout.h"

namespace tarnwick {
namespace {

constexpr int kSwatchesLeft = 20;
constexpr int kSwatchesTop = 60;
constexpr int kSwatchPitch = 40;
constexpr int kSwatchEdge = 34;
constexpr int kSwatchesPerRow = 8;
constexpr int kRingOffset = 3;

}  // namespace

PixelRect SwatchRect(int index) {
  const int left = kSwatchesLeft + kSwatchPitch * (index % kSwatchesPerRow);
  const int top = kSwatchesTop + kSwatchPitch * (index / kSwatchesPerRow);
  return {left, top, left + kSwatchEdge, top + kSwatchEdge};
}

int SwatchAt(unsigned x, unsigned y) {
  for (int i = 0; i < kSwatchCount; ++i) {
    const PixelRect rect = SwatchRect(i);
    // Unsigned on both sides: the coordinates come unsigned from lParam and every edge is positive.
    if (static_cast<unsigned>(rect.left) <= x && x < static_cast<unsigned>(rect.right) &&
        static_cast<unsigned>(rect.top) <= y && y < static_cast<unsigned>(rect.bottom)) {
      return i;
    }
  }
  return kNoSwatch;
}

int SwatchAtClick(std::intptr_t lParam) {
  const auto bits = static_cast<std::uintptr_t>(lParam);
  return SwatchAt(static_cast<unsigned>(bits & 0xFFFF),
                  static_cast<unsigned>((bits >> 16) & 0xFFFF));
}

SwatchMark MarkOfSwatch(int index, COLORREF selected) {
  return BadgePalette[static_cast<std::size_t>(index)] == selected ? SwatchMark::SelectionRing
                                                                   : SwatchMark::GreyFrame;
}

PixelRect SelectionRingRect(int index) {
  const PixelRect swatch = SwatchRect(index);
  return {swatch.left - kRingOffset, swatch.top - kRingOffset, swatch.right + kRingOffset,
          swatch.bottom + kRingOffset};
}

PixelPoint PreviewSampleOrigin(const PreviewPanel& panel, const PreviewSample& sample) {
  return {panel.rect.left + sample.offset, kPreviewSampleTop};
}

PixelRect PreviewFolderRect(PixelPoint origin, int size) {
  return {origin.x, origin.y, origin.x + size, origin.y + static_cast<int>(0.8 * size)};
}

}  // namespace tarnwick
