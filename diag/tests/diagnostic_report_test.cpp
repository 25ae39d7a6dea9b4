// The report's exact text and the program's one pass, with the registry and the box in memory.

#include "diag/diagnostic_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "diag/tests/fake_overlay_identifier_key.h"
#include "diag/tests/overflow_example.h"

namespace tarnwick {
namespace {

using Names = std::vector<WideString>;
using testing::FakeOverlayIdentifierKey;

const WideString kNotRegistered =
    WIDE("Tarnwick が登録されていません。インストールし直してください。");

std::vector<std::string> Lines(const WideString& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(WIDE('\n'), start)) != WideString::npos; start = end + 1) {
    lines.push_back(Utf8FromWide(text.substr(start, end - start)));
  }
  lines.push_back(Utf8FromWide(text.substr(start)));
  return lines;
}

std::ptrdiff_t CountOf(const std::vector<std::string>& lines, const std::string& line) {
  return std::count(lines.begin(), lines.end(), line);
}

// `count` names "Handler 001"... in Explorer's order, the badge handler at `ownPosition`.
OverlaySurvey SurveyOf(int count, std::int32_t ownPosition) {
  Names names;
  for (int i = 1; i <= count; ++i) {
    std::string number = std::to_string(i);
    number.insert(0, 3 - number.size(), '0');
    names.push_back(WideFromUtf8("Handler " + number));
  }
  if (ownPosition > 0) names[ownPosition - 1] = WideString(kOwnOverlayName);
  return OverlaySurvey{names, ownPosition};
}

class RecordingDisplay final : public DiagnosticDisplay {
 public:
  explicit RecordingDisplay(const FakeOverlayIdentifierKey& key) : key_(key) {}

  void ShowMessageBox(const WideString& text, const WideString& title, UINT style) override {
    boxes.push_back({text, title, style, key_.isOpen});
  }

  struct Box {
    WideString text;
    WideString title;
    UINT style;
    bool keyOpen;
  };
  std::vector<Box> boxes;

 private:
  const FakeOverlayIdentifierKey& key_;
};

TEST(DiagnosticReport, OverflowExampleIsExactInAnyRegistryOrder) {
  Names names = testing::OverflowExampleNames();
  for (int order = 0; order < 3; ++order) {
    if (order == 1) std::reverse(names.begin(), names.end());
    if (order == 2) std::rotate(names.begin(), names.begin() + 7, names.end());
    FakeOverlayIdentifierKey key(names);
    RecordingDisplay display(key);
    EXPECT_EQ(RunDiagnosis(key, display), 0);
    ASSERT_EQ(display.boxes.size(), 1u);
    EXPECT_EQ(Utf8FromWide(display.boxes[0].text), Utf8FromWide(testing::kOverflowExampleReport));
  }
}

TEST(DiagnosticReport, EmptyKeyGivesHeadingsFreeSlotsAndTheNotRegisteredConclusion) {
  const WideString expected = WideString(WIDE("■ この PC のアイコンオーバーレイ枠\n\n"
                                              "Windows は全体で 15 枠しか持っていません。\n"
                                              "登録数：0 件（空き 15 枠）\n\n"
                                              "― 有効（Windows が見る順）―\n"
                                              "\n■ 結論\n")) +
                              kNotRegistered;
  EXPECT_EQ(Utf8FromWide(ComposeDiagnosticReport(SurveyOf(0, -1))), Utf8FromWide(expected));
}

TEST(DiagnosticReport, SlotCountSeparatorAndConclusionFollowTheCount) {
  const struct {
    int count;
    std::int32_t own;
    const char* countLine;
    const char* conclusion;  // its first line
  } cases[] = {
      {0, -1, "登録数：0 件（空き 15 枠）",
       "Tarnwick が登録されていません。インストールし直してください。"},
      {1, 1, "登録数：1 件（空き 14 枠）", "Tarnwick は 1 番目＝有効です。"},
      {15, 15, "登録数：15 件（空き 0 枠）", "Tarnwick は 15 番目＝有効です。"},
      {16, 16, "登録数：16 件（うち 1 件は枠あふれで無効）",
       "Tarnwick は 16 番目で、15枠からあふれています。"},
      {17, 1, "登録数：17 件（うち 2 件は枠あふれで無効）", "Tarnwick は 1 番目＝有効です。"},
      {20, 3, "登録数：20 件（うち 5 件は枠あふれで無効）", "Tarnwick は 3 番目＝有効です。"},
      {30, -1, "登録数：30 件（うち 15 件は枠あふれで無効）",
       "Tarnwick が登録されていません。インストールし直してください。"},
  };
  const std::string separator = "―― ここから下は無効 ――";
  for (const auto& c : cases) {
    const std::vector<std::string> lines = Lines(ComposeDiagnosticReport(SurveyOf(c.count, c.own)));
    ASSERT_GT(lines.size(), 6u) << c.count;
    EXPECT_EQ(lines[3], c.countLine) << c.count;

    const auto separatorAt = std::find(lines.begin(), lines.end(), separator);
    EXPECT_EQ(CountOf(lines, separator), c.count > 15 ? 1 : 0) << c.count;
    if (c.count > 15) {
      EXPECT_EQ(*(separatorAt - 1), "15. Handler 015") << c.count;
      EXPECT_EQ(*(separatorAt + 1), c.own == 16 ? "16.   Tarnwick   ← Tarnwick" : "16. Handler 016")
          << c.count;
    }

    const std::ptrdiff_t marked = std::count_if(lines.begin(), lines.end(), [](const auto& line) {
      return line.find("←") != std::string::npos;
    });
    EXPECT_EQ(marked, c.own > 0 ? 1 : 0) << c.count;

    const auto heading = std::find(lines.begin(), lines.end(), "■ 結論");
    ASSERT_NE(heading, lines.end()) << c.count;
    EXPECT_EQ(*(heading - 1), "") << c.count;
    EXPECT_EQ(*(heading + 1), c.conclusion) << c.count;
    if (c.own >= 1 && c.own <= 15) {
      EXPECT_EQ(lines.back(), "印が見えない場合は、エクスプローラーを再起動してください。");
    }
  }
}

TEST(DiagnosticReport, LookalikeNamesAreListedWithoutTheMarker) {
  const OverlaySurvey survey = SurveyOverlays(
      {WIDE("  Tarnwick2"), WIDE("Tarnwick"), WIDE("  TARNWICK"), WIDE("   Tarnwick")});
  const std::vector<std::string> lines = Lines(ComposeDiagnosticReport(survey));
  const std::vector<std::string> listed(lines.begin() + 6, lines.begin() + 10);
  EXPECT_EQ(listed, (std::vector<std::string>{"1.    Tarnwick", "2.   TARNWICK", "3.   Tarnwick2",
                                              "4. Tarnwick"}));
  EXPECT_EQ(lines.back(), Utf8FromWide(kNotRegistered));
}

TEST(DiagnosticReport, LineNumbersPastNinetyNineKeepTheLayout) {
  const std::vector<std::string> lines = Lines(ComposeDiagnosticReport(SurveyOf(120, 101)));
  EXPECT_EQ(lines[3], "登録数：120 件（うち 105 件は枠あふれで無効）");
  EXPECT_EQ(CountOf(lines, "99. Handler 099"), 1);
  EXPECT_EQ(CountOf(lines, "100. Handler 100"), 1);
  EXPECT_EQ(CountOf(lines, "101.   Tarnwick   ← Tarnwick"), 1);
  EXPECT_EQ(CountOf(lines, "120. Handler 120"), 1);
  EXPECT_EQ(CountOf(lines, "―― ここから下は無効 ――"), 1);
  EXPECT_EQ(CountOf(lines, "Tarnwick は 101 番目で、15枠からあふれています。"), 1);
}

TEST(DiagnosticProgram, OneBoxAfterTheKeyIsClosedAndTheExitCode) {
  const Names some = {WIDE("  Tarnwick"), WIDE("OneDrive1"), WIDE("Zeta"), WIDE("alpha")};
  const struct {
    const char* why;
    Names names;
    LONG openStatus;
    DWORD failAtIndex;
    int exitCode;
    UINT style;
  } cases[] = {
      {"key missing", some, ERROR_FILE_NOT_FOUND, 0xFFFFFFFF, 1, MB_OK | MB_ICONERROR},
      {"access refused", some, ERROR_ACCESS_DENIED, 0xFFFFFFFF, 1, MB_OK | MB_ICONERROR},
      {"enumeration breaks off", some, ERROR_SUCCESS, 2, 1, MB_OK | MB_ICONERROR},
      {"empty key", {}, ERROR_SUCCESS, 0xFFFFFFFF, 0, MB_OK | MB_ICONINFORMATION},
      {"not registered",
       {WIDE("Tarnwick")},
       ERROR_SUCCESS,
       0xFFFFFFFF,
       0,
       MB_OK | MB_ICONINFORMATION},
      {"within the slots", some, ERROR_SUCCESS, 0xFFFFFFFF, 0, MB_OK | MB_ICONINFORMATION},
      {"overflowing", testing::OverflowExampleNames(), ERROR_SUCCESS, 0xFFFFFFFF, 0,
       MB_OK | MB_ICONINFORMATION},
  };
  for (const auto& c : cases) {
    FakeOverlayIdentifierKey key(c.names);
    key.openStatus = c.openStatus;
    key.failAtIndex = c.failAtIndex;
    key.failStatus = ERROR_ACCESS_DENIED;
    RecordingDisplay display(key);
    EXPECT_EQ(RunDiagnosis(key, display), c.exitCode) << c.why;
    ASSERT_EQ(display.boxes.size(), 1u) << c.why;
    EXPECT_EQ(Utf8FromWide(display.boxes[0].title), "Tarnwick 診断") << c.why;
    EXPECT_EQ(display.boxes[0].style, c.style) << c.why;
    EXPECT_EQ(display.boxes[0].text == WIDE("レジストリを読めませんでした。"), c.exitCode == 1)
        << c.why;
    EXPECT_FALSE(display.boxes[0].keyOpen) << c.why << ": nothing is held while the box waits";
  }
}

}  // namespace
}  // namespace tarnwick
