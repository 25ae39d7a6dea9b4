// The badge renderer: the glyph's layout, the pixels that matter at the sizes Explorer shows, and
// one digest over every size that both builds must reproduce.

#include "badge/badge.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

#include "badge/tests/badge_test_support.h"

namespace tarnwick {
namespace {

using testing::Fnv1a64;

// Pixel in image column x, image row y (0 = top), read from the bottom-up array.
std::uint32_t At(const BadgePixels& pixels, int size, int x, int y) {
  return pixels[static_cast<std::size_t>((size - 1 - y) * size + x)];
}

std::uint32_t Alpha(std::uint32_t pixel) { return pixel >> 24; }
std::uint32_t Rgb(std::uint32_t pixel) { return pixel & 0xFFFFFF; }

constexpr std::uint32_t kBadgeRgb = 0x2E7D5B;  // 0x00BBGGRR 0x005B7D2E as red, green, blue

TEST(BadgeGlyphMask, BytesFollowTheRunsWithTheLeftmostColumnInTheTopBit) {
  struct Row {
    int row;
    std::array<std::uint8_t, 16> bytes;
  };
  const Row rows[] = {
      {35, {}},
      {36, {0, 0, 0, 0, 0, 0, 0x0F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0}},           // 52-64
      {48, {0, 0, 0, 0, 0, 0x07, 0xFF, 0xFF, 0xFF, 0xFF, 0xC0, 0, 0, 0, 0, 0}},  // 45-81
      {73, {0, 0, 0, 0, 0, 0, 0x0F, 0xFF, 0xE0, 0, 0, 0, 0, 0, 0, 0}},           // 52-66
      {79, {0, 0, 0, 0, 0, 0, 0x03, 0xFF, 0xFF, 0xF8, 0, 0, 0, 0, 0, 0}},        // 54-76
      {89, {0, 0, 0, 0, 0, 0, 0, 0, 0x1F, 0xF8, 0, 0, 0, 0, 0, 0}},              // 67-76
      {90, {}},
      {127, {}},
  };
  for (const Row& expected : rows) {
    for (int i = 0; i < 16; ++i) {
      EXPECT_EQ(BadgeGlyphMask[static_cast<std::size_t>(expected.row * 16 + i)], expected.bytes[i])
          << "row " << expected.row << " byte " << i;
    }
  }
  EXPECT_TRUE(GlyphCellSet(48, 45));
  EXPECT_FALSE(GlyphCellSet(48, 44));
  EXPECT_TRUE(GlyphCellSet(89, 76));
  EXPECT_FALSE(GlyphCellSet(89, 77));
}

TEST(RenderBadge, SizesBelowOneGiveNoPixels) {
  for (int size : {0, -1, -256}) EXPECT_TRUE(RenderBadge(size, DefaultBadgeColor, true).empty());
}

TEST(RenderBadge, OnePixelImageHoldsOneSampleOfTheDisc) {
  const BadgePixels pixels = RenderBadge(1, 0x000000FF, false);
  ASSERT_EQ(pixels.size(), 1u);
  EXPECT_EQ(pixels[0], 0x10FF0000u);  // blue 0, green 0, red 255, alpha 16
}

struct Counts {
  int visible = 0;
  int opaque = 0;
};

Counts CountPixels(const BadgePixels& pixels) {
  Counts counts;
  for (std::uint32_t pixel : pixels) {
    if (Alpha(pixel) != 0) ++counts.visible;
    if (Alpha(pixel) == 255) ++counts.opaque;
  }
  return counts;
}

TEST(RenderBadge, DiscFillsTheBottomLeftCornerOnly) {
  struct Case {
    int size;
    bool outline;
    int visible;
    int opaque;
    int firstRow;     // image rows above are empty
    int columnsUpTo;  // image columns from here on are empty
  };
  for (const Case& c : {Case{16, true, 35, 22, 10, 6}, Case{16, false, 35, 22, 10, 6},
                        Case{64, true, 500, 434, 39, 25}, Case{64, false, 500, 434, 39, 25}}) {
    const BadgePixels pixels = RenderBadge(c.size, DefaultBadgeColor, c.outline);
    ASSERT_EQ(pixels.size(), static_cast<std::size_t>(c.size * c.size));
    const Counts counts = CountPixels(pixels);
    EXPECT_EQ(counts.visible, c.visible) << c.size << " outline " << c.outline;
    EXPECT_EQ(counts.opaque, c.opaque) << c.size << " outline " << c.outline;
    for (int y = 0; y < c.size; ++y) {
      for (int x = 0; x < c.size; ++x) {
        if (y < c.firstRow || x >= c.columnsUpTo) {
          EXPECT_EQ(At(pixels, c.size, x, y), 0u) << "x " << x << " y " << y;
        }
      }
    }
  }
}

TEST(RenderBadge, EdgesKeepTheirColourAndTheGlyphShowsWhiteWithOrWithoutOutline) {
  struct Case {
    bool outline;
    int x;
    int y;
    std::uint32_t pixel;
  };
  const Case cases[] = {
      {true, 1, 12, 0xFF000000 | kBadgeRgb},   // inside the disc, off the glyph
      {true, 0, 10, 0x10FFFFFF},               // rim: outline samples only
      {true, 0, 15, 0},                        // the corner lies outside the disc
      {true, 2, 12, 0xFFA4C6B7},               // on the glyph: white mixed in
      {false, 1, 12, 0xFF000000 | kBadgeRgb},  //
      {false, 0, 10, 0x10000000 | kBadgeRgb},  // same rim without outline: badge colour
      {false, 0, 15, 0},
      {false, 2, 12, 0xFFA4C6B7},
  };
  for (const Case& c : cases) {
    const BadgePixels pixels = RenderBadge(16, DefaultBadgeColor, c.outline);
    EXPECT_EQ(At(pixels, 16, c.x, c.y), c.pixel)
        << "outline " << c.outline << " x " << c.x << " y " << c.y;
  }
}

TEST(RenderBadge, TopByteOfTheColourIsNeverDrawn) {
  for (int size : {1, 16, 64}) {
    for (bool outline : {false, true}) {
      EXPECT_EQ(RenderBadge(size, 0x005B7D2E, outline), RenderBadge(size, 0xA55B7D2E, outline));
      EXPECT_EQ(RenderBadge(size, 0x00000000, outline), RenderBadge(size, 0xFF000000, outline));
    }
  }
}

TEST(RenderBadge, WhiteBadgeHidesTheGlyphAndTheOutline) {
  for (int size : {16, 48, 64}) {
    const BadgePixels plain = RenderBadge(size, 0x00FFFFFF, false);
    const BadgePixels outlined = RenderBadge(size, 0x00FFFFFF, true);
    EXPECT_EQ(plain, outlined) << size;
    for (std::uint32_t pixel : plain) {
      if (pixel != 0) {
        EXPECT_EQ(Rgb(pixel), 0xFFFFFFu);
      }
    }
  }
}

// Every size either build can be asked for, several colours, both outlines: one digest, checked
// in once, that the native and the Windows builds must both reproduce. A different hypot or a
// fused multiply-add would move pixels on the rim and change it.
TEST(RenderBadge, EverySizeGivesTheSameBytesOnEveryBuild) {
  constexpr std::uint64_t kExpected = 0xA0A5B99278E6661B;
  Fnv1a64 digest;
  for (int size = 1; size <= 256; ++size) {
    for (COLORREF color : {DefaultBadgeColor, COLORREF{0x00FFFFFF}, COLORREF{0x80123456}}) {
      for (bool outline : {true, false}) {
        const BadgePixels pixels = RenderBadge(size, color, outline);
        for (std::uint32_t pixel : pixels) {
          const std::uint8_t bytes[4] = {
              static_cast<std::uint8_t>(pixel), static_cast<std::uint8_t>(pixel >> 8),
              static_cast<std::uint8_t>(pixel >> 16), static_cast<std::uint8_t>(pixel >> 24)};
          digest.Add(bytes, 4);
        }
      }
    }
  }
  std::printf("render digest 0x%016llX\n", static_cast<unsigned long long>(digest.Value()));
  EXPECT_EQ(digest.Value(), kExpected);
}

}  // namespace
}  // namespace tarnwick
