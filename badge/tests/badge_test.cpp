#include "badge/badge.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "badge/exact_hypot.h"

namespace tarnwick {
namespace {

// The numbers the badge is defined by. Size 1 holds one sample of the disc, sizes below 1 nothing.
// At 16 pixels, image column x and row y (0 = top; the array runs bottom-up): inside the disc, its
// rim (outline samples only, or the badge colour without), the corner outside it, and the white
// glyph mixed into the badge colour.
TEST(RenderBadge, NamedPixelsAtOneAndSixteen) {
  EXPECT_EQ(RenderBadge(1, 0x000000FF, false), BadgePixels{0x10FF0000});  // red 255, alpha 16
  for (int size : {0, -1, -256}) EXPECT_TRUE(RenderBadge(size, DefaultBadgeColor, true).empty());
  constexpr std::uint32_t kBadge = 0x2E7D5B;  // DefaultBadgeColor as 0xRRGGBB
  const std::uint32_t pixels[][4] = {{1, 12, 0xFF000000 | kBadge, 0xFF000000 | kBadge},
                                     {0, 10, 0x10FFFFFF, 0x10000000 | kBadge},
                                     {0, 15, 0, 0},
                                     {2, 12, 0xFFA4C6B7, 0xFFA4C6B7}};
  const BadgePixels outlined = RenderBadge(16, DefaultBadgeColor, true);
  const BadgePixels plain = RenderBadge(16, DefaultBadgeColor, false);
  for (const auto& [x, y, withOutline, without] : pixels) {
    EXPECT_EQ(outlined[(15 - y) * 16 + x], withOutline) << "x " << x << " y " << y;
    EXPECT_EQ(plain[(15 - y) * 16 + x], without) << "x " << x << " y " << y;
  }
}

// Every size either build can be asked for, several colours (one with a top byte, which is never
// drawn), both outlines: one digest (64-bit FNV-1a over the pixels' bytes, lowest first) that the
// native and the Windows builds must both reproduce. A different hypot or a fused multiply-add
// would move pixels on the rim.
TEST(RenderBadge, EverySizeGivesTheSameBytesOnEveryBuild) {
  std::uint64_t fnv = 0xCBF29CE484222325u;
  for (int size = 1; size <= 256; ++size) {
    for (COLORREF color : {DefaultBadgeColor, COLORREF{0x00FFFFFF}, COLORREF{0x80123456}}) {
      for (bool outline : {true, false}) {
        for (std::uint32_t pixel : RenderBadge(size, color, outline)) {
          for (int shift : {0, 8, 16, 24}) fnv = (fnv ^ (pixel >> shift & 0xFF)) * 0x100000001B3u;
        }
      }
    }
  }
  EXPECT_EQ(fnv, 0xA0A5B99278E6661Bu) << std::hex << fnv;
}

constexpr double kInf = std::numeric_limits<double>::infinity();

// Worked out in exact rational arithmetic, not with any runtime's hypot.
const struct {
  double x, y, hypot;
} kHypotCases[] = {
    // Sample distances at sizes 1-5 on which a runtime's hypot rounds the other way.
    {0x1.4e147ae147ae1p+0, -0x1.0e147ae147ae2p+0, 0x1.ad988e15bdbd9p+0},
    {0x1.3ae147ae147aep-1, -0x1.3ae147ae147b0p-1, 0x1.bd4ebcadf0eaep-1},
    {0x1.bd70a3d70a3d7p-2, -0x1.bd70a3d70a3d8p-2, 0x1.3af940c5f554ep-1},
    {-0x1.0a3d70a3d70a4p-4, 0x1.0a3d70a3d70a0p-4, 0x1.78852d0ff33f1p-4},
    {-0x1.051eb851eb852p-2, -0x1.3eb851eb851ecp+0, 0x1.45562cc7019c5p+0},
    {0x1.999999999999ap-4, 0x1.999999999999ap-3, 0x1.c9f25c5bfeddap-3},
    // Exact results and signs.
    {-3, 4, 5},
    {-0.0, 0.0, 0},
    {0, -7.5, 7.5},
    // Exactly halfway between two doubles: ties go to the even one, down and up.
    {0x1.9999976454747p+52, 0x1.33333769e2978p+52, 0x1.000000617f5ecp+53},
    {0x1.999998bbca39bp+52, 0x1.333337dc5f304p+52, 0x1.0000010d3a416p+53},
    {0x1.99e101287fad3p+52, 0x1.3368ca11f3228p+52, 0x1.002ca37bfc09ap+53},
    // A far smaller second argument leaves the first, on both sides of the short cut.
    {1, 0x1p-27, 1},
    {1, 0x1.6a09e667f3bcdp-27, 1},
    {1, 0x1.12e0be826d695p-30, 1},
    // Overflow only when the rounded result overflows; subnormals on their own grid.
    {0x1.1ccf385ebc8a0p+1023, 0x1.1ccf385ebc8a0p+1023, 0x1.92c80954c51f5p+1023},
    {0x1.fffffffffffffp+1023, 1, 0x1.fffffffffffffp+1023},
    {0x1.fffffffffffffp+1023, 0x1.fffffffffffffp+1023, kInf},
    {0x0.0000000000001p-1022, 0x0.0000000000001p-1022, 0x0.0000000000001p-1022},
    {0x0.0000000000003p-1022, 0x0.0000000000004p-1022, 0x0.0000000000005p-1022},
    {0x0.012688b70e62bp-1022, 0x0.03739a252b281p-1022, 0x0.03a365ff2ea11p-1022},
    // Infinity wins over NaN, in either order.
    {-kInf, std::numeric_limits<double>::quiet_NaN(), kInf},
};

// The renderer asks HypotAtMost only "within this radius?": its quick answer must equal the exact
// one right at the boundary, one ulp inside it and one ulp outside it.
TEST(CorrectlyRoundedHypot, MatchesExactArithmeticAndHypotAtMostAgreesAtTheLimit) {
  for (const auto& c : kHypotCases) {
    SCOPED_TRACE(::testing::Message() << std::hexfloat << c.x << " " << c.y);
    EXPECT_EQ(CorrectlyRoundedHypot(c.x, c.y), c.hypot);
    EXPECT_EQ(CorrectlyRoundedHypot(c.y, c.x), c.hypot);
    if (!std::isfinite(c.hypot)) continue;
    EXPECT_TRUE(HypotAtMost(c.x, c.y, c.hypot));
    EXPECT_TRUE(HypotAtMost(c.x, c.y, std::nextafter(c.hypot, kInf)));
    EXPECT_FALSE(HypotAtMost(c.x, c.y, std::nextafter(c.hypot, -kInf)));
  }
  EXPECT_TRUE(std::isnan(CorrectlyRoundedHypot(std::nan(""), 1)));
  EXPECT_FALSE(HypotAtMost(0.1, 0.1, -0.31));  // a negative radius holds nothing
  EXPECT_FALSE(HypotAtMost(std::nan(""), 0, 1));
  EXPECT_TRUE(HypotAtMost(1e300, 1e300, kInf));
}

}  // namespace
}  // namespace tarnwick
