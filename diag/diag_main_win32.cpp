// TarnwickDiag.exe: tells the user whether the badge handler lies within Explorer's overlay slots.
// No window of its own and no arguments; one message box, then the exit code.

#include <windows.h>

#include "diag/diagnostic_report.h"
#include "diag/overlay_survey.h"

namespace tarnwick {
namespace {

class MessageBoxDisplay final : public DiagnosticDisplay {
 public:
  void ShowMessageBox(const WideString& text, const WideString& title, UINT style) override {
    // No owner: the program has no window, and the box must not hide behind another program's.
    MessageBoxW(nullptr, text.c_str(), title.c_str(), style);
  }
};

}  // namespace
}  // namespace tarnwick

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  tarnwick::Win32OverlayIdentifierKey key;
  tarnwick::MessageBoxDisplay display;
  return tarnwick::RunDiagnosis(key, display);
}
