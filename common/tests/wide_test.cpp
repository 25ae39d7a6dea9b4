#include "common/wide.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tarnwick {
namespace {

TEST(WideText, Utf8RoundTripKeepsEveryCodeUnitAndBrokenTextBecomesReplacementCharacters) {
  const std::string text = "C:/データ/\xF0\x9F\x93\x81 folder";  // kana and a surrogate pair
  const WideString wide = WideFromUtf8(text);
  EXPECT_EQ(wide.size(), 3u + 3u + 1u + 2u + 7u);
  EXPECT_EQ(wide[7], static_cast<WideChar>(0xD83D));
  EXPECT_EQ(Utf8FromWide(wide), text);
  // A cut-off sequence: its lead and its lone continuation byte each become U+FFFD.
  const WideString expected = {WIDE('a'), 0xFFFD, 0xFFFD, WIDE('z')};
  EXPECT_EQ(WideFromUtf8("a\xE3\x83z"), expected);
  // An overlong NUL, an encoded surrogate and a code point past U+10FFFF: one U+FFFD a byte.
  for (const char* broken : {"\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80"}) {
    EXPECT_EQ(WideFromUtf8(broken), WideString(std::strlen(broken), 0xFFFD)) << broken;
  }
  EXPECT_EQ(Utf8FromWide(WideString(1, static_cast<WideChar>(0xDC00))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace tarnwick
