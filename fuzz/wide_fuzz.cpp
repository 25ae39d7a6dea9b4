// UTF-8 to UTF-16 and back: well-formed text makes the round trip unchanged either way; anything
// else becomes U+FFFD where it is broken, and never grows.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/wide.h"
#include "fuzz/fuzz_property.h"

namespace {

using tarnwick::Utf8FromWide;
using tarnwick::WideFromUtf8;

// Well-formed UTF-8 as RFC 3629 tables it: shortest forms only, no surrogates, nothing past
// U+10FFFF.
bool IsWellFormedUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t trail = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80) {
      trail = 0;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      trail = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      trail = 2;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      trail = 3;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (text.size() - i <= trail) return false;
    for (std::size_t k = 1; k <= trail; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return false;
    }
    i += trail + 1;
  }
  return true;
}

bool IsHigh(std::uint16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLow(std::uint16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The bytes as UTF-8.
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const WideString wide = WideFromUtf8(bytes);
  FUZZ_PROPERTY(wide.size() <= bytes.size());
  const std::string back = Utf8FromWide(wide);
  FUZZ_PROPERTY(IsWellFormedUtf8(back));
  if (IsWellFormedUtf8(bytes)) FUZZ_PROPERTY(back == bytes);
  // Nothing ill-formed decodes to a real character: a NUL comes only from a 0 byte, and no
  // surrogate is left without its pair (Utf8FromWide would turn it into U+FFFD).
  FUZZ_PROPERTY(std::count(wide.begin(), wide.end(), 0) ==
                std::count(bytes.begin(), bytes.end(), 0));
  FUZZ_PROPERTY(WideFromUtf8(back) == wide);

  // The bytes as UTF-16 units, little-endian: pairs survive, a lone surrogate becomes U+FFFD.
  WideString units;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    units.push_back(static_cast<WideChar>(data[i] | data[i + 1] << 8));
  }
  WideString expected = units;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const auto unit = static_cast<std::uint16_t>(expected[i]);
    if (IsHigh(unit) && i + 1 < expected.size() &&
        IsLow(static_cast<std::uint16_t>(expected[i + 1]))) {
      ++i;
    } else if (IsHigh(unit) || IsLow(unit)) {
      expected[i] = static_cast<WideChar>(0xFFFD);
    }
  }
  const std::string utf8 = Utf8FromWide(units);
  FUZZ_PROPERTY(IsWellFormedUtf8(utf8));
  FUZZ_PROPERTY(WideFromUtf8(utf8) == expected);
  return 0;
}
