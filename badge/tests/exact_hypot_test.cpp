// The runtime-independent hypot. Expected values were worked out in exact rational arithmetic,
// not with any runtime's hypot; the first ones are distances the badge really measures, where
// glibc's or msvcrt's hypot is one ulp off.

#include "badge/exact_hypot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tarnwick {
namespace {

struct Case {
  double x;
  double y;
  double hypot;
};

constexpr double kInf = std::numeric_limits<double>::infinity();

const Case kCases[] = {
    // Sample distances at sizes 1-5 on which a runtime's hypot rounds the other way.
    {0x1.4e147ae147ae1p+0, -0x1.0e147ae147ae2p+0, 0x1.ad988e15bdbd9p+0},
    {0x1.3ae147ae147aep-1, -0x1.3ae147ae147b0p-1, 0x1.bd4ebcadf0eaep-1},
    {0x1.bd70a3d70a3d7p-2, -0x1.bd70a3d70a3d8p-2, 0x1.3af940c5f554ep-1},
    {-0x1.0a3d70a3d70a4p-4, 0x1.0a3d70a3d70a0p-4, 0x1.78852d0ff33f1p-4},
    {-0x1.051eb851eb852p-2, -0x1.3eb851eb851ecp+0, 0x1.45562cc7019c5p+0},
    {0x1.999999999999ap-4, 0x1.999999999999ap-3, 0x1.c9f25c5bfeddap-3},
    // Exact results and signs.
    {3, 4, 5},
    {-5, 12, 13},
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
    // Infinity wins over NaN.
    {kInf, std::numeric_limits<double>::quiet_NaN(), kInf},
    {std::numeric_limits<double>::quiet_NaN(), -kInf, kInf},
};

TEST(CorrectlyRoundedHypot, MatchesExactArithmeticInEitherArgumentOrder) {
  for (const Case& c : kCases) {
    EXPECT_EQ(CorrectlyRoundedHypot(c.x, c.y), c.hypot) << std::hexfloat << c.x << " " << c.y;
    EXPECT_EQ(CorrectlyRoundedHypot(c.y, c.x), c.hypot) << std::hexfloat << c.y << " " << c.x;
  }
  EXPECT_TRUE(std::isnan(CorrectlyRoundedHypot(std::nan(""), 1)));
}

// The renderer asks only "within this radius?": the quick answer must equal the exact one right
// at the boundary, one ulp inside it and one ulp outside it.
TEST(HypotAtMost, AgreesWithTheExactHypotAtAndAroundTheLimit) {
  for (const Case& c : kCases) {
    if (!std::isfinite(c.hypot)) continue;
    const double below = std::nextafter(c.hypot, -kInf);
    const double above = std::nextafter(c.hypot, kInf);
    EXPECT_TRUE(HypotAtMost(c.x, c.y, c.hypot)) << std::hexfloat << c.x << " " << c.y;
    EXPECT_TRUE(HypotAtMost(c.x, c.y, above)) << std::hexfloat << c.x << " " << c.y;
    EXPECT_FALSE(HypotAtMost(c.x, c.y, below)) << std::hexfloat << c.x << " " << c.y;
  }
  EXPECT_FALSE(HypotAtMost(0.1, 0.1, -0.31));  // a negative radius holds nothing
  EXPECT_FALSE(HypotAtMost(std::nan(""), 0, 1));
  EXPECT_TRUE(HypotAtMost(1e300, 1e300, kInf));
}

}  // namespace
}  // namespace tarnwick
