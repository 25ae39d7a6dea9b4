// The diagnosis on lists in memory: reading, ordering and matching the overlay handlers' names,
// the report's exact text, and the program's one pass with the registry and the box faked.

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "diag/diagnostic_report.h"
#include "diag/overlay_survey.h"
#include "diag/tests/overflow_example.h"

namespace tarnwick {
namespace {

using Names = std::vector<WideString>;

// The overlay identifiers key in memory. Behaves as RegEnumKeyExW does: a capacity too small for
// the name and its terminator gives ERROR_MORE_DATA, and the capacity comes back holding the
// name's length. Fails where told to, and records what the reader asked.
class FakeOverlayIdentifierKey final : public OverlayIdentifierKey {
 public:
  explicit FakeOverlayIdentifierKey(std::vector<WideString> subkeys) : names(std::move(subkeys)) {}

  LONG Open() override {
    if (openStatus == ERROR_SUCCESS) isOpen = true;
    return openStatus;
  }

  LONG EnumerateSubkey(DWORD index, WideChar* name, DWORD* capacity) override {
    if (!isOpen) return ERROR_ACCESS_DENIED;
    capacities.push_back(*capacity);
    if (index == failAtIndex) return failStatus;
    if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
    const WideString& subkey = names[index];
    if (*capacity < subkey.size() + 1) return ERROR_MORE_DATA;
    subkey.copy(name, subkey.size());
    name[subkey.size()] = 0;
    *capacity = static_cast<DWORD>(subkey.size());
    return ERROR_SUCCESS;
  }

  void Close() override {
    ++closeCalls;
    isOpen = false;
  }

  std::vector<WideString> names;
  LONG openStatus = ERROR_SUCCESS;
  DWORD failAtIndex = 0xFFFFFFFF;
  LONG failStatus = ERROR_SUCCESS;

  bool isOpen = false;
  int closeCalls = 0;
  std::vector<DWORD> capacities;
};

TEST(ExplorerOrder, UnitsCompareAsUnsignedNumbersWithThePrefixFirst) {
  const struct {
    const char* why;
    Names sorted;
  } cases[] = {
      {"leading spaces outweigh letters", {WIDE("   z"), WIDE("  A"), WIDE(" Z")}},
      {"a prefix first", {WIDE("  Tarnwick"), WIDE("  Tarnwick2")}},
      {"space, digits, capitals, low line, small letters",
       {WIDE(" "), WIDE("0"), WIDE("9"), WIDE("A"), WIDE("Z"), WIDE("_"), WIDE("a")}},
      {"no case folding, no numeric runs",
       {WIDE("Item10"), WIDE("Item9"), WIDE("Zeta"), WIDE("alpha")}},
      // 診 is 0x8A3A: negative if the units were compared as signed numbers.
      {"ASCII before kana and kanji", {WIDE("zz"), WIDE("~"), WIDE("データ"), WIDE("診断")}},
      // U+1F4C1 is D83D DCC1: by units it comes before U+FF21, by code points after.
      {"UTF-16 units, not code points", {WIDE("\U0001F4C1"), WIDE("\uE000"), WIDE("\uFF21")}},
  };
  for (const auto& c : cases) {
    Names reversed(c.sorted.rbegin(), c.sorted.rend());
    Names rotated = c.sorted;
    std::rotate(rotated.begin(), rotated.begin() + 1, rotated.end());
    for (Names names : {reversed, rotated}) {
      SortInExplorerOrder(names);
      EXPECT_EQ(names, c.sorted) << c.why;
    }
  }
}

TEST(OwnOverlayName, OnlyTwoSpacesAndTheExactWordMatch) {
  EXPECT_TRUE(IsOwnOverlayName(WIDE("  Tarnwick")));
  for (const WideString name :
       {WIDE("Tarnwick"), WIDE(" Tarnwick"), WIDE("   Tarnwick"), WIDE("  Tarnwick "),
        WIDE("  tarnwick"), WIDE("  Tarnwick2"), WIDE("\u3000\u3000Tarnwick"), WIDE("")}) {
    EXPECT_FALSE(IsOwnOverlayName(name)) << "[" << Utf8FromWide(name) << "]";
  }
  EXPECT_FALSE(IsOwnOverlayName(WideString(WIDE("  Tarnwick\0"), 11)));
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
  } cases[] = {
      {"names whole, in registry order", names, ERROR_SUCCESS, 0xFFFFFFFF, ERROR_SUCCESS},
      {"empty key", {}, ERROR_SUCCESS, 0xFFFFFFFF, ERROR_SUCCESS},
      {"key missing", names, ERROR_FILE_NOT_FOUND, 0xFFFFFFFF, ERROR_SUCCESS},
      // A list cut short would put the badge handler in the wrong slot, or miss it.
      {"enumeration refused part-way", names, ERROR_SUCCESS, 2, ERROR_ACCESS_DENIED},
      {"enumeration fails at the first subkey", names, ERROR_SUCCESS, 0, ERROR_MORE_DATA},
  };
  for (const auto& c : cases) {
    FakeOverlayIdentifierKey key(c.names);
    key.openStatus = c.openStatus;
    key.failAtIndex = c.failAtIndex;
    key.failStatus = c.failStatus;
    const bool complete = c.openStatus == ERROR_SUCCESS && c.failAtIndex == 0xFFFFFFFF;
    Names read = {WIDE("stale")};
    EXPECT_EQ(ReadOverlayIdentifierNames(key, read), complete) << c.why;
    EXPECT_EQ(read, complete ? c.names : Names{}) << c.why;
    EXPECT_EQ(key.closeCalls, c.openStatus == ERROR_SUCCESS ? 1 : 0) << c.why;
    EXPECT_FALSE(key.isOpen) << c.why;
    if (complete) {
      EXPECT_EQ(key.capacities, std::vector<DWORD>(c.names.size() + 1, kOverlayNameCapacity));
    }
  }
}

const std::string kNotRegistered = "Tarnwick が登録されていません。インストールし直してください。";

std::vector<std::string> Lines(const WideString& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(WIDE('\n'), start)) != WideString::npos; start = end + 1) {
    lines.push_back(Utf8FromWide(text.substr(start, end - start)));
  }
  lines.push_back(Utf8FromWide(text.substr(start)));
  return lines;
}

std::string Padded(int number) {
  const std::string digits = std::to_string(number);  // up to 999
  return std::string(3 - digits.size(), '0') + digits;
}

// `count` names "Handler 001"... in Explorer's order, the badge handler at `ownPosition`.
OverlaySurvey SurveyOf(int count, std::int32_t ownPosition) {
  Names names;
  for (int i = 1; i <= count; ++i) names.push_back(WideFromUtf8("Handler " + Padded(i)));
  if (ownPosition > 0) names[ownPosition - 1] = WideString(kOwnOverlayName);
  return OverlaySurvey{names, ownPosition};
}

TEST(DiagnosticReport, SlotCountSeparatorNumberingAndConclusionFollowTheCount) {
  const struct {
    int count;
    std::int32_t own;
    const char* countLine;
    std::string conclusion;  // its first line
  } cases[] = {
      {0, -1, "登録数：0 件（空き 15 枠）", kNotRegistered},
      {15, 15, "登録数：15 件（空き 0 枠）", "Tarnwick は 15 番目＝有効です。"},
      {16, 16, "登録数：16 件（うち 1 件は枠あふれで無効）",
       "Tarnwick は 16 番目で、15枠からあふれています。"},
      {17, 1, "登録数：17 件（うち 2 件は枠あふれで無効）", "Tarnwick は 1 番目＝有効です。"},
      {20, 3, "登録数：20 件（うち 5 件は枠あふれで無効）", "Tarnwick は 3 番目＝有効です。"},
      {30, -1, "登録数：30 件（うち 15 件は枠あふれで無効）", kNotRegistered},
      {120, 101, "登録数：120 件（うち 105 件は枠あふれで無効）",
       "Tarnwick は 101 番目で、15枠からあふれています。"},
  };
  const std::string separator = "―― ここから下は無効 ――";
  for (const auto& c : cases) {
    const std::vector<std::string> lines = Lines(ComposeDiagnosticReport(SurveyOf(c.count, c.own)));
    const auto has = [&](const std::string& line) {
      return std::count(lines.begin(), lines.end(), line);
    };
    ASSERT_GT(lines.size(), 6u) << c.count;
    EXPECT_EQ(lines[3], c.countLine) << c.count;

    // The separator once, from 16 names on, between the 15th and the 16th.
    const auto separatorAt = std::find(lines.begin(), lines.end(), separator);
    EXPECT_EQ(has(separator), c.count > 15 ? 1 : 0) << c.count;
    if (c.count > 15) {
      EXPECT_EQ(*(separatorAt - 1), "15. Handler 015") << c.count;
      EXPECT_EQ(*(separatorAt + 1), c.own == 16 ? "16.   Tarnwick   ← Tarnwick" : "16. Handler 016")
          << c.count;
    }
    // Numbering runs on past 99; only the badge handler is marked.
    if (c.count > 0 && c.own != c.count) {
      EXPECT_EQ(has(std::to_string(c.count) + ". Handler " + Padded(c.count)), 1) << c.count;
    }
    std::vector<std::string> marked;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(marked),
                 [](const std::string& line) { return line.find("←") != std::string::npos; });
    EXPECT_EQ(marked, c.own > 0 ? std::vector{std::to_string(c.own) + ".   Tarnwick   ← Tarnwick"}
                                : std::vector<std::string>{})
        << c.count;

    const auto heading = std::find(lines.begin(), lines.end(), "■ 結論");
    ASSERT_NE(heading, lines.end()) << c.count;
    EXPECT_EQ(*(heading - 1), "") << c.count;
    EXPECT_EQ(*(heading + 1), c.conclusion) << c.count;
    if (c.own >= 1 && c.own <= 15) {
      EXPECT_EQ(lines.back(), "印が見えない場合は、エクスプローラーを再起動してください。");
    }
  }
}

// Records each box, and whether the key was still open while it showed.
struct RecordingDisplay final : DiagnosticDisplay {
  struct Box {
    WideString text;
    WideString title;
    UINT style;
    bool keyOpen;
  };
  explicit RecordingDisplay(const FakeOverlayIdentifierKey& key) : key(key) {}
  void ShowMessageBox(const WideString& text, const WideString& title, UINT style) override {
    boxes.push_back({text, title, style, key.isOpen});
  }
  const FakeOverlayIdentifierKey& key;
  std::vector<Box> boxes;
};

TEST(DiagnosticProgram, OneBoxAfterTheKeyIsClosedAndTheExitCode) {
  const WideString unreadable = WIDE("レジストリを読めませんでした。");
  const Names some = {WIDE("  Tarnwick"), WIDE("OneDrive1"), WIDE("Zeta"), WIDE("alpha")};
  const Names lookalikes = {WIDE("Tarnwick"), WIDE("  TARNWICK"), WIDE("   Tarnwick"),
                            WIDE("  Tarnwick2")};
  Names example = testing::OverflowExampleNames();
  const struct {
    const char* why;
    Names names;
    LONG openStatus;
    DWORD failAtIndex;
    int exitCode;
    std::optional<WideString> text;
  } cases[] = {
      {"key missing", some, ERROR_FILE_NOT_FOUND, 0xFFFFFFFF, 1, unreadable},
      {"enumeration breaks off", some, ERROR_SUCCESS, 2, 1, unreadable},
      {"lookalikes only", lookalikes, ERROR_SUCCESS, 0xFFFFFFFF, 0, std::nullopt},
      {"overflow example", example, ERROR_SUCCESS, 0xFFFFFFFF, 0, testing::kOverflowExampleReport},
      {"overflow example, reversed", Names(example.rbegin(), example.rend()), ERROR_SUCCESS,
       0xFFFFFFFF, 0, testing::kOverflowExampleReport},
  };
  for (const auto& c : cases) {
    FakeOverlayIdentifierKey key(c.names);
    key.openStatus = c.openStatus;
    key.failAtIndex = c.failAtIndex;
    key.failStatus = ERROR_ACCESS_DENIED;
    RecordingDisplay display(key);
    EXPECT_EQ(RunDiagnosis(key, display), c.exitCode) << c.why;
    ASSERT_EQ(display.boxes.size(), 1u) << c.why;
    const RecordingDisplay::Box& box = display.boxes[0];
    EXPECT_EQ(Utf8FromWide(box.title), "Tarnwick 診断") << c.why;
    EXPECT_EQ(box.style, c.exitCode == 1 ? MB_OK | MB_ICONERROR : MB_OK | MB_ICONINFORMATION)
        << c.why;
    if (c.text) {
      EXPECT_EQ(Utf8FromWide(box.text), Utf8FromWide(*c.text)) << c.why;
    } else {  // not registered: every name listed, none marked, a one-line conclusion
      EXPECT_EQ(Lines(box.text).size(), 9 + c.names.size()) << c.why;
      EXPECT_EQ(Utf8FromWide(box.text).find("←"), std::string::npos) << c.why;
    }
    EXPECT_FALSE(box.keyOpen) << c.why << ": nothing is held while the box waits";
  }
}

}  // namespace
}  // namespace tarnwick
