// The preview's copy of the renderer's pixels: rows turned top-down, colours premultiplied.

#include "settings/badge_preview.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarnwick {
namespace {

TEST(BadgePreview, PremultipliesByTruncatingChannelTimesAlphaOver255) {
  const struct {
    std::uint32_t straight;
    std::uint32_t premultiplied;
  } cases[] = {
      {0xFF123456, 0xFF123456},  // opaque stays
      {0x00FFFFFF, 0x00000000},  // fully transparent loses its colour
      {0x80FF8040, 0x80804020},  // 255*128/255 = 128, 128*128/255 = 64.25, 64*128/255 = 32.1
      {0x01FFFFFF, 0x01010101},
      // The badge colour at one of sixteen samples: 46, 125, 91 at alpha 16 give 2.9, 7.8,
      // 5.7, which rounding would make 3, 8, 6.
      {0x102E7D5B, 0x10020705},
  };
  for (const auto& c : cases) {
    std::uint32_t out = 0xDEADBEEF;
    CopyPreviewPixels(std::span<const std::uint32_t>(&c.straight, 1), 1,
                      std::span<std::uint32_t>(&out, 1));
    EXPECT_EQ(out, c.premultiplied) << std::hex << c.straight;
  }
}

TEST(BadgePreview, RowsAreTurnedTopDownAndColumnsKeepTheirOrder) {
  for (int size : {1, 2, 3, 5}) {
    // Opaque pixels numbered by their place in the bottom-up array.
    std::vector<std::uint32_t> bottomUp(static_cast<std::size_t>(size * size));
    for (std::size_t i = 0; i < bottomUp.size(); ++i) {
      bottomUp[i] = 0xFF000000 | static_cast<std::uint32_t>(i);
    }
    std::vector<std::uint32_t> topDown(bottomUp.size());
    CopyPreviewPixels(bottomUp, size, topDown);
    for (int row = 0; row < size; ++row) {
      for (int column = 0; column < size; ++column) {
        EXPECT_EQ(topDown[static_cast<std::size_t>(row * size + column)],
                  bottomUp[static_cast<std::size_t>((size - 1 - row) * size + column)])
            << "size " << size << " row " << row << " column " << column;
      }
    }
  }
}

TEST(BadgePreview, NothingIsWrittenForAnEmptyBadge) {
  std::uint32_t untouched = 0xDEADBEEF;
  CopyPreviewPixels({}, 0, std::span<std::uint32_t>(&untouched, 1));
  CopyPreviewPixels({}, -4, std::span<std::uint32_t>(&untouched, 1));
  EXPECT_EQ(untouched, 0xDEADBEEFu);
}

}  // namespace
}  // namespace tarnwick
