#pragma once
// Where everything of the settings window lies, in pixels of its unscaled client area, and which
// swatch a click picks. The program declares no DPI awareness, so these are the pixels drawn.

#include <array>
#include <cstdint>

#include "common/wide.h"
#include "common/win_types.h"

namespace tarnwick {

// Left, top, right, bottom; right and bottom exclusive, as a Win32 RECT.
struct PixelRect {
  int left;
  int top;
  int right;
  int bottom;

  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

struct PixelPoint {
  int x;
  int y;
};

// The sixteen presets in swatch order: two rows of eight. Index 0 is the default badge colour.
inline constexpr std::array<COLORREF, 16> BadgePalette = {
    0x005B7D2E, 0x003C641C, 0x0050A05A, 0x003CB478, 0x00B46E1E, 0x00C8963C, 0x00C85A5A, 0x00BE5082,
    0x003C3CC8, 0x00286EDC, 0x0028AAE1, 0x00823CBE, 0x004E4646, 0x008A8282, 0x00FAFAFA, 0x00141414,
};

// The window's three buttons, created in this order. No WS_TABSTOP and no font of their own: they
// keep the classic look and the system's default control font.
inline constexpr int ApplyButtonId = 101;
inline constexpr int MoreColorsButtonId = 102;
inline constexpr int OutlineCheckboxId = 103;

struct SettingsControl {
  int id;
  const WideChar* text;
  DWORD style;
  PixelRect rect;
};

inline constexpr std::array<SettingsControl, 3> SettingsControls = {{
    // WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON
    {MoreColorsButtonId, WIDE("その他の色…"), 0x50000000, {20, 300, 140, 330}},
    // WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX
    {OutlineCheckboxId, WIDE("白いフチを付ける"), 0x50000003, {150, 305, 300, 327}},
    // WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON
    {ApplyButtonId, WIDE("この色にする"), 0x50000001, {320, 300, 450, 330}},
}};

inline constexpr int kSwatchCount = static_cast<int>(BadgePalette.size());
inline constexpr int kNoSwatch = -1;

PixelRect SwatchRect(int index);

// The swatch under a click, or kNoSwatch. The gaps between swatches and the ring around the
// selected one pick nothing.
int SwatchAt(unsigned x, unsigned y);

// WM_LBUTTONDOWN packs x and y into the low and high 16 bits of lParam. Both are read unsigned, so
// a click left of or above the client area (negative coordinates) lands far away, not on a swatch.
int SwatchAtClick(std::intptr_t lParam);

enum class SwatchMark { SelectionRing, GreyFrame };

// The ring marks the swatch whose colour equals the selection in all 32 bits; a colour from the
// colour dialog that matches no preset leaves every swatch framed.
SwatchMark MarkOfSwatch(int index, COLORREF selected);

// The ring is drawn with a 3-pixel pen centred on this rectangle, 3 pixels outside the swatch.
PixelRect SelectionRingRect(int index);

struct PreviewPanel {
  PixelRect rect;
  COLORREF fill;
};

inline constexpr std::array<PreviewPanel, 2> PreviewPanels = {{
    {{20, 166, 150, 240}, 0x00FAFAFA},   // light
    {{170, 166, 300, 240}, 0x002C2828},  // dark
}};

// Each panel shows the badge at two sizes, each on a folder-coloured rectangle, at `offset`
// pixels from the panel's left edge.
struct PreviewSample {
  int size;
  int offset;
};

inline constexpr std::array<PreviewSample, 2> PreviewSamples = {{{32, 14}, {48, 76}}};
inline constexpr int kPreviewSampleTop = 184;
inline constexpr COLORREF kPreviewFolderColor = 0x005CC7F5;

PixelPoint PreviewSampleOrigin(const PreviewPanel& panel, const PreviewSample& sample);

// The folder behind a sample: as wide as the badge square, four fifths as tall (32 x 25, 48 x 38).
PixelRect PreviewFolderRect(PixelPoint origin, int size);

struct PaintedText {
  PixelPoint at;
  const WideChar* text;
};

inline constexpr PaintedText kHeadingText = {{20, 18}, WIDE("バッジの色を選んでください")};
inline constexpr PaintedText kExplanationText = {
    {20, 36}, WIDE("（サブフォルダが無いフォルダに付く印の色です）")};
inline constexpr PaintedText kPreviewCaptionText = {{20, 144},
                                                    WIDE("見え方（左がアイコン32px・右が48px）")};
inline constexpr PaintedText kNoteText = {
    {20, 254}, WIDE("⚠ 色を変えたら、エクスプローラーの再起動で反映されます。")};

}  // namespace tarnwick
