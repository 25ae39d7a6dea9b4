#pragma once
// The settings window: sixteen swatches, the colour dialog, the outline check box, a preview of
// the badge at 32 and 48 pixels on a light and a dark panel, and the button that applies it all.

#include <windows.h>

namespace tarnwick {

inline constexpr const wchar_t* kSettingsWindowClass = L"TarnwickSettings";

// Loads the stored selection, opens the window and runs its messages until it is closed. The
// exit code: 0, or 1 when the window could not be made.
int RunSettingsWindow(HINSTANCE instance);

LRESULT CALLBACK SettingsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void PaintSettingsWindow(HWND window);

// The badge of `size` pixels with its top-left corner at (x, y), blended over what is there.
void DrawBadgePreview(HDC dc, int x, int y, int size, COLORREF color, bool outline);

}  // namespace tarnwick
