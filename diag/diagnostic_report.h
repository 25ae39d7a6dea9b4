#pragma once
// The user-facing side of TarnwickDiag: the report text on the survey and the program's one pass,
// read, sort, compose, one message box. The box is a seam so the pass runs without a desktop.

#include "common/wide.h"
#include "common/win_types.h"
#include "diag/overlay_survey.h"

namespace tarnwick {

inline constexpr WideStringView kDiagnosticTitle = WIDE("Tarnwick 診断");
inline constexpr WideStringView kRegistryUnreadableText = WIDE("レジストリを読めませんでした。");

// The report in Japanese: the slot count, every handler in Explorer's order with the void ones
// below a separator, and a conclusion about the badge handler. Single line feeds, none at the end.
WideString ComposeDiagnosticReport(const OverlaySurvey& survey);

// MessageBoxW with no owner; modal, its answer unused.
class DiagnosticDisplay {
 public:
  virtual ~DiagnosticDisplay() = default;
  virtual void ShowMessageBox(const WideString& text, const WideString& title, UINT style) = 0;
};

// The whole program; gives its exit code: 1 when the registry could not be read, otherwise 0, a
// missing badge registration included.
int RunDiagnosis(OverlayIdentifierKey& key, DiagnosticDisplay& display);

}  // namespace tarnwick
