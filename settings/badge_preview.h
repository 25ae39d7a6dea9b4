#pragma once
// The preview's pixel conversion. The renderer gives bottom-up rows with straight alpha, the
// icon file's layout; AlphaBlend with AC_SRC_ALPHA wants premultiplied pixels, and the preview's
// DIB section is top-down.

#include <cstdint>
#include <span>

namespace tarnwick {

// Fills `topDown` (size x size pixels, row 0 at the top) from `bottomUp` (row 0 at the bottom),
// each colour channel scaled by the pixel's alpha: channel * alpha / 255, truncated. Both spans
// hold at least size * size pixels.
void CopyPreviewPixels(std::span<const std::uint32_t> bottomUp, int size,
                       std::span<std::uint32_t> topDown);

}  // namespace tarnwick
