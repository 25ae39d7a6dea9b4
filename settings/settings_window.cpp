#include "settings/settings_window.h"

#include <commdlg.h>

#include <cstdint>
#include <span>

#include "badge/badge.h"
#include "common/unique_handle.h"
#include "settings/badge_preview.h"
#include "settings/settings_layout.h"
#include "settings/settings_store.h"

namespace tarnwick {
namespace {

// WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX: moved, minimised and closed, never resized.
constexpr DWORD kSettingsWindowStyle = 0x00CA0000;
constexpr int kSettingsWindowWidth = 500;
constexpr int kSettingsWindowHeight = 390;

// The colour dialog's custom colours: the user's for as long as the program runs, never stored.
COLORREF CustomColors[16] = {};

RECT ToRect(const PixelRect& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

HBRUSH StockBrush(int which) { return static_cast<HBRUSH>(GetStockObject(which)); }

void FillSolid(HDC dc, const PixelRect& rect, COLORREF color) {
  const UniqueGdiObject brush(CreateSolidBrush(color));
  const RECT area = ToRect(rect);
  FillRect(dc, &area, static_cast<HBRUSH>(brush.get()));
}

void FrameGrey(HDC dc, const PixelRect& rect) {
  const RECT area = ToRect(rect);
  FrameRect(dc, &area, StockBrush(GRAY_BRUSH));
}

void PaintText(HDC dc, const PaintedText& text) {
  TextOutW(dc, text.at.x, text.at.y, text.text, static_cast<int>(WideLength(text.text)));
}

void DrawSelectionRing(HDC dc, int index) {
  const UniqueGdiObject pen(CreatePen(PS_SOLID, 3, RGB(0, 0, 0)));
  const SelectedObject selectedPen(dc, pen.get());
  const SelectedObject selectedBrush(dc, GetStockObject(NULL_BRUSH));
  const PixelRect ring = SelectionRingRect(index);
  Rectangle(dc, ring.left, ring.top, ring.right, ring.bottom);
}

void CreateControls(HWND window, HINSTANCE instance) {
  for (const SettingsControl& control : SettingsControls) {
    const HWND child = CreateWindowExW(
        0, L"BUTTON", control.text, control.style, control.rect.left, control.rect.top,
        control.rect.right - control.rect.left, control.rect.bottom - control.rect.top, window,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, nullptr);
    if (control.id == OutlineCheckboxId) {
      SendMessageW(child, BM_SETCHECK, CurrentBadgeSettings().outline ? BST_CHECKED : BST_UNCHECKED,
                   0);
    }
  }
}

void ChooseMoreColors(HWND window) {
  CHOOSECOLORW dialog = {};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = window;
  dialog.rgbResult = CurrentBadgeSettings().color;
  dialog.lpCustColors = CustomColors;
  dialog.Flags = CC_RGBINIT | CC_FULLOPEN;
  if (!ChooseColorW(&dialog)) return;
  CurrentBadgeSettings().color = dialog.rgbResult;
  InvalidateRect(window, nullptr, TRUE);
}

void OnCommand(HWND window, int id) {
  switch (id) {
    case ApplyButtonId:
      ApplyBadgeSettings(window);
      break;
    case MoreColorsButtonId:
      ChooseMoreColors(window);
      break;
    case OutlineCheckboxId:
      // The automatic check box has already toggled itself; its state is the truth.
      CurrentBadgeSettings().outline =
          SendMessageW(GetDlgItem(window, OutlineCheckboxId), BM_GETCHECK, 0, 0) == BST_CHECKED;
      InvalidateRect(window, nullptr, TRUE);
      break;
    default:
      break;
  }
}

void OnLeftButtonDown(HWND window, LPARAM lParam) {
  const int swatch = SwatchAtClick(lParam);
  if (swatch == kNoSwatch) return;
  // Picking stores nothing; only the apply button does.
  CurrentBadgeSettings().color = BadgePalette[static_cast<std::size_t>(swatch)];
  InvalidateRect(window, nullptr, TRUE);
}

}  // namespace

int RunSettingsWindow(HINSTANCE instance) {
  BadgeSettings& settings = CurrentBadgeSettings();
  settings.color = ReadBadgeColor();
  settings.outline = ReadBadgeOutline();

  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = SettingsWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = StockBrush(WHITE_BRUSH);
  windowClass.lpszClassName = kSettingsWindowClass;
  // A failed registration shows up as a window that cannot be created.
  RegisterClassW(&windowClass);

  const HWND window = CreateWindowExW(0, kSettingsWindowClass, kSettingsTitle, kSettingsWindowStyle,
                                      CW_USEDEFAULT, CW_USEDEFAULT, kSettingsWindowWidth,
                                      kSettingsWindowHeight, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, SW_SHOWNORMAL);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

LRESULT CALLBACK SettingsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CreateControls(window, reinterpret_cast<const CREATESTRUCTW*>(lParam)->hInstance);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_PAINT:
      PaintSettingsWindow(window);
      return 0;
    case WM_COMMAND:
      OnCommand(window, LOWORD(wParam));
      return 0;
    case WM_LBUTTONDOWN:
      OnLeftButtonDown(window, lParam);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

void PaintSettingsWindow(HWND window) {
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  FillRect(dc, &client, StockBrush(WHITE_BRUSH));
  SetBkMode(dc, TRANSPARENT);
  {
    const UniqueGdiObject font(CreateFontW(
        -13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
        CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Yu Gothic UI"));
    const SelectedObject selectedFont(dc, font.get());
    PaintText(dc, kHeadingText);
    PaintText(dc, kExplanationText);

    const BadgeSettings& settings = CurrentBadgeSettings();
    for (int i = 0; i < kSwatchCount; ++i) {
      FillSolid(dc, SwatchRect(i), BadgePalette[static_cast<std::size_t>(i)]);
      if (MarkOfSwatch(i, settings.color) == SwatchMark::SelectionRing) {
        DrawSelectionRing(dc, i);
      } else {
        FrameGrey(dc, SwatchRect(i));
      }
    }

    PaintText(dc, kPreviewCaptionText);
    for (const PreviewPanel& panel : PreviewPanels) {
      FillSolid(dc, panel.rect, panel.fill);
      FrameGrey(dc, panel.rect);
      for (const PreviewSample& sample : PreviewSamples) {
        const PixelPoint origin = PreviewSampleOrigin(panel, sample);
        FillSolid(dc, PreviewFolderRect(origin, sample.size), kPreviewFolderColor);
        DrawBadgePreview(dc, origin.x, origin.y, sample.size, settings.color, settings.outline);
      }
    }
    PaintText(dc, kNoteText);
  }
  EndPaint(window, &paint);
}

void DrawBadgePreview(HDC dc, int x, int y, int size, COLORREF color, bool outline) {
  if (size < 1) return;
  const BadgePixels pixels = RenderBadge(size, color, outline);

  const UniqueMemoryDc memory(CreateCompatibleDC(dc));
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = size;
  info.bmiHeader.biHeight = -size;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const UniqueGdiObject dib(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  // Without a bitmap the sample keeps its bare folder; the rest of the window still paints.
  if (!memory || !dib || bits == nullptr) return;

  const auto count = static_cast<std::size_t>(size) * static_cast<std::size_t>(size);
  CopyPreviewPixels(pixels, size,
                    std::span<std::uint32_t>(static_cast<std::uint32_t*>(bits), count));
  const SelectedObject selectedBitmap(memory.get(), dib.get());
  const BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(dc, x, y, size, size, memory.get(), 0, 0, size, size, blend);
}

}  // namespace tarnwick
