// TarnwickSettings.exe on the real registry and file system of the test prefix: started with a
// command line as a script starts it, and its window driven from outside as a user drives it,
// with what the window shows read back from its device context.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "badge/badge.h"
#include "common/tests/win32_test_support.h"
#include "settings/settings_store.h"

namespace tarnwick::testing {
namespace {

constexpr DWORD kTimeoutMs = 20000;
// Two of the presets, restated so the test does not take the program's word for them.
constexpr COLORREF kSwatch0 = 0x005B7D2E;
constexpr COLORREF kSwatch8 = 0x003C3CC8;

std::wstring SettingsProgram() { return ProgramBesideThisOne(L"TarnwickSettings.exe"); }

std::optional<DWORD> RunSettings(const std::wstring& arguments) {
  return ChildProcess(SettingsProgram(), arguments).WaitForExit(kTimeoutMs);
}

void StoreSetting(const wchar_t* name, DWORD type, const void* data, DWORD size) {
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, name, type, data, size),
            ERROR_SUCCESS);
}

void StoreDword(const wchar_t* name, DWORD value) {
  StoreSetting(name, REG_DWORD, &value, sizeof(value));
}

std::optional<DWORD> Stored(const wchar_t* name) {
  return ReadRegistryDword(HKEY_CURRENT_USER, kSettingsKeyPath, name);
}

// The badge's icon for these inputs: 36,230 bytes, each image's pixels, as the renderer gives them,
// after its 40-byte header at the offset the format gives that size among the six.
bool IsBadgeIcon(const std::optional<Bytes>& file, COLORREF color, bool outline) {
  if (!file || file->size() != 36230) return false;
  for (const auto& [size, offset] :
       {std::pair{16, 102}, {20, 1230}, {24, 2950}, {32, 5390}, {48, 9654}, {64, 19294}}) {
    const BadgePixels pixels = RenderBadge(size, color, outline);
    if (std::memcmp(file->data() + offset + 40, pixels.data(), 4 * pixels.size())) return false;
  }
  return true;
}

// Every case starts with nothing stored and an APPDATA of its own.
class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() { DeleteRegistryTree(HKEY_CURRENT_USER, kSettingsKeyPath); }
  ~SettingsTest() override { DeleteRegistryTree(HKEY_CURRENT_USER, kSettingsKeyPath); }

  std::wstring UserIcon() const { return appData_ / L"Tarnwick\\badge.ico"; }

  ScratchFolder appData_{L"appdata"};
  ScopedEnvironmentVariable appDataVariable_{L"APPDATA", appData_.path().c_str()};
};

// The stored DWORDs themselves are read in the /writeico cases below. Whatever is stored also reads
// back whole, type and bytes, to be put back when storing a new pair fails.
TEST_F(SettingsTest, AnythingButAFourByteDwordReadsAsTheDefaultAndEveryValueReadsBackWhole) {
  const DWORD eightBytes[2] = {0x000000FF, 0};
  StoreSetting(L"BadgeColor", REG_SZ, L"7", sizeof(L"7"));  // four bytes, but not a DWORD
  SettingsPlatform& store = SystemSettingsPlatform();
  StoredValue value;
  EXPECT_EQ(store.ReadStoredValue(L"BadgeColor", value), ERROR_SUCCESS);
  EXPECT_EQ(value, (StoredValue{REG_SZ, {'7', 0, 0, 0}}));
  StoreSetting(L"BadgeColor", REG_DWORD, eightBytes, 8);
  EXPECT_EQ(ReadBadgeColor(), DefaultBadgeColor);
  EXPECT_TRUE(store.WriteStoredValue(L"BadgeColor", value));
  const RegistryString written =
      ReadRegistryString(HKEY_CURRENT_USER, kSettingsKeyPath, L"BadgeColor");
  EXPECT_EQ(written.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(written.text, L"7");
  EXPECT_TRUE(store.RemoveStoredValue(L"BadgeColor"));
  EXPECT_EQ(store.ReadStoredValue(L"BadgeColor", value), ERROR_FILE_NOT_FOUND);
}

TEST_F(SettingsTest, WriteicoWritesTheStoredBadgeForUserAndTheDefaultToAPathStoringNothing) {
  ScratchFolder output(L"output dir");
  const std::wstring path = output / L"my badge.ico";
  const struct {
    std::wstring arguments;
    std::optional<DWORD> color;
    std::optional<DWORD> outline;
    std::wstring file;  // none when the write fails
    COLORREF drawnColor;
    bool drawnOutline;
  } cases[] = {
      {L"/writeico user", 0x000000FF, 0, UserIcon(), 0x000000FF, false},
      // The badge ignores the top byte; 2 is an outline like 1; later words are ignored.
      {L"/WRITEICO USER surplus", 0x7F0000FF, 2, UserIcon(), 0x000000FF, true},
      {L"/writeico \"" + path + L"\" surplus", 0x000000FF, 0, path, DefaultBadgeColor, true},
      {L"/writeico \"" + (output / L"missing\\badge.ico\""), {}, {}, L"", 0, false},
  };
  for (const auto& c : cases) {
    DeleteRegistryTree(HKEY_CURRENT_USER, kSettingsKeyPath);
    RemoveTree(appData_ / L"Tarnwick");
    if (c.color) StoreDword(L"BadgeColor", *c.color);
    if (c.outline) StoreDword(L"BadgeOutline", *c.outline);
    const std::string why = Utf8FromWide(c.arguments);
    EXPECT_EQ(RunSettings(c.arguments), c.file.empty() ? 1u : 0u) << why;
    EXPECT_EQ(IsBadgeIcon(ReadFileBytes(c.file), c.drawnColor, c.drawnOutline), !c.file.empty())
        << why;
    EXPECT_EQ(FileExists(appData_ / L"Tarnwick"), c.file == UserIcon()) << why;
    EXPECT_FALSE(FileExists(output / L"missing")) << why;
    EXPECT_EQ(Stored(L"BadgeColor"), c.color) << why;
    EXPECT_EQ(Stored(L"BadgeOutline"), c.outline) << why;
  }
  ScopedEnvironmentVariable unset(L"APPDATA", nullptr);
  EXPECT_EQ(RunSettings(L"/writeico user"), 1u);
}

// The window's client area as it is on the screen, read through its device context.
struct Capture {
  explicit Capture(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    width = client.right;
    const HDC source = GetDC(window);
    const HDC memory = CreateCompatibleDC(source);
    const HBITMAP bitmap = CreateCompatibleBitmap(source, width, client.bottom);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, client.bottom, source, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO info = {
        {sizeof(BITMAPINFOHEADER), width, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    pixels.resize(static_cast<std::size_t>(width * client.bottom));
    GetDIBits(memory, bitmap, 0, client.bottom, pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, source);
  }

  COLORREF At(int x, int y) const {
    const std::uint32_t pixel = pixels.at(static_cast<std::size_t>(y * width + x));
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
  }

  int width = 0;
  std::vector<std::uint32_t> pixels;
};

// Pixels of the three text bands (heading and explanation, preview caption, note) that differ from
// the four texts drawn here on white, each at its place in the font the window paints with. The
// picture shows text, place and font at once; nothing the window answers to messages would.
int TextMismatches(const Capture& shot) {
  const HDC screen = GetDC(nullptr);
  const HDC dc = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, shot.width, 300);
  ReleaseDC(nullptr, screen);
  const HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  PatBlt(dc, 0, 0, shot.width, 300, WHITENESS);
  const HFONT font = CreateFontW(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                 DEFAULT_PITCH | FF_DONTCARE, L"Yu Gothic UI");
  const HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  for (const auto& [y, text] :
       {std::pair{18, L"バッジの色を選んでください"},
        {36, L"（サブフォルダが無いフォルダに付く印の色です）"},
        {144, L"見え方（左がアイコン32px・右が48px）"},
        {254, L"⚠ 色を変えたら、エクスプローラーの再起動で反映されます。"}}) {
    TextOutW(dc, 20, y, text, static_cast<int>(wcslen(text)));
  }
  int mismatches = 0;
  // Between the rings, panels and buttons: rows where only these texts are drawn.
  for (const auto& [top, bottom] : {std::pair{0, 56}, {138, 166}, {240, 300}}) {
    for (int y = top; y < bottom; ++y) {
      for (int x = 0; x < shot.width; ++x) mismatches += shot.At(x, y) != GetPixel(dc, x, y);
    }
  }
  SelectObject(dc, oldFont);
  DeleteObject(font);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return mismatches;
}

POINT SwatchCorner(int index) { return {20 + 40 * (index % 8), 60 + 40 * (index / 8)}; }

// Where the selection ring shows, 3 pixels outside its swatch; -1 for none, -2 for a paint not
// finished (a swatch with both or neither of ring and grey frame, or two rings).
int RingedSwatch(const Capture& shot) {
  int ringed = -1;
  for (int i = 0; i < 16; ++i) {
    const POINT corner = SwatchCorner(i);
    const bool ring = shot.At(corner.x - 3, corner.y + 17) == RGB(0, 0, 0) &&
                      shot.At(corner.x + 17, corner.y - 3) == RGB(0, 0, 0);
    const bool frame = shot.At(corner.x, corner.y + 17) == RGB(128, 128, 128);
    if (ring == frame || (ring && ringed != -1)) return -2;
    if (ring) ringed = i;
  }
  return ringed;
}

// How many preview pixels differ by more than AlphaBlend's rounding from the badge blended over
// its folder (four fifths of its height) and panel, computed here from the renderer's straight,
// bottom-up pixels.
int PreviewMismatches(const Capture& shot, COLORREF color, bool outline) {
  int mismatches = 0;
  for (const auto& [panelLeft, panelFill] :
       {std::pair{20, RGB(250, 250, 250)}, {170, RGB(40, 40, 44)}}) {
    for (const auto& [size, offset] : {std::pair{32, 14}, {48, 76}}) {
      const BadgePixels badge = RenderBadge(size, color, outline);
      for (int row = 0; row < size; ++row) {
        for (int column = 0; column < size; ++column) {
          const COLORREF under = row < size * 4 / 5 ? RGB(245, 199, 92) : panelFill;
          const std::uint32_t pixel =
              badge[static_cast<std::size_t>((size - 1 - row) * size + column)];
          const std::uint32_t alpha = pixel >> 24;
          const COLORREF seen = shot.At(panelLeft + offset + column, 184 + row);
          for (const int shift : {0, 8, 16}) {  // each channel counts
            const auto expected = static_cast<int>(((pixel >> (16 - shift)) & 0xFF) * alpha / 255 +
                                                   ((under >> shift) & 0xFF) * (255 - alpha) / 255);
            mismatches += std::abs(static_cast<int>((seen >> shift) & 0xFF) - expected) > 2;
          }
        }
      }
    }
  }
  return mismatches;
}

// The real window, opened with no arguments on nothing stored.
class SettingsWindowTest : public SettingsTest {
 protected:
  void SetUp() override { Open(L""); }
  void TearDown() override { Close(); }

  void Open(const wchar_t* arguments) {
    process_.emplace(SettingsProgram(), arguments);
    window_ = process_->WaitForWindow(L"TarnwickSettings", kTimeoutMs);
    ASSERT_NE(window_, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return RingedSwatch(Capture(window_)) >= -1; }, kTimeoutMs));
  }
  void Close() {
    if (window_ == nullptr || !IsWindow(window_)) return;
    PostMessageW(window_, WM_CLOSE, 0, 0);
    EXPECT_EQ(process_->WaitForExit(kTimeoutMs), 0u);
  }

  void Click(int x, int y) { PostMessageW(window_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
  void Press(int id) { PostMessageW(GetDlgItem(window_, id), BM_CLICK, 0, 0); }
  LRESULT CheckState() { return SendMessageW(GetDlgItem(window_, 103), BM_GETCHECK, 0, 0); }

  bool WaitForRingOn(int swatch) {
    return WaitUntil([&] { return RingedSwatch(Capture(window_)) == swatch; }, kTimeoutMs);
  }
  bool WaitForPreview(COLORREF color, bool outline) {
    return WaitUntil([&] { return PreviewMismatches(Capture(window_), color, outline) == 0; },
                     kTimeoutMs);
  }
  HWND WaitForDialog() const { return process_->WaitForWindow(L"#32770", kTimeoutMs); }
  bool WaitForDialogGone() const {
    return WaitUntil([&] { return FindProcessWindow(process_->id(), L"#32770") == nullptr; },
                     kTimeoutMs);
  }

  std::optional<ChildProcess> process_;
  HWND window_ = nullptr;
};

TEST_F(SettingsWindowTest, IsTheFixedWindowWithItsButtonsTextsRingAndPreviewOfTheSelection) {
  EXPECT_EQ(WindowText(window_), L"Tarnwick 設定");
  // WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX; the system adds the edge of a captioned window.
  EXPECT_EQ(GetWindowLongW(window_, GWL_STYLE) & ~(WS_VISIBLE | WS_CLIPSIBLINGS), 0x00CA0000);
  EXPECT_EQ(GetWindowLongW(window_, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);
  RECT outer;
  GetWindowRect(window_, &outer);
  EXPECT_EQ(outer.right - outer.left, 500);
  EXPECT_EQ(outer.bottom - outer.top, 390);

  // The buttons in the order they were made: identifier, class, text, style, extended style, font
  // of their own (none), and place in the client area.
  std::vector<std::wstring> controls;
  for (HWND child = GetWindow(window_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
    wchar_t line[200];
    swprintf(line, 200, L"%d %ls %ls %08lx %lx %lld %ld,%ld,%ld,%ld", GetDlgCtrlID(child),
             ClassName(child).c_str(), WindowText(child).c_str(), GetWindowLongW(child, GWL_STYLE),
             GetWindowLongW(child, GWL_EXSTYLE),
             static_cast<long long>(SendMessageW(child, WM_GETFONT, 0, 0)), rect.left, rect.top,
             rect.right, rect.bottom);
    controls.push_back(line);
  }
  EXPECT_EQ(controls,
            (std::vector<std::wstring>{L"102 Button その他の色… 50000000 0 0 20,300,140,330",
                                       L"103 Button 白いフチを付ける 50000003 0 0 150,305,300,327",
                                       L"101 Button この色にする 50000001 0 0 320,300,450,330"}));

  // The note is painted last: once it is there, so is everything else.
  EXPECT_TRUE(WaitUntil([&] { return TextMismatches(Capture(window_)) == 0; }, kTimeoutMs));
  Capture shot(window_);
  EXPECT_EQ(RingedSwatch(shot), 0);
  EXPECT_EQ(CheckState(), BST_CHECKED);
  EXPECT_EQ(PreviewMismatches(shot, kSwatch0, true), 0);
  EXPECT_EQ(shot.At(SwatchCorner(0).x + 17, SwatchCorner(0).y + 17), kSwatch0);
  EXPECT_EQ(shot.At(SwatchCorner(8).x + 17, SwatchCorner(8).y + 17), kSwatch8);

  Close();
  StoreDword(L"BadgeColor", 0x00FAFAFA);
  StoreDword(L"BadgeOutline", 0);
  ASSERT_NO_FATAL_FAILURE(Open(L"/writeico"));  // the switch alone opens the window too
  shot = Capture(window_);
  EXPECT_EQ(RingedSwatch(shot), 14);
  EXPECT_EQ(CheckState(), BST_UNCHECKED);
  EXPECT_EQ(PreviewMismatches(shot, 0x00FAFAFA, false), 0);
}

// Picking redraws ring and preview and stores nothing; only the button writes and stores, then
// asks, and No keeps the window.
TEST_F(SettingsWindowTest, SwatchesAndTheOutlineBoxRedrawAtOnceAndOnlyApplyingWritesAndStores) {
  Click(30, 110);
  EXPECT_TRUE(WaitForRingOn(8));
  EXPECT_TRUE(WaitForPreview(kSwatch8, true));
  Press(103);
  EXPECT_TRUE(WaitUntil([&] { return CheckState() == BST_UNCHECKED; }, kTimeoutMs));
  EXPECT_TRUE(WaitForPreview(kSwatch8, false));
  EXPECT_FALSE(Stored(L"BadgeColor").has_value());
  EXPECT_FALSE(FileExists(appData_ / L"Tarnwick"));
  Press(101);

  const HWND box = WaitForDialog();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(WindowText(box), L"Tarnwick 設定");
  EXPECT_EQ(GetWindow(box, GW_OWNER), window_);
  EXPECT_EQ(MessageBoxText(box),
            L"色を保存しました。\n\nエクスプローラーはアイコンを起動時に読み込むため、\n再起動する"
            L"まで表示は変わりません。\n\nいま再起動しますか？（開いているフォルダは閉じます）");
  EXPECT_NE(GetDlgItem(box, IDYES), nullptr);
  // Written and stored before the question is asked.
  EXPECT_TRUE(IsBadgeIcon(ReadFileBytes(UserIcon()), kSwatch8, false));
  EXPECT_EQ(Stored(L"BadgeColor"), kSwatch8);
  EXPECT_EQ(Stored(L"BadgeOutline"), 0u);
  PostMessageW(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitForDialogGone());
  EXPECT_TRUE(IsWindow(window_));

  Press(103);
  EXPECT_TRUE(WaitForPreview(kSwatch8, true));
  Click(SwatchCorner(14).x + 5, SwatchCorner(14).y + 5);
  EXPECT_TRUE(WaitForRingOn(14));
  EXPECT_TRUE(WaitForPreview(0x00FAFAFA, true));
  Close();  // ends the program with 0, and the selection with it
  EXPECT_EQ(Stored(L"BadgeColor"), kSwatch8);
  EXPECT_EQ(Stored(L"BadgeOutline"), 0u);
}

TEST_F(SettingsWindowTest, TheColourDialogPicksAnyColourAndRemembersTheCustomOnes) {
  // The dialog's red, green and blue boxes.
  const auto rgbOf = [](HWND dialog) {
    return Utf8FromWide(WindowText(GetDlgItem(dialog, 706)) + L"," +
                        WindowText(GetDlgItem(dialog, 707)) + L"," +
                        WindowText(GetDlgItem(dialog, 708)));
  };
  constexpr COLORREF chosen = RGB(10, 200, 150);
  Press(102);
  HWND dialog = WaitForDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(rgbOf(dialog), "46,125,91") << "opens on the current selection";
  for (const auto& [id, text] : {std::pair{706, L"10"}, {707, L"200"}, {708, L"150"}}) {
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  }
  PostMessageW(GetDlgItem(dialog, 712), BM_CLICK, 0, 0);  // add to the custom colours
  PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitForDialogGone());
  EXPECT_TRUE(WaitForRingOn(-1)) << "a colour of no swatch rings none";
  EXPECT_TRUE(WaitForPreview(chosen, true));

  // Opened again: on that colour, with it as the first custom colour cell; cancelling changes
  // nothing.
  Press(102);
  dialog = WaitForDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(rgbOf(dialog), "10,200,150");
  POINT cell = {8, 8};
  MapWindowPoints(GetDlgItem(dialog, 0x2d1), dialog, &cell, 1);
  EXPECT_TRUE(WaitUntil([&] { return Capture(dialog).At(cell.x, cell.y) == chosen; }, kTimeoutMs));
  SendMessageW(GetDlgItem(dialog, 706), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"255"));
  PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitForDialogGone());
  EXPECT_TRUE(WaitForPreview(chosen, true));
}

}  // namespace
}  // namespace tarnwick::testing
