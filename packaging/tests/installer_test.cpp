// The release's installers under Windows (Wine in the test prefix): the setup program and the MSI,
// each installed, upgraded and uninstalled, also while Explorer holds the DLLs, neither over the
// other, and neither ending or starting Explorer.

#include <windows.h>
#include <msi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/tests/win32_test_support.h"
#include "common/unique_handle.h"
#include "common/wide.h"

namespace tarnwick::testing {
namespace {

constexpr wchar_t kClassKey[] = L"CLSID\\{493A8F22-3B3F-43E4-BF53-725A89A44434}";
constexpr wchar_t kServerKey[] = L"CLSID\\{493A8F22-3B3F-43E4-BF53-725A89A44434}\\InProcServer32";
constexpr wchar_t kOverlayKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers\\"
    L"  Tarnwick";
constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnwick";
constexpr std::pair<REGSAM, const wchar_t*> kViews[] = {{KEY_WOW64_64KEY, L"Tarnwick.dll"},
                                                        {KEY_WOW64_32KEY, L"x86\\Tarnwick.dll"}};

std::wstring KnownFolder(REFKNOWNFOLDERID folder) {
  PWSTR path = nullptr;
  if (FAILED(SHGetKnownFolderPath(folder, 0, nullptr, &path))) return {};
  std::wstring result = path;
  CoTaskMemFree(path);
  return result;
}

// How many files in `folder` Windows is to delete at its next restart, under the installer's fresh
// names ns*.tmp. Counted, not cleared: on a real machine the list holds other programs' files too.
size_t PendingDeletionsIn(const std::wstring& folder) {
  std::wstring pending(32768, L'\0');
  DWORD bytes = static_cast<DWORD>(pending.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                   L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, pending.data(),
                   &bytes) != ERROR_SUCCESS) {
    return 0;
  }
  size_t count = 0;
  for (size_t at = 0; (at = pending.find(folder + L"\\ns", at)) != std::wstring::npos; ++at)
    ++count;
  return count;
}

// An installer that ended or started Explorer changes this set. Wine's desktop is explorer.exe,
// started when a program first needs the desktop: each case starts it first (GetDesktopWindow).
std::set<DWORD> ExplorerProcesses() {
  std::set<DWORD> ids;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    if (_wcsicmp(entry.szExeFile, L"explorer.exe") == 0) ids.insert(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return ids;
}

// Every key, value name, type and data (terminating NUL included) from `key` down, in `view`.
void Walk(HKEY hive, const std::wstring& key, REGSAM view, std::vector<std::wstring>& lines) {
  UniqueRegKey opened;
  if (RegOpenKeyExW(hive, key.c_str(), 0, KEY_READ | view, opened.put()) != ERROR_SUCCESS) return;
  const std::wstring where = std::to_wstring(view) + L" " + key;
  lines.push_back(where);
  wchar_t name[256];
  BYTE data[2048];
  for (DWORD i = 0, length = 256, type = 0, bytes = sizeof(data);
       RegEnumValueW(opened.get(), i, name, &length, nullptr, &type, data, &bytes) == ERROR_SUCCESS;
       ++i, length = 256, bytes = sizeof(data)) {
    lines.push_back(where + L" [" + name + L"] " + std::to_wstring(type) + L" " +
                    std::wstring(reinterpret_cast<const wchar_t*>(data), bytes / 2));
  }
  for (DWORD i = 0, length = 256; RegEnumKeyExW(opened.get(), i, name, &length, nullptr, nullptr,
                                                nullptr, nullptr) == ERROR_SUCCESS;
       ++i, length = 256) {
    Walk(hive, key + L"\\" + name, view, lines);
  }
}

// The whole registration in both views, in a stable order.
std::vector<std::wstring> RegistrationSnapshot() {
  std::vector<std::wstring> lines;
  for (const auto& [view, dll] : kViews) {
    Walk(HKEY_CLASSES_ROOT, kClassKey, view, lines);
    Walk(HKEY_LOCAL_MACHINE, kOverlayKey, view, lines);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::wstring ProductCodeOf(const std::wstring& package) {
  MSIHANDLE handle = 0;
  wchar_t code[39] = {};
  DWORD length = 39;
  if (MsiOpenPackageExW(package.c_str(), MSIOPENPACKAGEFLAGS_IGNOREMACHINESTATE, &handle) ==
      ERROR_SUCCESS) {
    MsiGetProductPropertyW(handle, L"ProductCode", code, &length);
    MsiCloseHandle(handle);
  }
  return code;
}

// Asked by product code, not by the UpgradeCode: when an upgrade removes the older product after
// installing the new one, Wine's msi drops the UpgradeCode's whole registration, the new
// product's with it; Windows drops only the older product's.
bool ProductInstalled(const std::wstring& product) {
  return MsiQueryProductStateW(product.c_str()) == INSTALLSTATE_DEFAULT;
}

std::wstring ProductProperty(const std::wstring& product, const wchar_t* property) {
  wchar_t value[256] = {};
  DWORD length = 256;
  MsiGetProductInfoW(product.c_str(), property, value, &length);
  return value;
}

// Under Wine, Windows Installer's ProgramMenuFolder is the user's Start menu even in a
// per-machine install; on Windows it is the one of all users.
bool RunningUnderWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setup_ = WindowsPathFromEnvironment("TARNWICK_SETUP");
    msi_ = WindowsPathFromEnvironment("TARNWICK_MSI");
    olderMsi_ = WindowsPathFromEnvironment("TARNWICK_OLDER_MSI");
    ASSERT_FALSE(setup_.empty() || msi_.empty() || olderMsi_.empty())
        << "TARNWICK_SETUP, TARNWICK_MSI and TARNWICK_OLDER_MSI name the installers";
    product_ = ProductCodeOf(msi_);
    olderProduct_ = ProductCodeOf(olderMsi_);
    ASSERT_FALSE(product_.empty() || olderProduct_.empty());
    GetDesktopWindow();
    installDir_ = KnownFolder(FOLDERID_ProgramFiles) + L"\\Tarnwick";
    shortcuts_ = KnownFolder(FOLDERID_CommonPrograms) + L"\\Tarnwick";
    msiShortcuts_ =
        RunningUnderWine() ? KnownFolder(FOLDERID_Programs) + L"\\Tarnwick" : shortcuts_;
    RemoveAll();
  }
  void TearDown() override { RemoveAll(); }

  // Whatever an earlier case left; msiexec refuses a package whose product is not installed.
  void RemoveAll() {
    Uninstall();
    for (const std::wstring& package : {msi_, olderMsi_}) Msiexec(L"/x", package);
    // A DLL held through an uninstall is queued for deletion at a restart that never comes under
    // Wine: without this its leftover keeps the folder for a later case's "removes everything".
    RemoveTree(installDir_);
  }

  // Whatever it does, the installer leaves Explorer running as it was.
  void Install() {
    const std::set<DWORD> explorers = ExplorerProcesses();
    ASSERT_EQ(RunAndWait(L"\"" + setup_ + L"\" /S"), 0u);
    EXPECT_EQ(ExplorerProcesses(), explorers) << "the installer ended or started Explorer";
  }

  // The uninstaller copies itself away and returns at once: wait for its work to show.
  void Uninstall() {
    const std::wstring uninstaller = Installed(L"uninstall.exe");
    if (!FileExists(uninstaller)) return;
    ASSERT_EQ(RunAndWait(L"\"" + uninstaller + L"\" /S"), 0u);
    EXPECT_TRUE(WaitUntil(
        [&] {
          return !FileExists(uninstaller) && !RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey);
        },
        30000))
        << "the uninstaller did not finish";
  }

  // msiexec's exit code; a file in use makes it 3010, a restart pending, never a failure.
  static DWORD Msiexec(const std::wstring& action, const std::wstring& package) {
    const DWORD code = RunAndWait(L"msiexec " + action + L" \"" + package + L"\" /qn");
    return code == ERROR_SUCCESS_REBOOT_REQUIRED ? 0 : code;
  }

  std::wstring Installed(const wchar_t* name) const { return installDir_ + L"\\" + name; }

  // The files, the shortcuts, and in each registry view its DLL registered: the values besides
  // the path are the DLL's own, which the MSI's rows are checked against whole.
  void ExpectFilesAndRegistration(const std::wstring& shortcuts) {
    for (const wchar_t* file :
         {L"Tarnwick.dll", L"x86\\Tarnwick.dll", L"TarnwickSettings.exe", L"TarnwickDiag.exe",
          L"README.txt", L"LICENSE.txt", L"THIRD-PARTY-NOTICES.txt"}) {
      EXPECT_TRUE(FileExists(Installed(file))) << file;
    }
    for (const auto& [view, dll] : kViews) {
      const RegistryString server =
          ReadRegistryString(HKEY_CLASSES_ROOT, kServerKey, nullptr, view);
      EXPECT_EQ(_wcsicmp(server.text.c_str(), Installed(dll).c_str()), 0) << dll;
      EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kOverlayKey, nullptr, view).text,
                L"{493A8F22-3B3F-43E4-BF53-725A89A44434}");
    }
    EXPECT_TRUE(FileExists(shortcuts + L"\\Tarnwick 設定.lnk"));
    EXPECT_TRUE(FileExists(shortcuts + L"\\Tarnwick 診断.lnk"));
  }

  void ExpectInstalled() {
    ExpectFilesAndRegistration(shortcuts_);
    EXPECT_TRUE(FileExists(Installed(L"uninstall.exe")));
    const auto entry = [](const wchar_t* name) {
      return ReadRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, name);
    };
    EXPECT_EQ(entry(L"DisplayName").text, L"Tarnwick");
    EXPECT_EQ(entry(L"Publisher").status, ERROR_SUCCESS);
    EXPECT_FALSE(entry(L"DisplayVersion").text.empty());
    EXPECT_NE(entry(L"UninstallString").text.find(L"uninstall.exe"), std::wstring::npos);
    EXPECT_GT(ReadRegistryDword(HKEY_LOCAL_MACHINE, kUninstallKey, L"EstimatedSize").value_or(0),
              100u);  // kilobytes
  }

  void ExpectUnregisteredInBothViews() {
    for (const auto& [view, dll] : kViews) {
      EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, kClassKey, view)) << view;
      EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kOverlayKey, view)) << view;
    }
  }

  std::wstring setup_, msi_, olderMsi_, product_, olderProduct_;
  std::wstring installDir_, shortcuts_, msiShortcuts_;
};

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
  EXPECT_GT(ReadFileBytes(Installed(L"TarnwickDiag.exe")).value_or(Bytes{}).size(), 10000u);
}

TEST_F(InstallerTest, SilentUninstallRemovesEverythingButTheUsersSettings) {
  Install();
  // The user's own choice and icon, as the settings program leaves them.
  const DWORD color = 0x000000FF;
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Tarnwick", L"BadgeColor", REG_DWORD,
                            &color, sizeof(color)),
            ERROR_SUCCESS);
  const std::wstring userFolder = KnownFolder(FOLDERID_RoamingAppData) + L"\\Tarnwick";
  CreateDirectoryW(userFolder.c_str(), nullptr);
  const HANDLE icon = CreateFileW((userFolder + L"\\badge.ico").c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(icon, INVALID_HANDLE_VALUE);
  CloseHandle(icon);

  Uninstall();
  EXPECT_FALSE(FileExists(installDir_));
  EXPECT_FALSE(FileExists(shortcuts_));
  ExpectUnregisteredInBothViews();
  EXPECT_EQ(ReadRegistryDword(HKEY_CURRENT_USER, L"Software\\Tarnwick", L"BadgeColor"), color);
  EXPECT_TRUE(FileExists(userFolder + L"\\badge.ico"));
  DeleteRegistryTree(HKEY_CURRENT_USER, L"Software\\Tarnwick");
  RemoveTree(userFolder);
}

TEST_F(InstallerTest, DllStillInUseIsUnregisteredAndRemovedAtTheNextRestart) {
  Install();
  // This process plays Explorer and a 32-bit program's dialog: it holds both DLLs mapped as
  // images while the uninstaller runs (the 32-bit one as a resource image, as a 64-bit process
  // can), so neither can be deleted, only moved aside and queued for deletion at the next restart.
  HMODULE loaded = LoadLibraryW(Installed(L"Tarnwick.dll").c_str());
  HMODULE loaded32 = LoadLibraryExW(Installed(L"x86\\Tarnwick.dll").c_str(), nullptr,
                                    LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_TRUE(loaded && loaded32);
  const size_t pendingBefore = PendingDeletionsIn(installDir_);
  const size_t pendingBefore32 = PendingDeletionsIn(installDir_ + L"\\x86");
  Uninstall();
  ExpectUnregisteredInBothViews();
  EXPECT_FALSE(FileExists(Installed(L"TarnwickSettings.exe")));
  for (const wchar_t* dll : {L"Tarnwick.dll", L"x86\\Tarnwick.dll"}) {
    EXPECT_FALSE(FileExists(Installed(dll))) << dll;
  }
  EXPECT_GT(PendingDeletionsIn(installDir_), pendingBefore);
  EXPECT_GT(PendingDeletionsIn(installDir_ + L"\\x86"), pendingBefore32);
  FreeLibrary(loaded);
  FreeLibrary(loaded32);
}

// The elevated installer never restarts Explorer (that Explorer would run elevated, or as the
// administrator whose password a standard user typed); its last page says when the badges come.
// Only Windows shows the elevation itself: see docs/windows-testing.md.
TEST_F(InstallerTest, FinishPageSaysWhenTheBadgesAppearAndOffersNoRestart) {
  const std::set<DWORD> explorers = ExplorerProcesses();
  ChildProcess setup(setup_, L"");
  const HWND window = setup.WaitForWindow(L"#32770", 30000);
  ASSERT_NE(window, nullptr);
  // The welcome page; the files page then moves on to the finish page by itself.
  PostMessageW(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
  // The texts of the page's controls at any depth, and its visible check boxes.
  struct Page {
    std::wstring texts;
    int checkBoxes = 0;
  } page;
  const WNDENUMPROC read = [](HWND control, LPARAM context) -> BOOL {
    Page& page = *reinterpret_cast<Page*>(context);
    page.texts += WindowText(control) + L"\n";
    const LONG_PTR type = GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK;
    page.checkBoxes += IsWindowVisible(control) && ClassName(control) == L"Button" &&
                       (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX);
    return TRUE;
  };
  ASSERT_TRUE(WaitUntil(
      [&] {
        page = {};
        EnumChildWindows(window, read, reinterpret_cast<LPARAM>(&page));
        return page.texts.find(L"次回のサインイン後") != std::wstring::npos;
      },
      60000))
      << Utf8FromWide(page.texts);
  EXPECT_NE(page.texts.find(L"またはエクスプローラーの再起動後に表示されます"), std::wstring::npos);
  EXPECT_EQ(page.checkBoxes, 0) << "no option to restart Explorer";
  PostMessageW(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
  EXPECT_EQ(setup.WaitForExit(30000), 0u);
  EXPECT_EQ(ExplorerProcesses(), explorers);
  ExpectInstalled();
}

TEST_F(InstallerTest, MsiWritesExactlyTheSelfRegistrationAndRemovesEverythingItAdded) {
  ASSERT_EQ(Msiexec(L"/i", msi_), 0u);
  ExpectFilesAndRegistration(msiShortcuts_);
  ASSERT_TRUE(ProductInstalled(product_));
  EXPECT_EQ(ProductProperty(product_, INSTALLPROPERTY_INSTALLEDPRODUCTNAME), L"Tarnwick");

  // Unregistered and registered again by the DLLs themselves, each by the regsvr32 of its
  // bitness: not a key, value, type or byte differs from what the MSI's Registry table wrote.
  const std::vector<std::wstring> written = RegistrationSnapshot();
  wchar_t wow64[MAX_PATH];
  GetSystemWow64DirectoryW(wow64, MAX_PATH);
  for (const auto& [regsvr32, dll] :
       {std::pair{std::wstring(L"regsvr32.exe"), L"Tarnwick.dll"},
        std::pair{std::wstring(wow64) + L"\\regsvr32.exe", L"x86\\Tarnwick.dll"}}) {
    EXPECT_EQ(RunAndWait(regsvr32 + L" /s /u \"" + Installed(dll) + L"\""), 0u);
    EXPECT_EQ(RunAndWait(regsvr32 + L" /s \"" + Installed(dll) + L"\""), 0u);
  }
  EXPECT_EQ(RegistrationSnapshot(), written);

  ASSERT_EQ(Msiexec(L"/x", msi_), 0u);
  EXPECT_FALSE(FileExists(installDir_));
  EXPECT_FALSE(FileExists(msiShortcuts_));
  ExpectUnregisteredInBothViews();
  EXPECT_FALSE(ProductInstalled(product_));
}

TEST_F(InstallerTest, MsiUpgradesAnOlderVersionAndUninstallsWhileTheDllsAreHeld) {
  ASSERT_EQ(Msiexec(L"/i", olderMsi_), 0u);
  ASSERT_EQ(ProductProperty(olderProduct_, INSTALLPROPERTY_VERSIONSTRING), L"0.9.0");
  // Explorer and a 32-bit program's file dialog hold the DLLs through the upgrade and the
  // uninstall. On Windows the package keeps Windows Installer's Restart Manager from ending this
  // process; Wine's msi has none. Windows queues a held DLL it removes for the next restart; Wine
  // leaves it in place (both checked by hand: docs/windows-testing.md).
  HMODULE loaded = LoadLibraryW(Installed(L"Tarnwick.dll").c_str());
  HMODULE loaded32 = LoadLibraryExW(Installed(L"x86\\Tarnwick.dll").c_str(), nullptr,
                                    LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_TRUE(loaded && loaded32);
  const std::set<DWORD> explorers = ExplorerProcesses();

  ASSERT_EQ(Msiexec(L"/i", msi_), 0u);
  EXPECT_TRUE(ProductInstalled(product_));
  EXPECT_FALSE(ProductInstalled(olderProduct_)) << "replaced, not installed beside";
  ExpectFilesAndRegistration(msiShortcuts_);

  ASSERT_EQ(Msiexec(L"/x", msi_), 0u);
  EXPECT_FALSE(ProductInstalled(product_));
  ExpectUnregisteredInBothViews();
  EXPECT_FALSE(FileExists(Installed(L"TarnwickSettings.exe")));
  EXPECT_EQ(ExplorerProcesses(), explorers);
  FreeLibrary(loaded);
  FreeLibrary(loaded32);
}

// Both write the same registration into the same place: over each other, uninstalling either
// would silently take the other's badges away. Each refuses, with a non-zero exit code when silent.
TEST_F(InstallerTest, MsiAndSetupEachRefuseToInstallOverTheOther) {
  Install();
  EXPECT_EQ(Msiexec(L"/i", msi_), static_cast<DWORD>(ERROR_INSTALL_FAILURE));
  EXPECT_FALSE(ProductInstalled(product_));
  ExpectInstalled();

  Uninstall();
  ASSERT_EQ(Msiexec(L"/i", msi_), 0u);
  EXPECT_NE(RunAndWait(L"\"" + setup_ + L"\" /S"), 0u);
  EXPECT_FALSE(FileExists(Installed(L"uninstall.exe")));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_TRUE(ProductInstalled(product_));
  ExpectFilesAndRegistration(msiShortcuts_);
}

}  // namespace
}  // namespace tarnwick::testing
