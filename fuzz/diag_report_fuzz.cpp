// The diagnosis over any names: the input's lines are the subkeys of the overlay identifiers key,
// in the registry's order; a first line "#N" makes the enumeration fail at index N. The pass reads,
// sorts by UTF-16 units and shows one box; the report marks and concludes on the own entry
// "  Tarnwick" exactly when it is registered.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/wide.h"
#include "diag/diagnostic_report.h"
#include "diag/overlay_survey.h"
#include "fuzz/fuzz_property.h"

namespace {

using Names = std::vector<WideString>;

// RegEnumKeyExW over a list: ERROR_MORE_DATA when the name and its NUL do not fit, the length left
// in the capacity; a failure at one index when asked.
class ListKey final : public tarnwick::OverlayIdentifierKey {
 public:
  ListKey(const Names& names, std::optional<DWORD> failAt) : names_(names), failAt_(failAt) {}
  LONG Open() override { return ERROR_SUCCESS; }
  LONG EnumerateSubkey(DWORD index, WideChar* name, DWORD* capacity) override {
    if (failAt_ == index) return ERROR_ACCESS_DENIED;
    if (index >= names_.size()) return ERROR_NO_MORE_ITEMS;
    const WideString& subkey = names_[index];
    if (*capacity < subkey.size() + 1) return ERROR_MORE_DATA;
    std::copy(subkey.begin(), subkey.end(), name);
    name[subkey.size()] = 0;
    *capacity = static_cast<DWORD>(subkey.size());
    return ERROR_SUCCESS;
  }
  void Close() override {}

 private:
  const Names& names_;
  std::optional<DWORD> failAt_;
};

struct Box final : tarnwick::DiagnosticDisplay {
  void ShowMessageBox(const WideString& text, const WideString& title, UINT style) override {
    shown.push_back({text, title, style});
  }
  struct Shown {
    WideString text;
    WideString title;
    UINT style;
  };
  std::vector<Shown> shown;
};

WideString Decimal(std::size_t value) { return tarnwick::WideFromUtf8(std::to_string(value)); }

std::size_t Count(const WideString& text, const WideString& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != WideString::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const WideString text = tarnwick::WideFromUtf8({reinterpret_cast<const char*>(data), size});
  Names names(1);
  for (const WideChar unit : text) {
    if (unit == WIDE('\n')) {
      names.emplace_back();
    } else if (names.back().size() < 255) {  // the registry's longest key name
      // A key name holds no NUL; and no name here carries the report's own marker, so every
      // marker in it is the report's.
      names.back().push_back(unit == 0 ? WIDE('0') : unit == 0x2190 ? WIDE('<') : unit);
    }
  }
  std::optional<DWORD> failAt;
  if (!names[0].empty() && names[0][0] == WIDE('#')) {
    failAt = 0;
    for (std::size_t i = 1; i < names[0].size() && i < 4; ++i) {
      failAt = *failAt * 10 + (static_cast<DWORD>(names[0][i]) % 10);
    }
    names.erase(names.begin());
  }
  // Subkey names are unique ignoring case: a later spelling of a name already there is dropped.
  std::set<WideString> seen;
  std::erase_if(names, [&](const WideString& name) {
    WideString folded = name;
    for (WideChar& unit : folded) {
      if (unit >= WIDE('a') && unit <= WIDE('z')) unit = static_cast<WideChar>(unit - 0x20);
    }
    return !seen.insert(folded).second;
  });

  ListKey key(names, failAt);
  Box box;
  const int exitCode = tarnwick::RunDiagnosis(key, box);
  FUZZ_PROPERTY(box.shown.size() == 1);
  FUZZ_PROPERTY(box.shown[0].title == WIDE("Tarnwick 診断"));
  if (failAt && *failAt <= names.size()) {
    FUZZ_PROPERTY(exitCode == 1);
    FUZZ_PROPERTY(box.shown[0].text == WIDE("レジストリを読めませんでした。"));
    FUZZ_PROPERTY(box.shown[0].style == (MB_OK | MB_ICONERROR));
    return 0;
  }
  FUZZ_PROPERTY(exitCode == 0);
  FUZZ_PROPERTY(box.shown[0].style == (MB_OK | MB_ICONINFORMATION));

  // The survey: the same names in the order of their units as unsigned numbers, prefix first.
  const tarnwick::OverlaySurvey survey = tarnwick::SurveyOverlays(names);
  FUZZ_PROPERTY(std::is_permutation(survey.names.begin(), survey.names.end(), names.begin()));
  FUZZ_PROPERTY(std::is_sorted(survey.names.begin(), survey.names.end()));
  const WideString own = WIDE("  Tarnwick");
  const auto first = std::find(survey.names.begin(), survey.names.end(), own);
  const bool registered = first != survey.names.end();
  const std::size_t position = static_cast<std::size_t>(first - survey.names.begin()) + 1;
  FUZZ_PROPERTY(survey.ownPosition == (registered ? static_cast<std::int32_t>(position) : -1));

  const WideString& report = box.shown[0].text;
  FUZZ_PROPERTY(Count(report, WIDE("   ← Tarnwick\n")) == (registered ? 1u : 0u));
  if (registered)
    FUZZ_PROPERTY(Count(report, Decimal(position) + WIDE(". ") + own + WIDE("   ← ")) == 1);
  const std::size_t n = names.size();
  FUZZ_PROPERTY(Count(report, WIDE("\n―― ここから下は無効 ――\n")) == (n > 15 ? 1u : 0u));
  const WideString countLine =
      WIDE("\n登録数：") + Decimal(n) + WIDE(" 件") +
      (n > 15 ? WIDE("（うち ") + Decimal(n - 15) + WIDE(" 件は枠あふれで無効）")
              : WIDE("（空き ") + Decimal(15 - n) + WIDE(" 枠）"));
  FUZZ_PROPERTY(report.find(countLine + WIDE("\n\n")) != WideString::npos);
  // The conclusion is everything after its heading, which no name can imitate: names hold no line
  // feed, so none begins a line.
  const WideString heading = WIDE("\n■ 結論\n");
  FUZZ_PROPERTY(Count(report, heading) == 1);
  const WideString conclusion = report.substr(report.find(heading) + heading.size());
  if (!registered) {
    FUZZ_PROPERTY(conclusion ==
                  WIDE("Tarnwick が登録されていません。インストールし直してください。"));
  } else if (position <= 15) {
    FUZZ_PROPERTY(
        conclusion ==
        WIDE("Tarnwick は ") + Decimal(position) +
            WIDE(" 番目＝有効です。\n印が見えない場合は、エクスプローラーを再起動してください。"));
  } else {
    FUZZ_PROPERTY(conclusion.starts_with(WIDE("Tarnwick は ") + Decimal(position) +
                                         WIDE(" 番目で、15枠からあふれています。\n")));
  }
  return 0;
}
