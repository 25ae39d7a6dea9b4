// The swatch grid, the click that picks a swatch, and the preview's places.

#include "settings/settings_layout.h"

#include <gtest/gtest.h>

#include <set>

namespace tarnwick {
namespace {

struct Click {
  unsigned x;
  unsigned y;
  int swatch;
};

TEST(SwatchHitTest, EdgesAreInclusiveOnTheTopLeftAndGapsAndRingsPickNothing) {
  const Click clicks[] = {
      {20, 60, 0},         {53, 93, 0},          {54, 60, kNoSwatch},       {20, 94, kNoSwatch},
      {19, 60, kNoSwatch}, {20, 59, kNoSwatch},  {59, 70, kNoSwatch},       {60, 70, 1},
      {300, 60, 7},        {333, 93, 7},         {334, 93, kNoSwatch},      {20, 100, 8},
      {53, 133, 8},        {333, 133, 15},       {333, 134, kNoSwatch},     {40, 96, kNoSwatch},
      {0, 0, kNoSwatch},   {340, 60, kNoSwatch}, {65535, 65535, kNoSwatch},
  };
  for (const Click& click : clicks) {
    EXPECT_EQ(SwatchAt(click.x, click.y), click.swatch) << click.x << ", " << click.y;
  }
  EXPECT_EQ(SelectionRingRect(9), (PixelRect{57, 97, 97, 137}));
}

TEST(SwatchHitTest, LParamCoordinatesAreUnsigned16BitHalves) {
  const auto pack = [](unsigned x, unsigned y) {
    return static_cast<std::intptr_t>((static_cast<std::uintptr_t>(y) << 16) | x);
  };
  EXPECT_EQ(SwatchAtClick(pack(53, 93)), 0);
  EXPECT_EQ(SwatchAtClick(pack(333, 133)), 15);
  // A click 1 pixel left of the client area comes as x = 0xFFFF, far from any swatch; read as
  // signed it would be -1, still nothing, but never a wrap onto swatch 0.
  EXPECT_EQ(SwatchAtClick(pack(0xFFFF, 70)), kNoSwatch);
  EXPECT_EQ(SwatchAtClick(pack(30, 0xFFFF)), kNoSwatch);
  // Bits above the low 32 (a sign-extended LPARAM on 64-bit Windows) carry no coordinate.
  EXPECT_EQ(SwatchAtClick(static_cast<std::intptr_t>(~std::uintptr_t{0xFFFFFFFF}) | pack(30, 70)),
            0);
}

TEST(SwatchMarks, OnlyTheSwatchEqualToTheSelectionInAll32BitsGetsTheRing) {
  // Distinct presets, so a preset selection rings exactly one swatch.
  EXPECT_EQ(std::set<COLORREF>(BadgePalette.begin(), BadgePalette.end()).size(),
            BadgePalette.size());
  const struct {
    COLORREF selected;
    int ringed;
  } cases[] = {
      {0x005B7D2E, 0},         {0x00FAFAFA, 14}, {0x00141414, 15},
      {0x015B7D2E, kNoSwatch},  // a stored top byte is kept, and so is not a preset
      {0x00123456, kNoSwatch},  // from the colour dialog
  };
  for (const auto& c : cases) {
    for (int i = 0; i < kSwatchCount; ++i) {
      EXPECT_EQ(MarkOfSwatch(i, c.selected),
                i == c.ringed ? SwatchMark::SelectionRing : SwatchMark::GreyFrame)
          << std::hex << c.selected << " swatch " << std::dec << i;
    }
  }
}

TEST(PreviewLayout, FourSamplesOnFolderRectanglesFourFifthsTall) {
  const struct {
    int panel;
    int sample;
    PixelRect folder;
  } cases[] = {
      {0, 0, {34, 184, 66, 209}},
      {0, 1, {96, 184, 144, 222}},
      {1, 0, {184, 184, 216, 209}},
      {1, 1, {246, 184, 294, 222}},
  };
  for (const auto& c : cases) {
    const PreviewSample& sample = PreviewSamples[static_cast<std::size_t>(c.sample)];
    const PixelPoint origin =
        PreviewSampleOrigin(PreviewPanels[static_cast<std::size_t>(c.panel)], sample);
    EXPECT_EQ(PreviewFolderRect(origin, sample.size), c.folder) << c.panel << "/" << c.sample;
  }
}

}  // namespace
}  // namespace tarnwick
