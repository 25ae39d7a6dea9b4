#include "settings/badge_preview.h"

#include <cstddef>

namespace tarnwick {
namespace {

std::uint32_t Premultiplied(std::uint32_t pixel) {
  const std::uint32_t alpha = pixel >> 24;
  const auto scale = [alpha](std::uint32_t channel) { return channel * alpha / 255; };
  return (alpha << 24) | (scale((pixel >> 16) & 0xFF) << 16) | (scale((pixel >> 8) & 0xFF) << 8) |
         scale(pixel & 0xFF);
}

}  // namespace

void CopyPreviewPixels(std::span<const std::uint32_t> bottomUp, int size,
                       std::span<std::uint32_t> topDown) {
  if (size < 1) return;
  const auto edge = static_cast<std::size_t>(size);
  for (std::size_t row = 0; row < edge; ++row) {
    const std::uint32_t* source = bottomUp.data() + (edge - 1 - row) * edge;
    std::uint32_t* target = topDown.data() + row * edge;
    for (std::size_t column = 0; column < edge; ++column)
      target[column] = Premultiplied(source[column]);
  }
}

}  // namespace tarnwick
