#pragma once
// The user's two choices, badge colour and white outline, kept under HKCU\Software\Tarnwick and
// turned into %APPDATA%\Tarnwick\badge.ico, the file the overlay handler names to Explorer.
//
// The logic runs against SettingsPlatform, so the native build and the tests can drive it with a
// registry, an environment and message boxes of their own; the product passes the Win32 one.

#include <cstdint>
#include <optional>
#include <vector>

#include "common/wide.h"
#include "common/win_types.h"

namespace tarnwick {

struct BadgeSettings {
  COLORREF color;
  bool outline;
};

// The program's one selection: filled from the registry at start, changed by the window, read by
// ApplyBadgeSettings. Only the program's single thread touches it.
BadgeSettings& CurrentBadgeSettings();

inline constexpr const WideChar* kSettingsKeyPath = WIDE("Software\\Tarnwick");
inline constexpr const WideChar* kBadgeColorValue = WIDE("BadgeColor");
inline constexpr const WideChar* kBadgeOutlineValue = WIDE("BadgeOutline");

// Paths and the value of APPDATA live in buffers of this many units, the terminating NUL included.
inline constexpr DWORD kPathCapacity = 260;

inline constexpr const WideChar* kSettingsTitle = WIDE("Tarnwick 設定");
inline constexpr const WideChar* kIconWriteFailedText = WIDE("アイコンの書き出しに失敗しました。");
inline constexpr const WideChar* kSettingsNotSavedText = WIDE("色を保存できませんでした。");
inline constexpr const WideChar* kRestartQuestionText = WIDE(
    "色を保存しました。\n\nエクスプローラーはアイコンを起動時に読み込むため、\n再起動するまで表示"
    "は変わりません。\n\nいま再起動しますか？（開いているフォルダは閉じます）");

// Ends every Explorer by force and starts one again, in a console nobody sees.
inline constexpr const WideChar* kRestartVerb = WIDE("open");
inline constexpr const WideChar* kRestartFile = WIDE("cmd.exe");
inline constexpr const WideChar* kRestartParameters =
    WIDE("/c taskkill /f /im explorer.exe & start explorer.exe");

// A registry value whole: its type and every byte of its data.
struct StoredValue {
  DWORD type;
  std::vector<std::uint8_t> bytes;

  friend bool operator==(const StoredValue&, const StoredValue&) = default;
};

// Everything the settings logic asks of the system.
class SettingsPlatform {
 public:
  virtual ~SettingsPlatform() = default;

  // The value `name` of HKCU\Software\Tarnwick, whole: ERROR_SUCCESS, ERROR_FILE_NOT_FOUND when
  // the value or the key is missing, or the status of whatever else kept it from being read.
  virtual LONG ReadStoredValue(const WideChar* name, StoredValue& value) = 0;
  // Creates or opens the key for writing and sets `name`. False when either fails.
  virtual bool WriteStoredValue(const WideChar* name, const StoredValue& value) = 0;
  // Removes `name` from the key; true when it is gone, also when it was never there.
  virtual bool RemoveStoredValue(const WideChar* name) = 0;
  // GetEnvironmentVariableW: the length without the NUL when the value fits `capacity`, the
  // capacity needed when it does not, 0 when the variable is unset or empty.
  virtual DWORD GetEnvironmentValue(const WideChar* name, WideChar* buffer, DWORD capacity) = 0;
  // CreateDirectoryW of the last level; failure is noticed later, when the file cannot be opened.
  virtual void CreateFolder(const WideChar* path) = 0;
  // The badge icon file in every size of the system. False when it could not be written whole;
  // a file already there is then left as it was.
  virtual bool WriteIcon(const WideChar* path, COLORREF color, bool outline) = 0;
  // MessageBoxW: the button pressed.
  virtual int ShowMessage(HWND owner, const WideChar* text, const WideChar* title, UINT type) = 0;
  // ShellExecuteW with no window and no directory; the program does not wait for it.
  virtual void Execute(const WideChar* verb, const WideChar* file, const WideChar* parameters,
                       int show) = 0;
};

// The Win32 platform the product uses, one per process.
SettingsPlatform& SystemSettingsPlatform();

// The stored colour, all 32 bits as stored; the default colour when none is stored as REG_DWORD.
COLORREF ReadBadgeColor(SettingsPlatform& platform);
// The stored outline, any non-zero value meaning on; on when none is stored as REG_DWORD.
bool ReadBadgeOutline(SettingsPlatform& platform);

// "%APPDATA%\Tarnwick\badge.ico", with its folder created on the way; nothing when APPDATA is
// unset, empty, or too long for the path to fit its buffer.
std::optional<WideString> PrepareBadgeIconPath(SettingsPlatform& platform);

// What the button "この色にする" does: writes badge.ico, then stores the settings, then offers the
// Explorer restart. A step that fails is told to the user and ends it, so the registry never
// names a colour whose icon was not written and no restart is offered for a change not stored.
// The two values are stored both or neither: a failed store leaves the previous pair as it was.
void ApplyBadgeSettings(HWND owner, const BadgeSettings& settings, SettingsPlatform& platform);

// "/writeico user": the user's badge.ico from the stored settings. Says nothing, stores nothing.
bool WriteStoredBadgeIcon(SettingsPlatform& platform);

// "/writeico PATH": the badge as Explorer shows it when the user has saved none. Creates no
// folder and touches neither the registry nor the user's badge.ico.
bool WriteDefaultBadgeIcon(const WideChar* path, SettingsPlatform& platform);

// The product's calls, on the system platform and, for applying, the process's selection.
COLORREF ReadBadgeColor();
bool ReadBadgeOutline();
void ApplyBadgeSettings(HWND owner);
bool WriteStoredBadgeIcon();
bool WriteDefaultBadgeIcon(const WideChar* path);

}  // namespace tarnwick
