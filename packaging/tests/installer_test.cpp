// The release installer under Windows (Wine in the test prefix): silent install, upgrade in place,
// silent uninstall that keeps the user's settings, and a DLL still in use at uninstall.

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "common/tests/win32_test_support.h"

namespace tarnwick::testing {
namespace {

constexpr wchar_t kClassKey[] = L"CLSID\\{493A8F22-3B3F-43E4-BF53-725A89A44434}";
constexpr wchar_t kServerKey[] = L"CLSID\\{493A8F22-3B3F-43E4-BF53-725A89A44434}\\InProcServer32";
constexpr wchar_t kOverlayKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers\\"
    L"  Tarnwick";
constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnwick";
constexpr CLSID kClassId = {
    0x493a8f22, 0x3b3f, 0x43e4, {0xbf, 0x53, 0x72, 0x5a, 0x89, 0xa4, 0x44, 0x34}};

std::wstring KnownFolder(REFKNOWNFOLDERID folder) {
  PWSTR path = nullptr;
  if (FAILED(SHGetKnownFolderPath(folder, 0, nullptr, &path))) return {};
  std::wstring result = path;
  CoTaskMemFree(path);
  return result;
}

// How many files in `folder` Windows is to delete at its next restart. Counted, not cleared:
// on a real machine the list holds other programs' files too.
size_t PendingDeletionsIn(const std::wstring& folder) {
  std::wstring pending(32768, L'\0');
  DWORD bytes = static_cast<DWORD>(pending.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                   L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, pending.data(),
                   &bytes) != ERROR_SUCCESS) {
    return 0;
  }
  pending.resize(bytes / sizeof(wchar_t));
  const std::wstring moved = folder + L"\\ns";  // the installer's fresh names: ns*.tmp
  size_t count = 0;
  for (size_t at = pending.find(moved); at != std::wstring::npos;
       at = pending.find(moved, at + 1)) {
    ++count;
  }
  return count;
}

class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setup_ = WindowsPathFromEnvironment("TARNWICK_SETUP");
    ASSERT_FALSE(setup_.empty()) << "TARNWICK_SETUP is not set";
    installDir_ = KnownFolder(FOLDERID_ProgramFiles) + L"\\Tarnwick";
    shortcuts_ = KnownFolder(FOLDERID_CommonPrograms) + L"\\Tarnwick";
    Uninstall();  // whatever an earlier case left
  }
  void TearDown() override { Uninstall(); }

  void Install() { ASSERT_EQ(RunAndWait(L"\"" + setup_ + L"\" /S"), 0u); }

  // The uninstaller copies itself away and returns at once: wait for its work to show.
  void Uninstall() {
    const std::wstring uninstaller = installDir_ + L"\\uninstall.exe";
    if (!FileExists(uninstaller)) return;
    ASSERT_EQ(RunAndWait(L"\"" + uninstaller + L"\" /S"), 0u);
    for (int i = 0; i < 300 && (FileExists(uninstaller) ||
                                RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
         ++i) {
      Sleep(100);
    }
    ASSERT_FALSE(FileExists(uninstaller)) << "the uninstaller did not finish";
  }

  std::wstring Installed(const wchar_t* name) const { return installDir_ + L"\\" + name; }

  void ExpectInstalled() {
    for (const wchar_t* file :
         {L"Tarnwick.dll", L"x86\\Tarnwick.dll", L"TarnwickSettings.exe", L"TarnwickDiag.exe",
          L"README.txt", L"LICENSE.txt", L"THIRD-PARTY-NOTICES.txt", L"uninstall.exe"}) {
      EXPECT_TRUE(FileExists(Installed(file))) << file;
    }
    // In each registry view the same four values its regsvr32 writes, naming that view's DLL.
    for (const auto& [view, dll] : {std::pair{KEY_WOW64_64KEY, L"Tarnwick.dll"},
                                    std::pair{KEY_WOW64_32KEY, L"x86\\Tarnwick.dll"}}) {
      EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, kClassKey, nullptr, view).text,
                L"Tarnwick Overlay");
      EXPECT_EQ(
          _wcsicmp(ReadRegistryString(HKEY_CLASSES_ROOT, kServerKey, nullptr, view).text.c_str(),
                   Installed(dll).c_str()),
          0)
          << dll;
      EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, kServerKey, L"ThreadingModel", view).text,
                L"Apartment");
      EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kOverlayKey, nullptr, view).text,
                L"{493A8F22-3B3F-43E4-BF53-725A89A44434}");
    }

    EXPECT_TRUE(FileExists(shortcuts_ + L"\\Tarnwick 設定.lnk"));
    EXPECT_TRUE(FileExists(shortcuts_ + L"\\Tarnwick 診断.lnk"));

    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName").text,
              L"Tarnwick");
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, L"Publisher").status,
              ERROR_SUCCESS);
    EXPECT_FALSE(
        ReadRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion").text.empty());
    EXPECT_NE(ReadRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString")
                  .text.find(L"uninstall.exe"),
              std::wstring::npos);
    DWORD size = 0;
    DWORD bytes = sizeof(size);
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, kUninstallKey, L"EstimatedSize", RRF_RT_REG_DWORD,
                           nullptr, &size, &bytes),
              ERROR_SUCCESS);
    EXPECT_GT(size, 100u);  // kilobytes
  }

  void ExpectComServesTheBadge() {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
      ComPtr<IShellIconOverlayIdentifier> overlay;
      ASSERT_EQ(CoCreateInstance(kClassId, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_IShellIconOverlayIdentifier, overlay.put()),
                S_OK);
      wchar_t temp[MAX_PATH];
      GetTempPathW(MAX_PATH, temp);
      const std::wstring leaf = std::wstring(temp) + L"installer-leaf";
      CreateDirectoryW(leaf.c_str(), nullptr);
      EXPECT_EQ(overlay->IsMemberOf(leaf.c_str(), FILE_ATTRIBUTE_DIRECTORY), S_OK);
      RemoveDirectoryW(leaf.c_str());
    }
    CoUninitialize();
  }

  void ExpectUnregisteredInBothViews() {
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
      EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, kClassKey, view)) << view;
      EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kOverlayKey, view)) << view;
    }
  }

  std::wstring setup_;
  std::wstring installDir_;
  std::wstring shortcuts_;
};

TEST_F(InstallerTest, SilentInstallRegistersTheHandlerAndAddsShortcutsAndUninstallEntry) {
  Install();
  ExpectInstalled();
  ExpectComServesTheBadge();
}

TEST_F(InstallerTest, InstallingOverAnInstallUpgradesItInPlace) {
  Install();
  // A damaged file from the older install is replaced; the registration points at the new one.
  HANDLE file = CreateFileW(Installed(L"TarnwickDiag.exe").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  // Explorer holds the old handler loaded: the upgrade must still put the new one in place.
  HMODULE loaded = LoadLibraryW(Installed(L"Tarnwick.dll").c_str());
  ASSERT_NE(loaded, nullptr);
  const size_t pendingBefore = PendingDeletionsIn(installDir_);
  Install();
  ExpectInstalled();
  EXPECT_GT(PendingDeletionsIn(installDir_), pendingBefore)
      << "the old DLL is moved aside and deleted at the next restart";
  FreeLibrary(loaded);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(
      GetFileAttributesExW(Installed(L"TarnwickDiag.exe").c_str(), GetFileExInfoStandard, &data));
  EXPECT_GT(data.nFileSizeLow, 10000u);
  ExpectComServesTheBadge();
}

TEST_F(InstallerTest, SilentUninstallRemovesEverythingButTheUsersSettings) {
  Install();
  // The user's own choice and icon, as the settings program leaves them.
  HKEY settings = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Tarnwick", 0, nullptr, 0, KEY_WRITE,
                            nullptr, &settings, nullptr),
            ERROR_SUCCESS);
  const DWORD color = 0x000000FF;
  RegSetValueExW(settings, L"BadgeColor", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&color), 4);
  RegCloseKey(settings);
  const std::wstring userIcon = KnownFolder(FOLDERID_RoamingAppData) + L"\\Tarnwick\\badge.ico";
  CreateDirectoryW((KnownFolder(FOLDERID_RoamingAppData) + L"\\Tarnwick").c_str(), nullptr);
  HANDLE file = CreateFileW(userIcon.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);

  Uninstall();
  EXPECT_FALSE(FileExists(installDir_));
  EXPECT_FALSE(FileExists(shortcuts_));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  ExpectUnregisteredInBothViews();
  EXPECT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Tarnwick"));
  EXPECT_TRUE(FileExists(userIcon));

  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tarnwick");
  DeleteFileW(userIcon.c_str());
}

TEST_F(InstallerTest, DllStillInUseIsUnregisteredAndRemovedAtTheNextRestart) {
  Install();
  // This process plays Explorer and a 32-bit program's dialog: it holds both DLLs mapped as
  // images while the uninstaller runs (the 32-bit one as a resource image, as a 64-bit process
  // can), so neither can be deleted.
  HMODULE loaded = LoadLibraryW(Installed(L"Tarnwick.dll").c_str());
  ASSERT_NE(loaded, nullptr);
  HMODULE loaded32 = LoadLibraryExW(Installed(L"x86\\Tarnwick.dll").c_str(), nullptr,
                                    LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(loaded32, nullptr);
  const size_t pendingBefore = PendingDeletionsIn(installDir_);
  const size_t pendingBefore32 = PendingDeletionsIn(installDir_ + L"\\x86");
  Uninstall();
  ExpectUnregisteredInBothViews();
  EXPECT_FALSE(FileExists(Installed(L"TarnwickSettings.exe")));
  // Moved aside and queued for deletion at the next restart.
  for (const wchar_t* dll : {L"Tarnwick.dll", L"x86\\Tarnwick.dll"}) {
    EXPECT_FALSE(FileExists(Installed(dll))) << dll;
  }
  EXPECT_GT(PendingDeletionsIn(installDir_), pendingBefore);
  EXPECT_GT(PendingDeletionsIn(installDir_ + L"\\x86"), pendingBefore32);
  FreeLibrary(loaded);
  FreeLibrary(loaded32);
}

}  // namespace
}  // namespace tarnwick::testing
