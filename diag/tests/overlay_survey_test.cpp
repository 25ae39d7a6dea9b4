// Reading, ordering and matching of the overlay handlers' names, on lists in memory.

#include "diag/overlay_survey.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag/tests/fake_overlay_identifier_key.h"

namespace tarnwick {
namespace {

using Names = std::vector<WideString>;
using testing::FakeOverlayIdentifierKey;

std::string Printable(const Names& names) {
  std::string text;
  for (const WideString& name : names) {
    text += '[';
    text += Utf8FromWide(name);
    text += ']';
  }
  return text;
}

TEST(ExplorerOrder, UnitsCompareAsUnsignedNumbersWithThePrefixFirst) {
  const struct {
    const char* why;
    Names input;
    Names sorted;
  } cases[] = {
      {"capitals before small letters",
       {WIDE("B"), WIDE("a"), WIDE("A")},
       {WIDE("A"), WIDE("B"), WIDE("a")}},
      {"leading spaces outweigh letters",
       {WIDE(" Z"), WIDE("  A"), WIDE("   z")},
       {WIDE("   z"), WIDE("  A"), WIDE(" Z")}},
      {"a prefix first",
       {WIDE("  Tarnwick2"), WIDE("  Tarnwick")},
       {WIDE("  Tarnwick"), WIDE("  Tarnwick2")}},
      {"digits, capitals, low line, small letters",
       {WIDE("a"), WIDE("_"), WIDE("Z"), WIDE("9"), WIDE("0"), WIDE(" ")},
       {WIDE(" "), WIDE("0"), WIDE("9"), WIDE("Z"), WIDE("_"), WIDE("a")}},
      {"no case folding, no numeric runs",
       {WIDE("alpha"), WIDE("Item9"), WIDE("Zeta"), WIDE("Item10")},
       {WIDE("Item10"), WIDE("Item9"), WIDE("Zeta"), WIDE("alpha")}},
      // 診 is 0x8A3A: negative if the units were compared as signed numbers.
      {"ASCII before kana and kanji",
       {WIDE("診断"), WIDE("データ"), WIDE("~"), WIDE("zz")},
       {WIDE("zz"), WIDE("~"), WIDE("データ"), WIDE("診断")}},
      // U+1F4C1 is D83D DCC1: by units it comes before U+FF21, by code points after.
      {"UTF-16 units, not code points",
       {WIDE("\uFF21"), WIDE("\U0001F4C1"), WIDE("\uE000")},
       {WIDE("\U0001F4C1"), WIDE("\uE000"), WIDE("\uFF21")}},
  };
  for (const auto& c : cases) {
    Names forward = c.input;
    SortInExplorerOrder(forward);
    EXPECT_EQ(forward, c.sorted) << c.why << ": " << Printable(forward);
    Names backward(c.input.rbegin(), c.input.rend());
    SortInExplorerOrder(backward);
    EXPECT_EQ(backward, c.sorted) << c.why << ": " << Printable(backward);
  }
}

TEST(OwnOverlayName, OnlyTwoSpacesAndTheExactWordMatch) {
  const struct {
    WideString name;
    bool own;
  } cases[] = {
      {WIDE("  Tarnwick"), true},
      {WIDE("Tarnwick"), false},
      {WIDE(" Tarnwick"), false},
      {WIDE("   Tarnwick"), false},
      {WIDE("  Tarnwick "), false},
      {WIDE("  tarnwick"), false},
      {WIDE("  TARNWICK"), false},
      {WIDE("  Tarnwick2"), false},
      {WIDE("\u3000\u3000Tarnwick"), false},
      {WideString(WIDE("  Tarnwick\0"), 11), false},
      {WIDE(""), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsOwnOverlayName(c.name), c.own) << "[" << Utf8FromWide(c.name) << "]";
  }
}

TEST(OverlaySurvey, OwnPositionIsTakenInExplorerOrder) {
  Names overflowing = {WIDE("  Tarnwick")};
  for (int i = 0; i < 15; ++i) {
    overflowing.push_back(WIDE("   Early") + WideFromUtf8(std::to_string(i)));
  }
  const struct {
    const char* why;
    Names names;
    std::int32_t position;
  } cases[] = {
      {"empty key", {}, -1},
      {"only the product word", {WIDE("Tarnwick"), WIDE("Other")}, -1},
      {"prefix sorts first and only it matches", {WIDE("  Tarnwick2"), WIDE("  Tarnwick")}, 1},
      {"registered first, sorted second", {WIDE("  Tarnwick"), WIDE("   More spaces")}, 2},
      {"fifteen earlier names push it out", overflowing, 16},
      {"capitals before T count too",
       {WIDE("  Tarnwick"), WIDE("  Sync"), WIDE("  Arrow"), WIDE("  tail")},
       3},
  };
  for (const auto& c : cases) {
    const OverlaySurvey survey = SurveyOverlays(c.names);
    EXPECT_EQ(survey.ownPosition, c.position) << c.why;
    EXPECT_EQ(survey.names.size(), c.names.size()) << c.why << ": nothing is filtered out";
  }
}

TEST(ReadingTheKey, ACompleteEnumerationOrNothing) {
  // Growing lengths: a capacity not reset before each call would refuse the longer names.
  const Names names = {WIDE("a"), WIDE("  Tarnwick "), WIDE("   CloudA Error"),
                       WideString(255, WIDE('x')), WIDE("同期 ソフト")};
  const struct {
    const char* why;
    Names names;
    LONG openStatus;
    DWORD failAtIndex;
    LONG failStatus;
    bool read;
  } cases[] = {
      {"names whole, in registry order", names, ERROR_SUCCESS, 0xFFFFFFFF, ERROR_SUCCESS, true},
      {"empty key", {}, ERROR_SUCCESS, 0xFFFFFFFF, ERROR_SUCCESS, true},
      {"key missing", names, ERROR_FILE_NOT_FOUND, 0xFFFFFFFF, ERROR_SUCCESS, false},
      {"access refused", names, ERROR_ACCESS_DENIED, 0xFFFFFFFF, ERROR_SUCCESS, false},
      // A list cut short would put the badge handler in the wrong slot, or miss it.
      {"enumeration refused part-way", names, ERROR_SUCCESS, 2, ERROR_ACCESS_DENIED, false},
      {"enumeration fails at the first subkey", names, ERROR_SUCCESS, 0, ERROR_MORE_DATA, false},
  };
  for (const auto& c : cases) {
    FakeOverlayIdentifierKey key(c.names);
    key.openStatus = c.openStatus;
    key.failAtIndex = c.failAtIndex;
    key.failStatus = c.failStatus;
    Names read = {WIDE("stale")};
    EXPECT_EQ(ReadOverlayIdentifierNames(key, read), c.read) << c.why;
    EXPECT_EQ(read, c.read ? c.names : Names{}) << c.why << ": " << Printable(read);
    EXPECT_EQ(key.closeCalls, c.openStatus == ERROR_SUCCESS ? 1 : 0) << c.why;
    EXPECT_FALSE(key.isOpen) << c.why;
    if (c.read) {
      EXPECT_EQ(key.capacities, std::vector<DWORD>(c.names.size() + 1, kOverlayNameCapacity));
    }
  }
}

}  // namespace
}  // namespace tarnwick
