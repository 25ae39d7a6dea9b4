#pragma once
// The example the diagnosis is checked against on every build: 17 handlers, fifteen of which sort
// before the badge handler, so the badge handler is 16th and overflows. The names are listed out of
// Explorer's order on purpose.

#include <vector>

#include "common/wide.h"

namespace tarnwick::testing {

inline std::vector<WideString> OverflowExampleNames() {
  return {
      WIDE("EncryptedMark"),    WIDE("  Tarnwick"),        WIDE("  DriveC Pinned"),
      WIDE("   CloudA Synced"), WIDE("  CloudB Conflict"), WIDE("   CloudA Error"),
      WIDE("  CloudB Syncing"), WIDE("  CloudB Error"),    WIDE("   CloudA ReadOnly"),
      WIDE("  DriveC Offline"), WIDE("  CloudB Ignored"),  WIDE("   CloudA Pending"),
      WIDE("  CloudB Partial"), WIDE("  DriveC Online"),   WIDE("  CloudB Locked"),
      WIDE("   CloudA Shared"), WIDE("  CloudB Synced"),
  };
}

// The box's whole text, every space and line feed significant; no line feed at the end.
inline const WideString kOverflowExampleReport = WIDE(
    "■ この PC のアイコンオーバーレイ枠\n"
    "\n"
    "Windows は全体で 15 枠しか持っていません。\n"
    "登録数：17 件（うち 2 件は枠あふれで無効）\n"
    "\n"
    "― 有効（Windows が見る順）―\n"
    "1.    CloudA Error\n"
    "2.    CloudA Pending\n"
    "3.    CloudA ReadOnly\n"
    "4.    CloudA Shared\n"
    "5.    CloudA Synced\n"
    "6.   CloudB Conflict\n"
    "7.   CloudB Error\n"
    "8.   CloudB Ignored\n"
    "9.   CloudB Locked\n"
    "10.   CloudB Partial\n"
    "11.   CloudB Synced\n"
    "12.   CloudB Syncing\n"
    "13.   DriveC Offline\n"
    "14.   DriveC Online\n"
    "15.   DriveC Pinned\n"
    "―― ここから下は無効 ――\n"
    "16.   Tarnwick   ← Tarnwick\n"
    "17. EncryptedMark\n"
    "\n"
    "■ 結論\n"
    "Tarnwick は 16 番目で、15枠からあふれています。\n"
    "＝この PC では印が表示されません。\n"
    "\n"
    "対処：使っていない同期ソフト（OneDrive・Dropbox 等）の\n"
    "アイコン表示を減らすと枠が空きます。\n"
    "※ これは Windows 側の制限で、Tarnwick の不具合ではありません。");

}  // namespace tarnwick::testing
