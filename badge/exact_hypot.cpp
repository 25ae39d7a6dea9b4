#include "badge/exact_hypot.h"

#include <array>
#include <cstdint>
#include <limits>
#include <utility>

namespace tarnwick {
namespace {

// Just enough of a 256-bit unsigned integer for the exact comparisons below; the largest value
// formed is below 2^216. Built from 64-bit halves only: 32-bit x86 has no 128-bit integer type.
struct Uint256 {
  std::array<std::uint64_t, 4> limb{};  // least significant first

  static Uint256 From(std::uint64_t value) {
    Uint256 result;
    result.limb[0] = value;
    return result;
  }

  // a · b, exactly, from four 32 × 32-bit partial products.
  static Uint256 Product(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t aLow = a & 0xFFFFFFFFu;
    const std::uint64_t aHigh = a >> 32;
    const std::uint64_t bLow = b & 0xFFFFFFFFu;
    const std::uint64_t bHigh = b >> 32;
    const std::uint64_t low = aLow * bLow;
    const std::uint64_t middle1 = aHigh * bLow;
    const std::uint64_t middle2 = aLow * bHigh;
    const std::uint64_t high = aHigh * bHigh;
    // Each term below 2^32 · 3, so the sum cannot wrap.
    const std::uint64_t cross = (low >> 32) + (middle1 & 0xFFFFFFFFu) + (middle2 & 0xFFFFFFFFu);
    Uint256 result;
    result.limb[0] = (cross << 32) | (low & 0xFFFFFFFFu);
    result.limb[1] = high + (middle1 >> 32) + (middle2 >> 32) + (cross >> 32);
    return result;
  }

  Uint256 ShiftedLeft(int bits) const {
    Uint256 result;
    const int words = bits / 64;
    const int rest = bits % 64;
    for (int i = 3; i >= words; --i) {
      std::uint64_t value = limb[i - words] << rest;
      if (rest != 0 && i - words - 1 >= 0) value |= limb[i - words - 1] >> (64 - rest);
      result.limb[i] = value;
    }
    return result;
  }

  Uint256 operator+(const Uint256& other) const {
    Uint256 result;
    std::uint64_t carry = 0;
    for (int i = 0; i < 4; ++i) {
      const std::uint64_t partial = limb[i] + other.limb[i];
      const std::uint64_t sum = partial + carry;
      carry = (partial < limb[i] ? 1u : 0u) + (sum < partial ? 1u : 0u);
      result.limb[i] = sum;
    }
    return result;
  }

  friend int Compare(const Uint256& a, const Uint256& b) {
    for (int i = 3; i >= 0; --i) {
      if (a.limb[i] != b.limb[i]) return a.limb[i] < b.limb[i] ? -1 : 1;
    }
    return 0;
  }
};

// (2q + 1)² · 4^f: four times the square of the midpoint above q on a grid of spacing 2^f.
// 2q + 1 < 2^55, so it fits 64 bits.
Uint256 MidpointSquaredTimesFour(std::uint64_t q, int f) {
  const std::uint64_t odd = q * 2 + 1;
  return Uint256::Product(odd, odd).ShiftedLeft(2 * f);
}

}  // namespace

double CorrectlyRoundedHypot(double x, double y) {
  if (std::isinf(x) || std::isinf(y)) return std::numeric_limits<double>::infinity();
  if (std::isnan(x) || std::isnan(y)) return std::numeric_limits<double>::quiet_NaN();
  double a = std::fabs(x);
  double b = std::fabs(y);
  if (a < b) std::swap(a, b);
  if (b == 0) return a;

  // a = A·2^(ka−53) and b = B·2^(kb−53) with A and B integers in [2^52, 2^53), also for
  // subnormal inputs, which frexp normalises.
  int ka = 0;
  int kb = 0;
  const double fa = std::frexp(a, &ka);
  const double fb = std::frexp(b, &kb);
  const int d = ka - kb;
  // b/a < 2^-27: then hypot − a ≤ b²/2a ≤ a·2^-55, less than half an ulp of a (> a·2^-54).
  if (d >= 28) return a;
  const auto bigA = static_cast<std::uint64_t>(std::ldexp(fa, 53));
  const auto bigB = static_cast<std::uint64_t>(std::ldexp(fb, 53));

  // a² + b² = N·2^(2kb−106), exactly, with N = A²·4^d + B² < 2^161.
  const Uint256 n = Uint256::Product(bigA, bigA).ShiftedLeft(2 * d) + Uint256::Product(bigB, bigB);
  const Uint256 fourN = n.ShiftedLeft(2);

  // sqrt(N) lies in [2^(52+d), 2^(54+d)): its top bit is 2^(52+e) with e = d or d + 1.
  const Uint256 binadeTop = Uint256::From(1).ShiftedLeft(2 * (53 + d));
  const int e = Compare(n, binadeTop) >= 0 ? d + 1 : d;
  // The result is q·2^g for an integer q; 53 bits of precision, or the subnormal grid 2^-1074.
  int g = e + kb - 53;
  if (g < -1074) g = -1074;
  const int f = g - kb + 53;  // q = sqrt(N)/2^f rounded; f ≥ e ≥ 0

  // Start from the plain double estimate, a few units off at most, then settle q exactly:
  // (2q − 1)²·4^f ≤ 4N ≤ (2q + 1)²·4^f, i.e. sqrt(N)/2^f within half a unit of q.
  const double scaledA = std::ldexp(static_cast<double>(bigA), d - f);
  const double scaledB = std::ldexp(static_cast<double>(bigB), -f);
  auto q = static_cast<std::uint64_t>(std::sqrt(scaledA * scaledA + scaledB * scaledB));
  while (Compare(MidpointSquaredTimesFour(q, f), fourN) < 0) ++q;
  while (q > 0 && Compare(MidpointSquaredTimesFour(q - 1, f), fourN) > 0) --q;
  // Exactly on a midpoint: ties go to the even neighbour.
  if (q % 2 == 1) {
    if (Compare(MidpointSquaredTimesFour(q, f), fourN) == 0) {
      ++q;
    } else if (q > 0 && Compare(MidpointSquaredTimesFour(q - 1, f), fourN) == 0) {
      --q;
    }
  }
  // q ≤ 2^53, so this is exact, or infinity when the rounded result overflows.
  return std::ldexp(static_cast<double>(q), g);
}

}  // namespace tarnwick
