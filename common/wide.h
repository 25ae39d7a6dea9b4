#pragma once
// Text is UTF-16 code units everywhere, as on Windows. wchar_t is 32 bits on Linux, so the native
// build spells the same units as char16_t; WIDE("...") makes a literal of the right kind.

#include <string>
#include <string_view>

#if defined(_WIN32)
using WideChar = wchar_t;
#define WIDE(text) L##text
#else
using WideChar = char16_t;
#define WIDE(text) u##text
#endif

static_assert(sizeof(WideChar) == 2, "strings are UTF-16 code units");

using WideString = std::basic_string<WideChar>;
using WideStringView = std::basic_string_view<WideChar>;

namespace tarnwick {

// Length of a NUL-terminated UTF-16 string, in code units.
inline std::size_t WideLength(const WideChar* text) {
  return std::char_traits<WideChar>::length(text);
}

// UTF-8 to UTF-16 and back, for the native build's file names and for printing. Invalid input
// becomes U+FFFD rather than being dropped, so lengths and positions stay meaningful.
WideString WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(WideStringView wide);

}  // namespace tarnwick
