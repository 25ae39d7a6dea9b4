// The diagnosis on lists in memory: ordering and matching the overlay handlers' names, and the
// program's one pass, with the registry key and the box faked, down to the report's exact text.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "diag/diagnostic_report.h"
#include "diag/overlay_survey.h"

namespace tarnwick {
namespace {

using Names = std::vector<WideString>;

// The overlay identifiers key in memory, and the screen the boxes go to. The key behaves as
// RegEnumKeyExW does: a capacity too small for the name and its terminator gives ERROR_MORE_DATA,
// and the capacity comes back holding the name's length. It fails where told to and checks that
// it is closed once for each opening; each box is kept with whether the key was open meanwhile.
class FakeKeyAndScreen final : public OverlayIdentifierKey, public DiagnosticDisplay {
 public:
  FakeKeyAndScreen(Names subkeys, LONG openStatus, DWORD failAt)
      : names(std::move(subkeys)), openStatus(openStatus), failAt(failAt) {}

  LONG Open() override {
    isOpen = openStatus == ERROR_SUCCESS;
    return openStatus;
  }

  LONG EnumerateSubkey(DWORD index, WideChar* name, DWORD* capacity) override {
    if (!isOpen) return ERROR_ACCESS_DENIED;
    // The whole buffer before every call: the last call left the last name's length there.
    EXPECT_EQ(*capacity, 512u);
    if (index == failAt) return ERROR_ACCESS_DENIED;
    if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
    const WideString& subkey = names[index];
    if (*capacity < subkey.size() + 1) return ERROR_MORE_DATA;
    subkey.copy(name, subkey.size());
    name[subkey.size()] = 0;
    *capacity = static_cast<DWORD>(subkey.size());
    return ERROR_SUCCESS;
  }

  void Close() override {
    EXPECT_TRUE(isOpen) << "closed without being open";
    isOpen = false;
  }

  void ShowMessageBox(const WideString& text, const WideString& title, UINT style) override {
    boxes.push_back({Utf8FromWide(text), Utf8FromWide(title), style, isOpen});
  }

  struct Box {
    std::string text;
    std::string title;
    UINT style;
    bool keyOpen;
  };
  Names names;
  LONG openStatus;
  DWORD failAt;
  bool isOpen = false;
  std::vector<Box> boxes;
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
    Names names(c.sorted.rbegin(), c.sorted.rend());
    SortInExplorerOrder(names);
    EXPECT_EQ(names, c.sorted) << c.why;
  }
}

// `count` names listed against Explorer's order, the badge handler at `own` (if any) in it: the
// ones before it have two leading spaces, "  Handler 001", the ones after it none, "Handler 017".
Names Handlers(int count, int own) {
  Names names;
  for (int i = 1; i <= count; ++i) {
    const std::string number = std::to_string(i);
    names.push_back(i == own ? WideString(kOwnOverlayName)
                             : WideFromUtf8((i < own ? "  Handler " : "Handler ") +
                                            std::string(3 - number.size(), '0') + number));
  }
  return Names(names.rbegin(), names.rend());
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(DiagnosticProgram, ShowsOneBoxWithTheReportOrTheErrorAfterTheKeyIsClosed) {
  constexpr DWORD kNever = 0xFFFFFFFF;
  const std::string unreadable = "レジストリを読めませんでした。";
  const std::string notRegistered =
      "\n■ 結論\nTarnwick が登録されていません。インストールし直してください。";
  const std::string within =
      " 番目＝有効です。\n印が見えない場合は、エクスプローラーを再起動してください。";
  const std::string separated = "15. Handler 015\n―― ここから下は無効 ――\n16. Handler 016\n";
  // Only the exact "  Tarnwick" is the badge handler; names are whole, however long.
  const WideString longest(255, WIDE('x'));
  const Names lookalikes = {
      WIDE("Tarnwick"), WIDE("  Tarnwick "), WIDE("   Tarnwick"), WIDE("  TARNWICK"),
      longest,          WIDE("同期 ソフト")};
  const struct {
    const char* why;
    Names names;
    std::vector<std::string> parts;  // each in the text once, the last one ending it
    LONG openStatus = ERROR_SUCCESS;
    DWORD failAt = kNever;
  } cases[] = {
      {"key missing", lookalikes, {unreadable}, ERROR_FILE_NOT_FOUND},
      // A list cut short would put the badge handler in the wrong slot, or miss it.
      {"enumeration refused part-way", lookalikes, {unreadable}, ERROR_SUCCESS, 2},
      {"enumeration refused at once", lookalikes, {unreadable}, ERROR_SUCCESS, 0},
      {"names whole, lookalikes unmarked",
       lookalikes,
       {"― 有効（Windows が見る順）―\n1.    Tarnwick\n2.   TARNWICK\n3.   Tarnwick \n4. "
        "Tarnwick\n5. " +
            Utf8FromWide(longest) + "\n6. 同期 ソフト\n",
        notRegistered}},
      {"empty key",
       {},
       {"登録数：0 件（空き 15 枠）\n\n― 有効（Windows が見る順）―\n" + notRegistered}},
      {"15 names, the badge handler last",
       Handlers(15, 15),
       {"登録数：15 件（空き 0 枠）\n",
        "14.   Handler 014\n15.   Tarnwick   ← Tarnwick\n\n■ 結論\nTarnwick は 15" + within}},
      {"20 names, the badge handler 3rd",
       Handlers(20, 3),
       {"登録数：20 件（うち 5 件は枠あふれで無効）\n",
        "2.   Handler 002\n3.   Tarnwick   ← Tarnwick\n4. Handler 004\n", separated,
        "20. Handler 020\n\n■ 結論\nTarnwick は 3" + within}},
      {"120 names, no badge handler",
       Handlers(120, 0),
       {"登録数：120 件（うち 105 件は枠あふれで無効）\n", separated,
        "99. Handler 099\n100. Handler 100\n", "120. Handler 120\n" + notRegistered}},
      {"16 names, the badge handler last",
       Handlers(16, 16),
       {"登録数：16 件（うち 1 件は枠あふれで無効）\n",
        "15.   Handler 015\n―― ここから下は無効 ――\n16.   Tarnwick   ← Tarnwick\n\n■ 結論\n"
        "Tarnwick は 16 番目で、15枠からあふれています。\n＝この PC では印が表示されません。\n\n"
        "対処：使っていない同期ソフト（OneDrive・Dropbox "
        "等）の\nアイコン表示を減らすと枠が空きます。\n"
        "※ これは Windows 側の制限で、Tarnwick の不具合ではありません。"}},
  };
  for (const auto& c : cases) {
    FakeKeyAndScreen key(c.names, c.openStatus, c.failAt);
    const bool readable = c.parts[0] != unreadable;
    EXPECT_EQ(RunDiagnosis(key, key), readable ? 0 : 1) << c.why;
    ASSERT_EQ(key.boxes.size(), 1u) << c.why;
    const FakeKeyAndScreen::Box& box = key.boxes[0];
    EXPECT_EQ(box.title, "Tarnwick 診断") << c.why;
    EXPECT_EQ(box.style, readable ? MB_OK | MB_ICONINFORMATION : MB_OK | MB_ICONERROR) << c.why;
    EXPECT_FALSE(box.keyOpen) << c.why << ": nothing is held while the box waits";
    EXPECT_FALSE(key.isOpen) << c.why;
    std::string allParts;
    for (const std::string& part : c.parts) {
      EXPECT_EQ(Count(box.text, part), 1u) << c.why << ": " << part;
      allParts += part;
    }
    EXPECT_TRUE(box.text.ends_with(c.parts.back())) << c.why << ": " << box.text;
    EXPECT_EQ(Count(box.text, "←"), Count(allParts, "←"))
        << c.why << ": only the badge handler is marked";

    // The names themselves: whole, in the registry's order, or none when the list was cut short.
    Names read = {WIDE("stale")};
    EXPECT_EQ(ReadOverlayIdentifierNames(key, read), readable) << c.why;
    EXPECT_EQ(read, readable ? c.names : Names{}) << c.why;
  }
}

}  // namespace
}  // namespace tarnwick
