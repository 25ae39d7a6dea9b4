// TarnwickSettings: "/writeico user" or "/writeico PATH" writes one icon file and ends with 0 or 1;
// any other command line opens the settings window.

#include <windows.h>

#include <shellapi.h>

#include "settings/command_line.h"
#include "settings/settings_store.h"
#include "settings/settings_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  using namespace tarnwick;
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  const CommandLineAction action = ChooseCommandLineAction(arguments, count);
  if (action.mode != CommandLineMode::OpenWindow) {
    // The path points into the arguments: write before they are freed.
    const bool ok = action.mode == CommandLineMode::WriteStoredIcon
                        ? WriteStoredBadgeIcon()
                        : WriteDefaultBadgeIcon(action.path);
    LocalFree(arguments);
    return ok ? 0 : 1;
  }
  if (arguments != nullptr) LocalFree(arguments);
  return RunSettingsWindow(instance);
}
