// The real settings window under the test prefix's virtual display, driven from outside as a user
// drives it: clicks on swatches, the check box and the buttons, answers in the message box and the
// colour dialog. What it shows is read back from its device context.

#include <gtest/gtest.h>

#include <cstdlib>

#include "badge/badge.h"
#include "settings/settings_window.h"
#include "settings/tests/win32_test_support.h"

namespace tarnwick {
namespace {

using testing::ClassName;
using testing::PathExists;
using testing::ReadFileBytes;
using testing::ReferenceIcon;
using testing::ScopedAppData;
using testing::ScratchFolder;
using testing::SettingsProcess;
using testing::StoredSettingDword;
using testing::WaitUntil;
using testing::WindowText;

constexpr DWORD kTimeoutMs = 15000;
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kGrey = RGB(128, 128, 128);

// The presets, restated here so the test does not take the program's word for them.
constexpr COLORREF kSwatch0 = 0x005B7D2E;
constexpr COLORREF kSwatch8 = 0x003C3CC8;

struct Point {
  int x;
  int y;
};

Point SwatchCorner(int index) { return {20 + 40 * (index % 8), 60 + 40 * (index / 8)}; }

// The window's client area as it is on the screen, read through its device context.
class Capture {
 public:
  explicit Capture(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    width_ = client.right;
    height_ = client.bottom;
    const HDC source = GetDC(window);
    const HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width_, height_, source, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    pixels_.assign(pixels, pixels + width_ * height_);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, source);
  }

  COLORREF At(int x, int y) const {
    const std::uint32_t pixel = pixels_.at(static_cast<std::size_t>(y * width_ + x));
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
  }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint32_t> pixels_;
};

// AlphaBlend may round where the expectation truncates.
bool Near(COLORREF a, COLORREF b) {
  for (int shift : {0, 8, 16}) {
    if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 2) return false;
  }
  return true;
}

// Where the selection ring shows: on the swatch whose corner is 3 pixels inside it. A ringed
// swatch has no grey frame, a framed one has no ring.
int RingedSwatch(const Capture& shot) {
  int ringed = -1;
  for (int i = 0; i < 16; ++i) {
    const Point corner = SwatchCorner(i);
    const bool ring = shot.At(corner.x - 3, corner.y + 17) == kBlack &&
                      shot.At(corner.x + 17, corner.y - 3) == kBlack;
    const bool frame = shot.At(corner.x, corner.y + 17) == kGrey;
    if (ring == frame) return -2;  // neither or both: not a finished paint
    if (ring) {
      if (ringed != -1) return -2;
      ringed = i;
    }
  }
  return ringed;
}

// How many preview pixels differ from the badge of `color` and `outline` blended over its folder
// and panel, the badge computed here from the renderer's straight, bottom-up pixels.
int PreviewMismatches(const Capture& shot, COLORREF color, bool outline) {
  const struct {
    int left;
    COLORREF fill;
  } panels[] = {{20, RGB(250, 250, 250)}, {170, RGB(40, 40, 44)}};
  const struct {
    int size;
    int offset;
  } samples[] = {{32, 14}, {48, 76}};
  const COLORREF folder = RGB(245, 199, 92);
  int mismatches = 0;
  for (const auto& panel : panels) {
    for (const auto& sample : samples) {
      const BadgePixels badge = RenderBadge(sample.size, color, outline);
      const int folderHeight = sample.size * 4 / 5;
      for (int row = 0; row < sample.size; ++row) {
        for (int column = 0; column < sample.size; ++column) {
          const COLORREF under = row < folderHeight ? folder : panel.fill;
          const std::uint32_t straight =
              badge[static_cast<std::size_t>((sample.size - 1 - row) * sample.size + column)];
          const std::uint32_t alpha = straight >> 24;
          const auto blend = [&](std::uint32_t source, std::uint32_t target) {
            return source * alpha / 255 + target * (255 - alpha) / 255;
          };
          const COLORREF expected = RGB(blend((straight >> 16) & 0xFF, GetRValue(under)),
                                        blend((straight >> 8) & 0xFF, GetGValue(under)),
                                        blend(straight & 0xFF, GetBValue(under)));
          if (!Near(shot.At(panel.left + sample.offset + column, 184 + row), expected)) {
            ++mismatches;
          }
        }
      }
    }
  }
  return mismatches;
}

class SettingsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::DeleteSettingsKey();
    StoreBeforeStart();
    process_.emplace(L"");
    window_ = process_->WaitForWindow(kSettingsWindowClass, kTimeoutMs);
    ASSERT_NE(window_, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return RingedSwatch(Capture(window_)) >= -1; }, kTimeoutMs));
  }

  void TearDown() override {
    if (window_ != nullptr && IsWindow(window_)) {
      PostMessageW(window_, WM_CLOSE, 0, 0);
      EXPECT_EQ(process_->WaitForExit(kTimeoutMs), 0u);
    }
    process_.reset();
    testing::DeleteSettingsKey();
  }

  virtual void StoreBeforeStart() {}

  void ClickAt(int x, int y) {
    PostMessageW(window_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageW(window_, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
  void Press(int id) { PostMessageW(GetDlgItem(window_, id), BM_CLICK, 0, 0); }

  bool WaitForRingOn(int swatch) {
    return WaitUntil([&] { return RingedSwatch(Capture(window_)) == swatch; }, kTimeoutMs);
  }
  bool WaitForPreview(COLORREF color, bool outline) {
    return WaitUntil([&] { return PreviewMismatches(Capture(window_), color, outline) == 0; },
                     kTimeoutMs);
  }
  HWND WaitForDialog() const { return process_->WaitForWindow(L"#32770", kTimeoutMs); }
  bool WaitForDialogGone() const {
    return WaitUntil(
        [&] { return testing::FindProcessWindow(process_->id(), L"#32770") == nullptr; },
        kTimeoutMs);
  }
  LRESULT CheckState() { return SendMessageW(GetDlgItem(window_, 103), BM_GETCHECK, 0, 0); }

  ScratchFolder appData_{L"appdata"};
  ScopedAppData appDataVariable_{appData_.path().c_str()};
  std::optional<SettingsProcess> process_;
  HWND window_ = nullptr;
};

TEST_F(SettingsWindowTest, IsTheFixedWindowWithThreeClassicButtons) {
  EXPECT_EQ(ClassName(window_), L"TarnwickSettings");
  EXPECT_EQ(WindowText(window_), L"Tarnwick 設定");
  const DWORD style = static_cast<DWORD>(GetWindowLongW(window_, GWL_STYLE));
  EXPECT_EQ(style & ~(WS_VISIBLE | WS_CLIPSIBLINGS), 0x00CA0000u);
  // The system adds the window edge to a captioned window on its own.
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(window_, GWL_EXSTYLE)) & ~WS_EX_WINDOWEDGE, 0u);
  RECT outer;
  GetWindowRect(window_, &outer);
  EXPECT_EQ(outer.right - outer.left, 500);
  EXPECT_EQ(outer.bottom - outer.top, 390);

  const struct {
    int id;
    const wchar_t* text;
    DWORD style;
    RECT rect;
  } controls[] = {
      {102, L"その他の色…", 0x50000000, {20, 300, 140, 330}},
      {103, L"白いフチを付ける", 0x50000003, {150, 305, 300, 327}},
      {101, L"この色にする", 0x50000001, {320, 300, 450, 330}},
  };
  HWND child = GetWindow(window_, GW_CHILD);
  for (const auto& control : controls) {
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetDlgCtrlID(child), control.id);
    EXPECT_EQ(ClassName(child), L"Button");
    EXPECT_EQ(WindowText(child), control.text);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE)), control.style) << control.id;
    EXPECT_EQ(GetWindowLongW(child, GWL_EXSTYLE), 0);
    EXPECT_EQ(SendMessageW(child, WM_GETFONT, 0, 0), 0) << "no font of its own";
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_TRUE(EqualRect(&rect, &control.rect)) << control.id;
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr);
}

TEST_F(SettingsWindowTest, WithNothingStoredTheDefaultIsRingedCheckedAndPreviewed) {
  const Capture shot(window_);
  EXPECT_EQ(RingedSwatch(shot), 0);
  EXPECT_EQ(CheckState(), BST_CHECKED);
  EXPECT_EQ(PreviewMismatches(shot, kSwatch0, true), 0);
  EXPECT_EQ(shot.At(SwatchCorner(0).x + 17, SwatchCorner(0).y + 17), kSwatch0);
  EXPECT_EQ(shot.At(SwatchCorner(8).x + 17, SwatchCorner(8).y + 17), kSwatch8);
}

class StoredSettingsWindowTest : public SettingsWindowTest {
 protected:
  void StoreBeforeStart() override {
    testing::StoreSettingDword(L"BadgeColor", 0x00FAFAFA);
    testing::StoreSettingDword(L"BadgeOutline", 0);
  }
};

TEST_F(StoredSettingsWindowTest, OpensOnTheStoredColourAndOutline) {
  const Capture shot(window_);
  EXPECT_EQ(RingedSwatch(shot), 14);
  EXPECT_EQ(CheckState(), BST_UNCHECKED);
  EXPECT_EQ(PreviewMismatches(shot, 0x00FAFAFA, false), 0);
}

TEST_F(SettingsWindowTest, ASwatchClickMovesTheRingAndThePreviewButStoresNothing) {
  ClickAt(30, 110);
  EXPECT_TRUE(WaitForRingOn(8));
  EXPECT_TRUE(WaitForPreview(kSwatch8, true));

  // The gap between swatches and the ring itself pick nothing.
  ClickAt(56, 110);
  ClickAt(17, 110);
  ClickAt(SwatchCorner(14).x + 5, SwatchCorner(14).y + 5);
  EXPECT_TRUE(WaitForRingOn(14));
  EXPECT_TRUE(WaitForPreview(0x00FAFAFA, true));

  EXPECT_FALSE(PathExists(appData_ / L"Tarnwick"));
  EXPECT_FALSE(StoredSettingDword(L"BadgeColor").has_value());
}

TEST_F(SettingsWindowTest, UncheckingTheOutlineRedrawsThePreviewWithoutIt) {
  Press(103);
  EXPECT_TRUE(WaitUntil([&] { return CheckState() == BST_UNCHECKED; }, kTimeoutMs));
  EXPECT_TRUE(WaitForPreview(kSwatch0, false));
  Press(103);
  EXPECT_TRUE(WaitForPreview(kSwatch0, true));
}

TEST_F(SettingsWindowTest, ApplyingWritesTheIconAndTheValuesThenAsksAndNoKeepsTheWindow) {
  ClickAt(30, 110);
  Press(103);
  ASSERT_TRUE(WaitForPreview(kSwatch8, false));
  Press(101);

  const HWND box = WaitForDialog();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(WindowText(box), L"Tarnwick 設定");
  EXPECT_EQ(GetWindow(box, GW_OWNER), window_);
  WideString text;
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassName(child) == L"Static" && !WindowText(child).empty()) text = WindowText(child);
  }
  EXPECT_EQ(text,
            L"色を保存しました。\n\nエクスプローラーはアイコンを起動時に読み込むため、\n再起動する"
            L"まで表示は変わりません。\n\nいま再起動しますか？（開いているフォルダは閉じます）");
  EXPECT_NE(GetDlgItem(box, IDYES), nullptr);
  // Written and stored before the question is asked.
  EXPECT_EQ(ReadFileBytes(appData_ / L"Tarnwick\\badge.ico"), ReferenceIcon(kSwatch8, false));
  EXPECT_EQ(StoredSettingDword(L"BadgeColor"), kSwatch8);
  EXPECT_EQ(StoredSettingDword(L"BadgeOutline"), 0u);

  PostMessageW(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitForDialogGone());
  EXPECT_TRUE(IsWindow(window_));
  EXPECT_EQ(RingedSwatch(Capture(window_)), 8);
}

TEST_F(SettingsWindowTest, TheColourDialogPicksAnyColourAndRemembersTheCustomOnes) {
  constexpr COLORREF chosen = RGB(10, 200, 150);
  Press(102);
  HWND dialog = WaitForDialog();
  ASSERT_NE(dialog, nullptr);
  // The dialog opens on the current selection.
  EXPECT_EQ(WindowText(GetDlgItem(dialog, 706)), L"46");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, 707)), L"125");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, 708)), L"91");
  // Red, green and blue typed in; then "add to custom colours", then OK.
  SendMessageW(GetDlgItem(dialog, 706), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"10"));
  SendMessageW(GetDlgItem(dialog, 707), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"200"));
  SendMessageW(GetDlgItem(dialog, 708), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"150"));
  PostMessageW(GetDlgItem(dialog, 712), BM_CLICK, 0, 0);
  PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitForDialogGone());

  EXPECT_TRUE(WaitForRingOn(-1)) << "a colour of no swatch rings none";
  EXPECT_TRUE(WaitForPreview(chosen, true));

  // Opened again, it starts from that colour, and the custom colour is still there.
  Press(102);
  dialog = WaitForDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(WindowText(GetDlgItem(dialog, 706)), L"10");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, 707)), L"200");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, 708)), L"150");
  // The first of the custom colour cells, read from the dialog's own client area.
  POINT cell = {8, 8};
  MapWindowPoints(GetDlgItem(dialog, 0x2d1), dialog, &cell, 1);
  EXPECT_TRUE(WaitUntil([&] { return Capture(dialog).At(cell.x, cell.y) == chosen; }, kTimeoutMs));

  // Cancelling changes nothing.
  SendMessageW(GetDlgItem(dialog, 706), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"255"));
  PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitForDialogGone());
  EXPECT_TRUE(WaitForPreview(chosen, true));
  EXPECT_EQ(RingedSwatch(Capture(window_)), -1);
}

TEST_F(SettingsWindowTest, ClosingTheWindowEndsTheProgramWith0AndDiscardsTheSelection) {
  ClickAt(30, 110);
  ASSERT_TRUE(WaitForRingOn(8));
  PostMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(process_->WaitForExit(kTimeoutMs), 0u);
  window_ = nullptr;
  EXPECT_FALSE(StoredSettingDword(L"BadgeColor").has_value());
  EXPECT_FALSE(PathExists(appData_ / L"Tarnwick"));
}

}  // namespace
}  // namespace tarnwick
