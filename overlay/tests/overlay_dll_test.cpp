// The real Tarnwick.dll, registered with regsvr32 and used through COM as Explorer uses it.
// A Windows program: it runs under Wine in the test prefix and would pass on Windows as well.

#include <windows.h>
#include <shlobj.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "common/tests/win32_test_support.h"

namespace {

using tarnwick::testing::ComPtr;
using tarnwick::testing::ReadRegistryString;
using tarnwick::testing::RegistryKeyExists;
using tarnwick::testing::RegistryString;
using tarnwick::testing::RunAndWait;
using ScopedEnvironment = tarnwick::testing::ScopedEnvironmentVariable;

std::wstring DllPath() { return tarnwick::testing::WindowsPathFromEnvironment("TARNWICK_DLL"); }

DWORD Regsvr32(const std::wstring& switches) {
  return RunAndWait(L"regsvr32.exe /s " + switches + L" \"" + DllPath() + L"\"");
}

constexpr wchar_t kClassIdString[] = L"{493A8F22-3B3F-43E4-BF53-725A89A44434}";
constexpr CLSID kClassId = {
    0x493a8f22, 0x3b3f, 0x43e4, {0xbf, 0x53, 0x72, 0x5a, 0x89, 0xa4, 0x44, 0x34}};
constexpr wchar_t kOverlayKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers\\"
    L"  Tarnwick";
const std::wstring kClassKey = std::wstring(L"CLSID\\") + kClassIdString;
const std::wstring kServerKey = kClassKey + L"\\InProcServer32";

std::wstring TempFolder(const wchar_t* name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + name + std::to_wstring(GetCurrentProcessId());
}

class OverlayDllTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_FALSE(DllPath().empty()) << "TARNWICK_DLL is not set"; }

  void SetUp() override {
    ASSERT_EQ(Regsvr32(L""), 0u);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  }
  void TearDown() override {
    CoUninitialize();
    Regsvr32(L"/u");
  }

  // As Explorer does: the CLSID from the overlay entry, then COM activation.
  void CreateOverlay(ComPtr<IShellIconOverlayIdentifier>& overlay) {
    const RegistryString entry = ReadRegistryString(HKEY_LOCAL_MACHINE, kOverlayKey, nullptr);
    ASSERT_EQ(entry.status, ERROR_SUCCESS);
    CLSID classId;
    ASSERT_EQ(CLSIDFromString(entry.text.c_str(), &classId), S_OK);
    ASSERT_EQ(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IShellIconOverlayIdentifier, overlay.put()),
              S_OK);
  }

  template <class Function>
  Function Export(const char* name) {
    HMODULE module = GetModuleHandleW(L"Tarnwick.dll");
    if (module == nullptr) module = LoadLibraryW(DllPath().c_str());
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  }

  std::wstring LoadedDllPath() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(GetModuleHandleW(L"Tarnwick.dll"), path, MAX_PATH);
    return std::wstring(path, length);
  }
};

using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using NoArgumentFunction = HRESULT(STDAPICALLTYPE*)();

TEST_F(OverlayDllTest, RegistrationWritesExactlyTheFourValuesAgainAndAgain) {
  for (int round = 0; round < 2; ++round) {
    if (round == 1) {
      ASSERT_EQ(Regsvr32(L""), 0u);
    }
    struct Expected {
      HKEY hive;
      std::wstring key;
      const wchar_t* name;
      std::wstring text;
    };
    const Expected values[] = {
        {HKEY_CLASSES_ROOT, kClassKey, nullptr, L"Tarnwick Overlay"},
        {HKEY_CLASSES_ROOT, kServerKey, nullptr, DllPath()},
        {HKEY_CLASSES_ROOT, kServerKey, L"ThreadingModel", L"Apartment"},
        {HKEY_LOCAL_MACHINE, kOverlayKey, nullptr, kClassIdString},
    };
    for (const Expected& value : values) {
      const RegistryString read = ReadRegistryString(value.hive, value.key, value.name);
      EXPECT_EQ(read.status, ERROR_SUCCESS) << value.key;
      EXPECT_EQ(read.type, static_cast<DWORD>(REG_SZ));
      EXPECT_EQ(_wcsicmp(read.text.c_str(), value.text.c_str()), 0) << read.text;
      EXPECT_EQ(read.bytes, (value.text.size() + 1) * sizeof(wchar_t)) << "NUL stored too";
    }
  }
  // Exactly two spaces: one space, or three, is another handler.
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE,
                                 L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                                 L"ShellIconOverlayIdentifiers\\ Tarnwick"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE,
                                 L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                                 L"ShellIconOverlayIdentifiers\\Tarnwick"));
}

TEST_F(OverlayDllTest, UnregistrationRemovesEverythingAndAlwaysSucceeds) {
  EXPECT_EQ(Regsvr32(L"/u"), 0u);
  EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, kClassKey));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kOverlayKey));
  EXPECT_EQ(Regsvr32(L"/u"), 0u);  // nothing registered: still success
  ComPtr<IShellIconOverlayIdentifier> overlay;
  EXPECT_EQ(CoCreateInstance(kClassId, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IShellIconOverlayIdentifier, overlay.put()),
            REGDB_E_CLASSNOTREG);
}

TEST_F(OverlayDllTest, RefusedWriteStopsRegistrationWithItsStatus) {
  ASSERT_EQ(Regsvr32(L"/u"), 0u);
  // A volatile parent refuses a lasting child: the overlay entry cannot be written.
  const std::wstring parent =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers";
  const std::wstring saved = TempFolder(L"overlay-identifiers-") + L".reg";
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, parent.c_str());
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, parent.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);

  auto registerServer = Export<NoArgumentFunction>("DllRegisterServer");
  ASSERT_NE(registerServer, nullptr);
  EXPECT_EQ(registerServer(), HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE));
  // The writes before the refused one stay.
  EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, kServerKey, L"ThreadingModel").text,
            L"Apartment");
  EXPECT_NE(Regsvr32(L""), 0u);

  RegDeleteTreeW(HKEY_LOCAL_MACHINE, parent.c_str());
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, parent.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST_F(OverlayDllTest, DllWhosePathDoesNotFitIsNotRegisteredAtAll) {
  ASSERT_EQ(Regsvr32(L"/u"), 0u);
  // A copy of the DLL 300 units deep: its path would have to be cut short to 259 units.
  std::wstring folder = L"\\\\?\\" + TempFolder(L"deep-");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  std::vector<std::wstring> made = {folder};
  while (folder.size() < 300) {
    folder += L"\\" + std::wstring(40, L'd');
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << GetLastError();
    made.push_back(folder);
  }
  const std::wstring copy = folder + L"\\Tarnwick.dll";
  ASSERT_TRUE(CopyFileW(DllPath().c_str(), copy.c_str(), FALSE));
  HMODULE module = LoadLibraryExW(copy.c_str(), nullptr, 0);
  ASSERT_NE(module, nullptr) << GetLastError();
  auto registerServer = reinterpret_cast<NoArgumentFunction>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
  ASSERT_NE(registerServer, nullptr);
  EXPECT_TRUE(FAILED(registerServer()));
  EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, kClassKey));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kOverlayKey));
  FreeLibrary(module);
  DeleteFileW(copy.c_str());
  for (auto it = made.rbegin(); it != made.rend(); ++it) RemoveDirectoryW(it->c_str());
}

TEST_F(OverlayDllTest, ObjectsCountReferencesAndAnswerOnlyTheirInterfaces) {
  ComPtr<IShellIconOverlayIdentifier> overlay;
  CreateOverlay(overlay);
  EXPECT_EQ(overlay->AddRef(), 2u);
  EXPECT_EQ(overlay->Release(), 1u);

  ComPtr<IUnknown> unknown;
  ASSERT_EQ(overlay->QueryInterface(IID_IUnknown, unknown.put()), S_OK);
  EXPECT_EQ(static_cast<void*>(unknown.get()), static_cast<void*>(overlay.get()));
  unknown.reset();
  void* factory = reinterpret_cast<void*>(1);
  EXPECT_EQ(overlay->QueryInterface(IID_IClassFactory, &factory), E_NOINTERFACE);
  EXPECT_EQ(factory, nullptr);
  EXPECT_EQ(overlay->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

  int priority = 0;
  EXPECT_EQ(overlay->GetPriority(&priority), S_OK);
  EXPECT_EQ(priority, 50);
  EXPECT_EQ(overlay.release()->Release(), 0u);
}

TEST_F(OverlayDllTest, ClassObjectRefusesOtherClassesInterfacesAndAggregation) {
  ComPtr<IShellIconOverlayIdentifier> overlay;
  CreateOverlay(overlay);  // loads the DLL through COM
  auto getClassObject = Export<GetClassObjectFunction>("DllGetClassObject");
  ASSERT_NE(getClassObject, nullptr);

  for (int byte = 0; byte < 16; ++byte) {
    CLSID other = kClassId;
    reinterpret_cast<unsigned char*>(&other)[byte] ^= 0x01;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(other, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, reinterpret_cast<void*>(1)) << "not written";
  }
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(getClassObject(kClassId, IID_IShellIconOverlayIdentifier, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);

  ComPtr<IClassFactory> factory;
  ASSERT_EQ(getClassObject(kClassId, IID_IClassFactory, factory.put()), S_OK);
  ComPtr<IUnknown> made;
  EXPECT_EQ(factory->CreateInstance(overlay.get(), IID_IUnknown, made.put()),
            CLASS_E_NOAGGREGATION);
  out = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, made.put()), S_OK);
}

TEST_F(OverlayDllTest, DllStaysLoadedWhileAnythingOfItLives) {
  ComPtr<IShellIconOverlayIdentifier> overlay;
  CreateOverlay(overlay);
  auto canUnload = Export<NoArgumentFunction>("DllCanUnloadNow");
  auto getClassObject = Export<GetClassObjectFunction>("DllGetClassObject");
  ASSERT_NE(canUnload, nullptr);
  EXPECT_EQ(canUnload(), S_FALSE);  // the object lives
  overlay.reset();
  EXPECT_EQ(canUnload(), S_OK);

  ComPtr<IClassFactory> factory;
  ASSERT_EQ(getClassObject(kClassId, IID_IClassFactory, factory.put()), S_OK);
  EXPECT_EQ(canUnload(), S_FALSE);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory.reset();
  EXPECT_EQ(canUnload(), S_FALSE);  // the lock alone keeps it
  ASSERT_EQ(getClassObject(kClassId, IID_IClassFactory, factory.put()), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  factory.reset();
  EXPECT_EQ(canUnload(), S_OK);
}

class OverlayInfoTest : public OverlayDllTest {
 protected:
  void SetUp() override {
    OverlayDllTest::SetUp();
    CreateOverlay(overlay_);
    appData_ = TempFolder(L"appdata-");
    CreateDirectoryW(appData_.c_str(), nullptr);
    CreateDirectoryW((appData_ + L"\\Tarnwick").c_str(), nullptr);
    iconPath_ = appData_ + L"\\Tarnwick\\badge.ico";
  }
  void TearDown() override {
    DeleteFileW(iconPath_.c_str());
    RemoveDirectoryW(iconPath_.c_str());
    RemoveDirectoryW((appData_ + L"\\Tarnwick").c_str());
    RemoveDirectoryW(appData_.c_str());
    overlay_.reset();
    OverlayDllTest::TearDown();
  }

  void MakeIconFile() {
    HANDLE file =
        CreateFileW(iconPath_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
  }

  struct Answer {
    HRESULT result;
    std::wstring file;
    int index;
    DWORD flags;
  };

  Answer Ask(int capacity) {
    std::vector<wchar_t> buffer(1024, L'#');
    Answer answer{E_UNEXPECTED, {}, -7, 0xDEAD};
    answer.result = overlay_->GetOverlayInfo(buffer.data(), capacity, &answer.index, &answer.flags);
    if (answer.result == S_OK) answer.file = buffer.data();
    return answer;
  }

  ComPtr<IShellIconOverlayIdentifier> overlay_;
  std::wstring appData_;
  std::wstring iconPath_;
};

TEST_F(OverlayInfoTest, NamesTheUserIconWhenItExistsAndFitsElseTheDll) {
  ScopedEnvironment appData(L"APPDATA", appData_.c_str());
  const Answer withoutFile = Ask(MAX_PATH);
  EXPECT_EQ(withoutFile.result, S_OK);
  EXPECT_EQ(withoutFile.file, LoadedDllPath());
  EXPECT_EQ(withoutFile.index, 0);
  EXPECT_EQ(withoutFile.flags, static_cast<DWORD>(ISIOI_ICONFILE | ISIOI_ICONINDEX));

  MakeIconFile();
  const Answer withFile = Ask(MAX_PATH);
  EXPECT_EQ(withFile.result, S_OK);
  EXPECT_EQ(withFile.file, iconPath_);
  EXPECT_EQ(withFile.index, 0);
  EXPECT_EQ(withFile.flags, 0x3u);

  const int length = static_cast<int>(iconPath_.size());
  EXPECT_EQ(Ask(length + 1).file, iconPath_);
  if (static_cast<int>(LoadedDllPath().size()) < length) {
    EXPECT_EQ(Ask(length).file, LoadedDllPath());
  }

  // Deleted between two calls: nothing is remembered.
  DeleteFileW(iconPath_.c_str());
  EXPECT_EQ(Ask(MAX_PATH).file, LoadedDllPath());
  // A folder by that name passes for the file.
  ASSERT_TRUE(CreateDirectoryW(iconPath_.c_str(), nullptr));
  EXPECT_EQ(Ask(MAX_PATH).file, iconPath_);
}

TEST_F(OverlayInfoTest, UnsetOrOverlongAppDataFallsBackToTheDll) {
  MakeIconFile();
  {
    ScopedEnvironment appData(L"APPDATA", nullptr);
    EXPECT_EQ(Ask(MAX_PATH).file, LoadedDllPath());
  }
  {
    // 250 units: fits the 260-unit buffer, but with "\Tarnwick\badge.ico" it does not.
    const std::wstring overlong = L"C:\\" + std::wstring(247, L'a');
    ScopedEnvironment appData(L"APPDATA", overlong.c_str());
    const Answer answer = Ask(MAX_PATH);
    EXPECT_EQ(answer.result, S_OK);
    EXPECT_EQ(answer.file, LoadedDllPath());
  }
  {
    // A value with format directives is data: it must come back unexpanded, or not at all.
    ScopedEnvironment appData(L"APPDATA", L"%s%s%s%n%ls");
    EXPECT_EQ(Ask(MAX_PATH).file, LoadedDllPath());
  }
}

TEST_F(OverlayInfoTest, CapacityTooSmallForTheDllPathIsAFailureThatTouchesNothing) {
  ScopedEnvironment appData(L"APPDATA", nullptr);
  const int length = static_cast<int>(LoadedDllPath().size());
  for (int capacity : {0, -1, 1, length}) {
    const Answer answer = Ask(capacity);
    EXPECT_EQ(answer.result, E_FAIL) << capacity;
    EXPECT_EQ(answer.index, -7);
    EXPECT_EQ(answer.flags, 0xDEADu);
  }
  EXPECT_EQ(Ask(length + 1).result, S_OK);
  EXPECT_EQ(Ask(length + 1).file, LoadedDllPath());
}

class MembershipThroughComTest : public OverlayDllTest {
 protected:
  void SetUp() override {
    OverlayDllTest::SetUp();
    root_ = TempFolder(L"com-marking-");
    for (const wchar_t* folder : {L"", L"\\leaf", L"\\tree", L"\\tree\\sub"}) {
      CreateDirectoryW((root_ + folder).c_str(), nullptr);
    }
    HANDLE file = CreateFileW((root_ + L"\\file.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
  }
  void TearDown() override {
    DeleteFileW((root_ + L"\\file.txt").c_str());
    for (const wchar_t* folder : {L"\\tree\\sub", L"\\tree", L"\\leaf", L""}) {
      RemoveDirectoryW((root_ + folder).c_str());
    }
    OverlayDllTest::TearDown();
  }
  std::wstring root_;
};

TEST_F(MembershipThroughComTest, AnswersLikeTheDecisionForRealFoldersAndDrives) {
  ComPtr<IShellIconOverlayIdentifier> overlay;
  CreateOverlay(overlay);
  EXPECT_EQ(overlay->IsMemberOf((root_ + L"\\leaf").c_str(), FILE_ATTRIBUTE_DIRECTORY), S_OK);
  EXPECT_EQ(overlay->IsMemberOf((root_ + L"\\tree").c_str(), FILE_ATTRIBUTE_DIRECTORY), S_FALSE);
  EXPECT_EQ(overlay->IsMemberOf((root_ + L"\\file.txt").c_str(), 0), S_FALSE);
  // Explorer's attribute bits do not matter.
  EXPECT_EQ(overlay->IsMemberOf((root_ + L"\\leaf").c_str(), 0), S_OK);
  EXPECT_EQ(overlay->IsMemberOf(nullptr, 0), S_FALSE);
  EXPECT_EQ(overlay->IsMemberOf(reinterpret_cast<LPCWSTR>(0x10), 0), S_FALSE);
  for (const char* variable : {"TARNWICK_TEST_REMOVABLE_DRIVE", "TARNWICK_TEST_NETWORK_DRIVE"}) {
    const char* letter = std::getenv(variable);
    ASSERT_NE(letter, nullptr);
    const std::wstring folder = {static_cast<wchar_t>(letter[0]), L':', L'\\', L'e'};
    CreateDirectoryW(folder.c_str(), nullptr);
    EXPECT_EQ(overlay->IsMemberOf(folder.c_str(), FILE_ATTRIBUTE_DIRECTORY), S_FALSE) << letter;
  }
}

TEST_F(MembershipThroughComTest, ManyApartmentsAskAtOnce) {
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&] {
      CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      {
        ComPtr<IShellIconOverlayIdentifier> overlay;
        if (CoCreateInstance(kClassId, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IShellIconOverlayIdentifier, overlay.put()) != S_OK) {
          ++wrong;
        } else {
          for (int i = 0; i < 100; ++i) {
            if (overlay->IsMemberOf((root_ + L"\\leaf").c_str(), 0) != S_OK) ++wrong;
            if (overlay->IsMemberOf((root_ + L"\\tree").c_str(), 0) != S_FALSE) ++wrong;
          }
        }
      }
      CoUninitialize();
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong, 0);
}

// The shell loads the overlay icon by path and index; the DLL's own icon is the default badge.
TEST_F(OverlayDllTest, ShellExtractsTheBuiltInBadgeInTheDefaultColour) {
  ComPtr<IShellIconOverlayIdentifier> overlay;
  CreateOverlay(overlay);
  ScopedEnvironment appData(L"APPDATA", nullptr);
  wchar_t file[MAX_PATH];
  int index = -1;
  DWORD flags = 0;
  ASSERT_EQ(overlay->GetOverlayInfo(file, MAX_PATH, &index, &flags), S_OK);

  struct Probe {
    int size;
    int x;
    int y;  // from the top
  };
  // Inside the disc, clear of the outline and of the white glyph.
  for (const Probe& probe : {Probe{16, 1, 12}, Probe{48, 3, 38}}) {
    HICON large = nullptr;
    ASSERT_EQ(SHDefExtractIconW(file, index, 0, &large, nullptr, probe.size), S_OK);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(large, &info));
    BITMAPINFO bitmap{};
    bitmap.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bitmap.bmiHeader.biWidth = probe.size;
    bitmap.bmiHeader.biHeight = -probe.size;
    bitmap.bmiHeader.biPlanes = 1;
    bitmap.bmiHeader.biBitCount = 32;
    std::vector<DWORD> pixels(probe.size * probe.size);
    HDC screen = GetDC(nullptr);
    const int rows =
        GetDIBits(screen, info.hbmColor, 0, probe.size, pixels.data(), &bitmap, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(large);
    ASSERT_EQ(rows, probe.size);
    // 0xAARRGGBB: red 46, green 125, blue 91, opaque.
    EXPECT_EQ(pixels[probe.y * probe.size + probe.x] & 0x00FFFFFF, 0x002E7D5Bu) << probe.size;
  }
}

}  // namespace
