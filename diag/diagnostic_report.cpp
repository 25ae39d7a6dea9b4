#include "diag/diagnostic_report.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace tarnwick {
namespace {

// ASCII digits whatever the locale: the box must read the same on every machine.
void AppendDecimal(WideString& text, std::uint64_t value) {
  WideChar digits[20];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<WideChar>(WIDE('0') + value % 10);
    value /= 10;
  } while (value != 0);
  while (count > 0) text += digits[--count];
}

void AppendConclusion(WideString& text, std::int32_t position) {
  if (position < 1) {
    text += WIDE("Tarnwick が登録されていません。インストールし直してください。");
    return;
  }
  text += WIDE("Tarnwick は ");
  AppendDecimal(text, static_cast<std::uint64_t>(position));
  if (position <= OverlaySlotCount) {
    text += WIDE(" 番目＝有効です。\n印が見えない場合は、エクスプローラーを再起動してください。");
    return;
  }
  // This 15 is fixed wording, not the slot constant.
  text += WIDE(
      " 番目で、15枠からあふれています。\n"
      "＝この PC では印が表示されません。\n"
      "\n"
      "対処：使っていない同期ソフト（OneDrive・Dropbox 等）の\n"
      "アイコン表示を減らすと枠が空きます。\n"
      "※ これは Windows 側の制限で、Tarnwick の不具合ではありません。");
}

}  // namespace

WideString ComposeDiagnosticReport(const OverlaySurvey& survey) {
  const std::size_t count = survey.names.size();
  const std::size_t slots = OverlaySlotCount;

  WideString text = WIDE("■ この PC のアイコンオーバーレイ枠\n\nWindows は全体で ");
  AppendDecimal(text, slots);
  text += WIDE(" 枠しか持っていません。\n登録数：");
  AppendDecimal(text, count);
  text += WIDE(" 件");
  if (count > slots) {
    text += WIDE("（うち ");
    AppendDecimal(text, count - slots);
    text += WIDE(" 件は枠あふれで無効）");
  } else {
    text += WIDE("（空き ");
    AppendDecimal(text, slots - count);
    text += WIDE(" 枠）");
  }
  text += WIDE("\n\n― 有効（Windows が見る順）―\n");

  for (std::size_t index = 0; index < count; ++index) {
    if (index == slots) text += WIDE("―― ここから下は無効 ――\n");
    AppendDecimal(text, index + 1);
    text += WIDE(". ");
    // Whole, leading spaces and all: they are what put a handler ahead of another.
    text += survey.names[index];
    if (IsOwnOverlayName(survey.names[index])) text += WIDE("   ← Tarnwick");
    text += WIDE('\n');
  }

  text += WIDE("\n■ 結論\n");
  AppendConclusion(text, survey.ownPosition);
  return text;
}

int RunDiagnosis(OverlayIdentifierKey& key, DiagnosticDisplay& display) {
  const WideString title(kDiagnosticTitle);
  std::vector<WideString> names;
  if (!ReadOverlayIdentifierNames(key, names)) {
    display.ShowMessageBox(WideString(kRegistryUnreadableText), title, MB_OK | MB_ICONERROR);
    return 1;
  }
  // The key is closed by now: nothing is held open while the box waits for the user.
  const OverlaySurvey survey = SurveyOverlays(std::move(names));
  display.ShowMessageBox(ComposeDiagnosticReport(survey), title, MB_OK | MB_ICONINFORMATION);
  return 0;
}

}  // namespace tarnwick
