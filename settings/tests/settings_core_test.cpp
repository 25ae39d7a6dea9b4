// The settings program's logic that needs no window: which command lines write an icon, which
// swatch a click picks, and the preview's copy of the renderer's pixels.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "settings/badge_preview.h"
#include "settings/command_line.h"
#include "settings/settings_layout.h"

namespace tarnwick {
namespace {

// What a real start does with "/writeico user", a path and further words is seen under Wine.
TEST(CommandLine, OnlyWriteicoWithAThirdWordWritesAndEverythingElseOpensTheWindow) {
  using enum CommandLineMode;
  const struct {
    std::vector<const WideChar*> words;  // after the program's name
    CommandLineMode mode;
  } cases[] = {
      {{}, OpenWindow},
      {{WIDE("/writeico")}, OpenWindow},
      {{WIDE("/writeico"), WIDE("users")}, WriteDefaultIcon},
      {{WIDE("/writeico"), WIDE("")}, WriteDefaultIcon},  // a path; writing it fails
      // U+017F (long s) folds to "s" under Unicode rules, never under _wcsicmp's.
      {{WIDE("/writeico"), WIDE("u\u017Fer")}, WriteDefaultIcon},
      {{WIDE("-writeico"), WIDE("user")}, OpenWindow},
      {{WIDE("/writeicon"), WIDE("user")}, OpenWindow},
      {{WIDE("/writeic"), WIDE("user")}, OpenWindow},
      {{WIDE("user"), WIDE("/writeico")}, OpenWindow},
  };
  for (const auto& c : cases) {
    std::vector<const WideChar*> arguments = {WIDE("TarnwickSettings.exe")};
    arguments.insert(arguments.end(), c.words.begin(), c.words.end());
    const CommandLineAction action =
        ChooseCommandLineAction(arguments.data(), static_cast<int>(arguments.size()));
    std::string line;
    for (const WideChar* word : c.words) line += Utf8FromWide(word) + " ";
    EXPECT_EQ(action.mode, c.mode) << line;
    // The very argument, not a copy: the program writes before it frees the split line.
    EXPECT_EQ(action.path, c.mode == WriteDefaultIcon ? arguments[2] : nullptr) << line;
  }
  EXPECT_EQ(ChooseCommandLineAction(nullptr, 3).mode, OpenWindow);
  // A-Z fold onto a-z and nothing else does: not their neighbours, which differ by 0x20 too.
  EXPECT_FALSE(EqualsIgnoringAsciiCase(WIDE("@"), WIDE("`")));
  EXPECT_FALSE(EqualsIgnoringAsciiCase(WIDE("["), WIDE("{")));
}

TEST(SwatchHitTest, EdgesAreInclusiveOnTheTopLeftAndGapsAndRingsPickNothing) {
  // x and y are the unsigned low and high 16 bits of lParam: a click 1 pixel left of or above the
  // client area comes as 0xFFFF, far from any swatch.
  const struct {
    std::uintptr_t x;
    std::uintptr_t y;
    int swatch;
  } clicks[] = {
      {20, 60, 0},           {53, 93, 0},         {54, 60, kNoSwatch},
      {20, 94, kNoSwatch},   {19, 60, kNoSwatch}, {20, 59, kNoSwatch},
      {59, 70, kNoSwatch},   {60, 70, 1},         {333, 93, 7},
      {334, 93, kNoSwatch},  {20, 100, 8},        {333, 133, 15},
      {333, 134, kNoSwatch}, {40, 96, kNoSwatch}, {0xFFFF, 70, kNoSwatch},
  };
  for (const auto& click : clicks) {
    EXPECT_EQ(SwatchAtClick(static_cast<std::intptr_t>(click.y << 16 | click.x)), click.swatch)
        << click.x << ", " << click.y;
  }
  // Bits above the low 32 (a sign-extended LPARAM on 64-bit Windows) carry no coordinate.
  EXPECT_EQ(SwatchAtClick(static_cast<std::intptr_t>(~std::uintptr_t{0xFFFFFFFF} | 70 << 16 | 30)),
            0);
  EXPECT_EQ(SelectionRingRect(9), (PixelRect{57, 97, 97, 137}));
}

TEST(SwatchMarks, OnlyTheSwatchEqualToTheSelectionInAll32BitsGetsTheRing) {
  // The sixteen presets in swatch order, all distinct, so a preset selection rings one swatch.
  EXPECT_EQ(BadgePalette,
            (std::array<COLORREF, 16>{0x005B7D2E, 0x003C641C, 0x0050A05A, 0x003CB478, 0x00B46E1E,
                                      0x00C8963C, 0x00C85A5A, 0x00BE5082, 0x003C3CC8, 0x00286EDC,
                                      0x0028AAE1, 0x00823CBE, 0x004E4646, 0x008A8282, 0x00FAFAFA,
                                      0x00141414}));
  // The Wine cases see the ring on swatches 0, 8 and 14 and on none for the dialog's colour.
  const struct {
    COLORREF selected;
    int ringed;
  } cases[] = {
      {0x00141414, 15},
      {0x015B7D2E, kNoSwatch},  // a stored top byte is kept, and so is not a preset
  };
  for (const auto& c : cases) {
    for (int i = 0; i < kSwatchCount; ++i) {
      EXPECT_EQ(MarkOfSwatch(i, c.selected),
                i == c.ringed ? SwatchMark::SelectionRing : SwatchMark::GreyFrame)
          << std::hex << c.selected << " swatch " << std::dec << i;
    }
  }
}

// The renderer gives bottom-up rows with straight alpha; the preview wants them top-down and
// premultiplied, each channel times alpha over 255, truncated.
TEST(BadgePreview, TurnsRowsTopDownKeepsColumnsAndPremultipliesTruncating) {
  const std::vector<std::uint32_t> bottomUp = {
      0xFF123456, 0x00FFFFFF,  // opaque stays; fully transparent loses its colour
      // 255*128/255 = 128, 128*128/255 = 64.25, 64*128/255 = 32.1; the badge colour at alpha 16
      // gives 2.9, 7.8 and 5.7, which rounding would make 3, 8, 6.
      0x80FF8040, 0x102E7D5B};
  std::vector<std::uint32_t> topDown(5, 0xDEADBEEF);
  for (const int nothing : {0, -4}) CopyPreviewPixels(bottomUp, nothing, topDown);
  EXPECT_EQ(topDown, std::vector<std::uint32_t>(5, 0xDEADBEEF));
  CopyPreviewPixels(bottomUp, 2, topDown);
  EXPECT_EQ(topDown, (std::vector<std::uint32_t>{0x80804020, 0x10020705, 0xFF123456, 0x00000000,
                                                 0xDEADBEEF}));
}

}  // namespace
}  // namespace tarnwick
