// Reading, ordering and matching of the overlay handlers' names, on lists in memory.

#include "diag/overlay_survey.h"

#include <gtest/gtest.h>

#include <algorithm>
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
  Names fifteenBefore;
  for (int i = 0; i < 15; ++i) {
    fifteenBefore.push_back(WIDE("   Early") + WideFromUtf8(std::to_string(i)));
  }
  Names overflowing = fifteenBefore;
  overflowing.insert(overflowing.begin(), WIDE("  Tarnwick"));

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
    EXPECT_TRUE(std::is_sorted(
        survey.names.begin(), survey.names.end(),
        [](const WideString& a, const WideString& b) { return PrecedesInExplorerOrder(a, b); }))
        << c.why;
  }
}

TEST(OverlaySurvey, RegistryOrderDoesNotChangeTheResult) {
  Names names = {WIDE("  Tarnwick"), WIDE("   CloudA"), WIDE("EncryptedMark"),
                 WIDE("  Drive"),    WIDE("alpha"),     WIDE("Zeta")};
  std::sort(names.begin(), names.end());
  const OverlaySurvey first = SurveyOverlays(names);
  int permutations = 0;
  do {
    const OverlaySurvey survey = SurveyOverlays(names);
    ASSERT_EQ(survey.names, first.names) << Printable(names);
    ASSERT_EQ(survey.ownPosition, first.ownPosition) << Printable(names);
    ++permutations;
  } while (std::next_permutation(names.begin(), names.end()));
  EXPECT_EQ(permutations, 720);
  EXPECT_EQ(first.ownPosition, 3);
}

TEST(ReadingTheKey, NamesComeWholeInRegistryOrderAndTheKeyIsClosed) {
  // Growing lengths: a capacity not reset before each call would refuse the longer names.
  const Names names = {WIDE("a"), WIDE("  Tarnwick "), WIDE("   CloudA Error"),
                       WideString(255, WIDE('x')), WIDE("同期 ソフト")};
  FakeOverlayIdentifierKey key(names);
  Names read = {WIDE("stale")};
  ASSERT_TRUE(ReadOverlayIdentifierNames(key, read));
  EXPECT_EQ(read, names);
  EXPECT_EQ(key.closeCalls, 1);
  EXPECT_FALSE(key.isOpen);
  EXPECT_EQ(key.capacities, std::vector<DWORD>(names.size() + 1, kOverlayNameCapacity));
}

TEST(ReadingTheKey, AnEmptyKeyIsAnEmptyListNotAFailure) {
  FakeOverlayIdentifierKey key;
  Names read;
  EXPECT_TRUE(ReadOverlayIdentifierNames(key, read));
  EXPECT_TRUE(read.empty());
  EXPECT_EQ(key.closeCalls, 1);
}

TEST(ReadingTheKey, AKeyThatCannotBeOpenedOrEnumeratedToTheEndIsAFailure) {
  const struct {
    const char* why;
    LONG openStatus;
    DWORD failAtIndex;
    LONG failStatus;
    int closeCalls;
  } cases[] = {
      {"key missing", ERROR_FILE_NOT_FOUND, 0xFFFFFFFF, ERROR_SUCCESS, 0},
      {"access refused", ERROR_ACCESS_DENIED, 0xFFFFFFFF, ERROR_SUCCESS, 0},
      // A list cut short would put the badge handler in the wrong slot, or miss it.
      {"enumeration refused part-way", ERROR_SUCCESS, 2, ERROR_ACCESS_DENIED, 1},
      {"enumeration fails at the first subkey", ERROR_SUCCESS, 0, ERROR_MORE_DATA, 1},
  };
  for (const auto& c : cases) {
    FakeOverlayIdentifierKey key({WIDE("  A"), WIDE("  B"), WIDE("  Tarnwick"), WIDE("Z")});
    key.openStatus = c.openStatus;
    key.failAtIndex = c.failAtIndex;
    key.failStatus = c.failStatus;
    Names read = {WIDE("stale")};
    EXPECT_FALSE(ReadOverlayIdentifierNames(key, read)) << c.why;
    EXPECT_TRUE(read.empty()) << c.why;
    EXPECT_EQ(key.openCalls, 1) << c.why;
    EXPECT_EQ(key.closeCalls, c.closeCalls) << c.why;
    EXPECT_FALSE(key.isOpen) << c.why;
  }
}

}  // namespace
}  // namespace tarnwick
