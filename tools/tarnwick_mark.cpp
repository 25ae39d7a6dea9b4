// tarnwick-mark [--com] [--tree] PATH...
// Prints, for each path, the answer the overlay gives Explorer: "S_OK<TAB>path" (badge) or
// "S_FALSE<TAB>path". With --tree, also for every folder below each path, depth-first, sorted by
// name. With --com (Windows), asks the registered Tarnwick.dll through COM, as Explorer does,
// instead of the decision linked into this program: the 64-bit build asks the 64-bit registration,
// the 32-bit build (the windows-x86 preset) the 32-bit one, as a 32-bit program's Open dialog
// would. A developer's tool and the smoke run's driver; the native build takes Linux paths.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "common/tool_main.h"
#include "overlay/folder_marking_platform.h"

#if defined(_WIN32)
#include <shlobj.h>
#endif

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

#if defined(_WIN32)
WideString AsWindowsPath(const NativeArgument& path) { return path; }
#else
// "/home/x" is "C:\home\x" to the decision: C: maps to "/".
WideString AsWindowsPath(const NativeArgument& path) {
  WideString windows = WIDE("C:") + WideFromUtf8(fs::absolute(path).string());
  std::replace(windows.begin(), windows.end(), WIDE('/'), WIDE('\\'));
  return windows;
}
#endif

#if defined(_WIN32)
// The registered overlay, found as Explorer finds it: the CLSID under the "  Tarnwick" entry.
IShellIconOverlayIdentifier* registeredOverlay = nullptr;

bool ConnectToRegisteredOverlay() {
  wchar_t classIdText[64] = {};
  DWORD bytes = sizeof(classIdText) - sizeof(wchar_t);
  const LONG read = RegGetValueW(
      HKEY_LOCAL_MACHINE,
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers\\"
      L"  Tarnwick",
      nullptr, RRF_RT_REG_SZ, nullptr, classIdText, &bytes);
  CLSID classId;
  if (read != ERROR_SUCCESS || FAILED(CLSIDFromString(classIdText, &classId))) {
    std::fprintf(stderr, "tarnwick-mark: the overlay \"  Tarnwick\" is not registered\n");
    return false;
  }
  const HRESULT created =
      CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IShellIconOverlayIdentifier,
                       reinterpret_cast<void**>(&registeredOverlay));
  if (FAILED(created)) {
    std::fprintf(stderr, "tarnwick-mark: CoCreateInstance failed: 0x%08lX\n",
                 static_cast<unsigned long>(created));
    return false;
  }
  return true;
}
#endif

HRESULT Decide(const WideString& windowsPath) {
#if defined(_WIN32)
  if (registeredOverlay != nullptr) return registeredOverlay->IsMemberOf(windowsPath.c_str(), 0);
#endif
  return DecideMembership(windowsPath.c_str(), SystemFolderMarkingPlatform(),
                          ProcessFolderClassificationCache());
}

void Report(const NativeArgument& path) {
  const HRESULT answer = Decide(AsWindowsPath(path));
  std::printf("%s\t%s\n", answer == S_OK ? "S_OK" : "S_FALSE", Printable(path).c_str());
}

// Folders below `folder`, not following links, in ordinal order of their names.
std::vector<fs::path> Subfolders(const fs::path& folder) {
  std::vector<fs::path> folders;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code statusError;
    if (it->is_directory(statusError) && !it->is_symlink(statusError))
      folders.push_back(it->path());
  }
  std::sort(folders.begin(), folders.end(), [](const fs::path& a, const fs::path& b) {
    return a.filename().native() < b.filename().native();
  });
  return folders;
}

void ReportTree(const fs::path& folder) {
  for (const fs::path& child : Subfolders(folder)) {
    Report(child.native());
    ReportTree(child);
  }
}

}  // namespace

int RunTool(const std::vector<NativeArgument>& arguments) {
  bool tree = false;
  bool throughCom = false;
  std::vector<NativeArgument> paths;
  for (const NativeArgument& argument : arguments) {
    if (argument == NativeArgument{'-', '-', 't', 'r', 'e', 'e'}) {
      tree = true;
    } else if (argument == NativeArgument{'-', '-', 'c', 'o', 'm'}) {
      throughCom = true;
    } else {
      paths.push_back(argument);
    }
  }
  if (paths.empty()) {
    std::fprintf(stderr, "usage: tarnwick-mark [--com] [--tree] PATH...\n");
    return 2;
  }
  if (throughCom) {
#if defined(_WIN32)
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (!ConnectToRegisteredOverlay()) return 1;
#else
    std::fprintf(stderr, "tarnwick-mark: --com needs Windows\n");
    return 2;
#endif
  }
  for (const NativeArgument& path : paths) {
    Report(path);
    if (tree) ReportTree(fs::path(path));
  }
#if defined(_WIN32)
  if (registeredOverlay != nullptr) registeredOverlay->Release();
#endif
  return 0;
}

}  // namespace tarnwick
