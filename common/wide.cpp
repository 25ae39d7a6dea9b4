#include "common/wide.h"

#include <cstdint>

namespace tarnwick {

WideString WideFromUtf8(std::string_view utf8) {
  WideString wide;
  wide.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    std::uint32_t code = 0xFFFD;
    std::size_t length = 1;
    if (lead < 0x80) {
      code = lead;
    } else if ((lead >> 5) == 0x6) {
      length = 2;
      code = lead & 0x1F;
    } else if ((lead >> 4) == 0xE) {
      length = 3;
      code = lead & 0x0F;
    } else if ((lead >> 3) == 0x1E) {
      length = 4;
      code = lead & 0x07;
    }
    if (length > 1) {
      bool valid = i + length <= utf8.size();
      for (std::size_t k = 1; valid && k < length; ++k) {
        const auto next = static_cast<unsigned char>(utf8[i + k]);
        valid = (next >> 6) == 0x2;
        code = (code << 6) | (next & 0x3F);
      }
      // Cut off, overlong (C0 80 would hide a NUL inside a name), an encoded surrogate or past
      // U+10FFFF: not UTF-8, so the lead reads as U+FFFD and the bytes after it are read again.
      constexpr std::uint32_t kShortestForLength[] = {0, 0, 0x80, 0x800, 0x10000};
      if (!valid || code < kShortestForLength[length] || (code >= 0xD800 && code <= 0xDFFF) ||
          code > 0x10FFFF) {
        code = 0xFFFD;
        length = 1;
      }
    }
    i += length;
    if (code >= 0x10000) {
      code -= 0x10000;
      wide.push_back(static_cast<WideChar>(0xD800 + (code >> 10)));
      wide.push_back(static_cast<WideChar>(0xDC00 + (code & 0x3FF)));
    } else {
      wide.push_back(static_cast<WideChar>(code));
    }
  }
  return wide;
}

std::string Utf8FromWide(WideStringView wide) {
  std::string utf8;
  utf8.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    std::uint32_t code = static_cast<std::uint16_t>(wide[i]);
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < wide.size()) {
      const std::uint32_t low = static_cast<std::uint16_t>(wide[i + 1]);
      if (low >= 0xDC00 && low < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (code >= 0xD800 && code < 0xE000) code = 0xFFFD;
    if (code < 0x80) {
      utf8.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      utf8.push_back(static_cast<char>(0xC0 | (code >> 6)));
      utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      utf8.push_back(static_cast<char>(0xE0 | (code >> 12)));
      utf8.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      utf8.push_back(static_cast<char>(0xF0 | (code >> 18)));
      utf8.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      utf8.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return utf8;
}

}  // namespace tarnwick
