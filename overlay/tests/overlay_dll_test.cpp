// The real Tarnwick.dll, registered with regsvr32 and used through COM as Explorer uses it.
// A Windows program: it runs under Wine in the test prefix and would pass on Windows as well.

#include <windows.h>
#include <intrin.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "common/tests/win32_test_support.h"

namespace tarnwick::testing {
namespace {

constexpr wchar_t kClassIdString[] = L"{493A8F22-3B3F-43E4-BF53-725A89A44434}";
constexpr CLSID kClassId = {
    0x493a8f22, 0x3b3f, 0x43e4, {0xbf, 0x53, 0x72, 0x5a, 0x89, 0xa4, 0x44, 0x34}};
const std::wstring kIdentifiersKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers";
const std::wstring kOverlayKey = kIdentifiersKey + L"\\  Tarnwick";
const std::wstring kClassKey = std::wstring(L"CLSID\\") + kClassIdString;
const std::wstring kServerKey = kClassKey + L"\\InProcServer32";

// The 32-bit and the 64-bit DLL register the same CLSID and overlay name, each in its own view of
// the registry; this program is built for both and so checks both against each other.
constexpr REGSAM kOwnView = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
constexpr REGSAM kOtherView = kOwnView == KEY_WOW64_64KEY ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

using NoArgumentFunction = HRESULT(STDAPICALLTYPE*)();
using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

std::wstring DllPath() { return WindowsPathFromEnvironment("TARNWICK_DLL"); }

DWORD Regsvr32(const std::wstring& switches) {
  return RunAndWait(L"regsvr32.exe /s " + switches + L" \"" + DllPath() + L"\"");
}

template <class Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

void MakeFile(const std::wstring& path) {
  CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}

class OverlayDllTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(DllPath().empty()) << "TARNWICK_DLL is not set";
    ASSERT_EQ(Regsvr32(L""), 0u);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    // As Explorer does: the CLSID from the overlay entry, then COM activation.
    CLSID classId;
    ASSERT_EQ(
        CLSIDFromString(ReadRegistryString(HKEY_LOCAL_MACHINE, kOverlayKey, nullptr).text.c_str(),
                        &classId),
        S_OK);
    ASSERT_EQ(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IShellIconOverlayIdentifier, overlay_.put()),
              S_OK);
    dll_ = GetModuleHandleW(L"Tarnwick.dll");
    wchar_t path[MAX_PATH];
    dllPath_.assign(path, GetModuleFileNameW(dll_, path, MAX_PATH));
  }
  void TearDown() override {
    overlay_.reset();
    CoUninitialize();
    Regsvr32(L"/u");
  }

  std::wstring Ask(int capacity) {
    std::vector<wchar_t> buffer(1024, L'#');
    int index = -7;
    DWORD flags = 0xDEAD;
    const HRESULT result = overlay_->GetOverlayInfo(buffer.data(), capacity, &index, &flags);
    if (result != S_OK) {
      EXPECT_EQ(index, -7);
      EXPECT_EQ(flags, 0xDEADu);
      return result == E_FAIL ? L"E_FAIL" : L"?";
    }
    EXPECT_EQ(index, 0);
    EXPECT_EQ(flags, static_cast<DWORD>(ISIOI_ICONFILE | ISIOI_ICONINDEX));
    return buffer.data();
  }

  ComPtr<IShellIconOverlayIdentifier> overlay_;
  HMODULE dll_ = nullptr;
  std::wstring dllPath_;
};

// The other build's registration sits in the other view, as its own regsvr32 writes it there.
TEST_F(OverlayDllTest, RegistrationWritesTheFourValuesInItsOwnViewAndRemovalTakesThemAway) {
  const struct {
    HKEY hive;
    std::wstring key;
    const wchar_t* name;
    std::wstring own, other;
  } values[] = {
      {HKEY_CLASSES_ROOT, kClassKey, nullptr, L"Tarnwick Overlay", L"Tarnwick Overlay"},
      {HKEY_CLASSES_ROOT, kServerKey, nullptr, DllPath(), L"C:\\other-view\\Tarnwick.dll"},
      {HKEY_CLASSES_ROOT, kServerKey, L"ThreadingModel", L"Apartment", L"Apartment"},
      {HKEY_LOCAL_MACHINE, kOverlayKey, nullptr, kClassIdString, kClassIdString},
  };
  for (const auto& value : values) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(value.hive, value.key.c_str(), 0, nullptr, 0, KEY_WRITE | kOtherView,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, value.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.other.c_str()),
                   static_cast<DWORD>((value.other.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }
  const auto expectOtherViewUntouched = [&](const char* when) {
    for (const auto& value : values) {
      EXPECT_EQ(ReadRegistryString(value.hive, value.key, value.name, kOtherView).text, value.other)
          << when;
    }
  };

  ASSERT_EQ(Regsvr32(L""), 0u) << "registering again rewrites the same values";
  for (const auto& value : values) {
    const RegistryString read = ReadRegistryString(value.hive, value.key, value.name, kOwnView);
    EXPECT_EQ(read.type, static_cast<DWORD>(REG_SZ)) << value.key;
    EXPECT_EQ(_wcsicmp(read.text.c_str(), value.own.c_str()), 0) << read.text;
    EXPECT_EQ(read.bytes, (value.own.size() + 1) * sizeof(wchar_t)) << "NUL stored too";
  }
  expectOtherViewUntouched("after registration");
  overlay_.reset();
  ASSERT_EQ(Regsvr32(L"/u"), 0u);
  EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, kClassKey, kOwnView));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kOverlayKey, kOwnView));
  expectOtherViewUntouched("after removal");
  EXPECT_EQ(Regsvr32(L"/u"), 0u) << "nothing registered is still success";

  for (auto value = std::rbegin(values); value != std::rend(values); ++value) {
    RegDeleteKeyExW(value->hive, value->key.c_str(), kOtherView, 0);
  }
}

TEST_F(OverlayDllTest, RefusedWriteStopsRegistrationAndADllPathThatDoesNotFitRegistersNothing) {
  ASSERT_EQ(Regsvr32(L"/u"), 0u);
  // A volatile parent refuses a lasting child: the overlay entry, written last, cannot be made.
  auto recreateIdentifiersKey = [](DWORD options) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kIdentifiersKey.c_str());
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kIdentifiersKey.c_str(), 0, nullptr, options,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
  };
  recreateIdentifiersKey(REG_OPTION_VOLATILE);
  EXPECT_EQ(Export<NoArgumentFunction>(dll_, "DllRegisterServer")(),
            HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE));
  EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, kServerKey, L"ThreadingModel").text, L"Apartment")
      << "the writes before the refused one stay";
  recreateIdentifiersKey(REG_OPTION_NON_VOLATILE);
  DeleteRegistryTree(HKEY_CLASSES_ROOT, kClassKey);

  // A copy of the DLL 300 units deep: its path would have to be cut short to 259 units.
  ScratchFolder scratch(L"deep");
  std::vector<std::wstring> folders = {L"\\\\?\\" + scratch.path()};
  while (folders.back().size() < 300)
    folders.push_back(folders.back() + L"\\" + std::wstring(40, L'd'));
  for (const auto& folder : folders) CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring copy = folders.back() + L"\\Tarnwick.dll";
  ASSERT_TRUE(CopyFileW(DllPath().c_str(), copy.c_str(), FALSE));
  HMODULE module = LoadLibraryW(copy.c_str());
  ASSERT_NE(module, nullptr) << GetLastError();
  EXPECT_TRUE(FAILED(Export<NoArgumentFunction>(module, "DllRegisterServer")()));
  EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, kClassKey));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kOverlayKey));
  FreeLibrary(module);
  DeleteFileW(copy.c_str());
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) RemoveDirectoryW(it->c_str());
}

TEST_F(OverlayDllTest, ObjectsAndFactoriesAnswerOnlyTheirInterfacesAndKeepTheDllWhileTheyLive) {
  auto canUnload = Export<NoArgumentFunction>(dll_, "DllCanUnloadNow");
  auto getClassObject = Export<GetClassObjectFunction>(dll_, "DllGetClassObject");
  EXPECT_EQ(overlay_->AddRef(), 2u);
  EXPECT_EQ(overlay_->Release(), 1u);
  ComPtr<IUnknown> unknown;
  ASSERT_EQ(overlay_->QueryInterface(IID_IUnknown, unknown.put()), S_OK);
  EXPECT_EQ(static_cast<void*>(unknown.get()), static_cast<void*>(overlay_.get()));
  unknown.reset();
  void* out = &out;
  EXPECT_EQ(overlay_->QueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(overlay_->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  int priority = 0;
  EXPECT_EQ(overlay_->GetPriority(&priority), S_OK);
  EXPECT_EQ(priority, 50);
  EXPECT_EQ(canUnload(), S_FALSE);
  EXPECT_EQ(overlay_.release()->Release(), 0u);
  EXPECT_EQ(canUnload(), S_OK);

  for (int byte = 0; byte < 16; ++byte) {
    CLSID other = kClassId;
    reinterpret_cast<unsigned char*>(&other)[byte] ^= 0x01;
    out = &out;
    EXPECT_EQ(getClassObject(other, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, &out) << "not written";
  }
  EXPECT_EQ(getClassObject(kClassId, IID_IShellIconOverlayIdentifier, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(getClassObject(kClassId, IID_IClassFactory, factory.put()), S_OK);
  EXPECT_EQ(factory->CreateInstance(factory.get(), IID_IUnknown, unknown.put()),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(canUnload(), S_FALSE);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory.reset();
  EXPECT_EQ(canUnload(), S_FALSE) << "the lock alone keeps it";
  ASSERT_EQ(getClassObject(kClassId, IID_IClassFactory, factory.put()), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  factory.reset();
  EXPECT_EQ(canUnload(), S_FALSE) << "an unlock without a lock takes the count below zero";
  ASSERT_EQ(getClassObject(kClassId, IID_IClassFactory, factory.put()), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory.reset();
  EXPECT_EQ(canUnload(), S_OK);
}

#if defined(__i386__)
// On 32-bit x86 Windows checks a frame-based handler before it calls it; Wine does not. SafeSEH:
// a handler in an image that carries a SafeSEH table must be listed there, or the process is
// ended instead. SEHOP: every record from fs:[0] down lies on the stack, aligned, and the chain is
// whole. Seen from a vectored handler, which runs before the chain, at the guard's own fault.
struct {
  std::uintptr_t dllBase = 0, dllEnd = 0;
  DWORD dllHandlerRva = 0;
  bool chainSound = true;
} chainView;

LONG CALLBACK ViewHandlerChain(EXCEPTION_POINTERS*) {
  // The TEB's own address at fs:[0x18]; NtCurrentTeb() trips GCC 12's array-bounds check.
  const NT_TIB* tib = nullptr;
  asm("movl %%fs:0x18, %0" : "=r"(tib));
  const auto stackLow = reinterpret_cast<std::uintptr_t>(tib->StackLimit);
  const auto stackHigh = reinterpret_cast<std::uintptr_t>(tib->StackBase);
  const auto* record = tib->ExceptionList;
  for (int depth = 0; reinterpret_cast<std::intptr_t>(record) != -1; ++depth) {
    const auto address = reinterpret_cast<std::uintptr_t>(record);
    if (depth > 1000 || address < stackLow || address + 8 > stackHigh || address % 4 != 0) {
      chainView.chainSound = false;
      break;
    }
    const auto handler = reinterpret_cast<std::uintptr_t>(record->Handler);
    if (handler >= chainView.dllBase && handler < chainView.dllEnd) {
      chainView.dllHandlerRva = static_cast<DWORD>(handler - chainView.dllBase);
    }
    record = record->Next;
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

TEST_F(OverlayDllTest, GuardHandlerIsListedForSafeSehAndItsRecordPassesSehop) {
  const auto* base = reinterpret_cast<const BYTE*>(dll_);
  const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS32*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  chainView.dllBase = reinterpret_cast<std::uintptr_t>(base);
  chainView.dllEnd = chainView.dllBase + headers->OptionalHeader.SizeOfImage;
  void* watcher = AddVectoredExceptionHandler(1, ViewHandlerChain);
  const DWORD chainHead = __readfsdword(0);
  EXPECT_EQ(overlay_->IsMemberOf(reinterpret_cast<LPCWSTR>(0x10), 0), S_FALSE);
  EXPECT_EQ(__readfsdword(0), chainHead) << "the guard's record outlived the fault";
  RemoveVectoredExceptionHandler(watcher);
  EXPECT_TRUE(chainView.chainSound);
  ASSERT_NE(chainView.dllHandlerRva, 0u)
      << "no handler of Tarnwick.dll was registered at the fault";

  EXPECT_EQ(headers->OptionalHeader.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_NO_SEH, 0);
  const IMAGE_DATA_DIRECTORY& directory =
      headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG];
  ASSERT_NE(directory.VirtualAddress, 0u) << "no load configuration: no SafeSEH table";
  const auto* config =
      reinterpret_cast<const IMAGE_LOAD_CONFIG_DIRECTORY32*>(base + directory.VirtualAddress);
  ASSERT_GE(config->Size, offsetof(IMAGE_LOAD_CONFIG_DIRECTORY32, SEHandlerCount) + sizeof(DWORD));
  const auto* table = reinterpret_cast<const DWORD*>(config->SEHandlerTable);
  ASSERT_NE(table, nullptr);
  // Windows looks handlers up by binary search: the table must be sorted.
  EXPECT_TRUE(std::is_sorted(table, table + config->SEHandlerCount));
  EXPECT_TRUE(std::binary_search(table, table + config->SEHandlerCount, chainView.dllHandlerRva));
}
#endif

TEST_F(OverlayDllTest, NamesTheUserIconWhenItExistsAndFitsElseTheDllElseFails) {
  // Long enough that the icon's path is longer than the DLL's.
  ScratchFolder scratch(L"appdata");
  const std::wstring appData = scratch / std::wstring(dllPath_.size(), L'a');
  const std::wstring icon = appData + L"\\Tarnwick\\badge.ico";
  CreateDirectoryW(appData.c_str(), nullptr);
  CreateDirectoryW((appData + L"\\Tarnwick").c_str(), nullptr);
  ScopedEnvironmentVariable variable(L"APPDATA", appData.c_str());
  EXPECT_EQ(Ask(MAX_PATH), dllPath_);
  MakeFile(icon);
  const int length = static_cast<int>(icon.size());
  EXPECT_EQ(Ask(MAX_PATH), icon);
  EXPECT_EQ(Ask(length + 1), icon);
  EXPECT_EQ(Ask(length), dllPath_);
  DeleteFileW(icon.c_str());
  EXPECT_EQ(Ask(MAX_PATH), dllPath_) << "nothing is remembered between calls";
  ASSERT_TRUE(CreateDirectoryW(icon.c_str(), nullptr));
  EXPECT_EQ(Ask(MAX_PATH), icon) << "a folder by that name passes for the file";
  const int dllLength = static_cast<int>(dllPath_.size());
  for (int capacity : {0, -1, 1, dllLength}) EXPECT_EQ(Ask(capacity), L"E_FAIL") << capacity;
  EXPECT_EQ(Ask(dllLength + 1), dllPath_);
}

// The icon's path is APPDATA and 19 units more, and must fit 260 units with its NUL: 240 units
// do, 241 do not, even with the file there (Wine opens such paths, Windows would not). No value,
// or a format-like one, names no file: least of all "\Tarnwick\badge.ico" on the current drive.
TEST_F(OverlayDllTest, AppDataCountsOnlyWhenTheIconPathFits260UnitsElseTheDllIsNamed) {
  ScratchFolder scratch(L"appdata");
  for (const std::size_t units : {240u, 241u}) {
    const std::wstring appData = scratch / std::wstring(units - scratch.path().size() - 1, L'b');
    CreateDirectoryW((L"\\\\?\\" + appData).c_str(), nullptr);
    CreateDirectoryW((L"\\\\?\\" + appData + L"\\Tarnwick").c_str(), nullptr);
    MakeFile(L"\\\\?\\" + appData + L"\\Tarnwick\\badge.ico");
    ScopedEnvironmentVariable variable(L"APPDATA", appData.c_str());
    EXPECT_EQ(Ask(1024), units == 240 ? appData + L"\\Tarnwick\\badge.ico" : dllPath_) << units;
  }
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  ASSERT_TRUE(SetCurrentDirectoryW(scratch.path().c_str()));
  const std::wstring rootFolder = scratch.path().substr(0, 2) + L"\\Tarnwick";
  CreateDirectoryW(rootFolder.c_str(), nullptr);
  MakeFile(rootFolder + L"\\badge.ico");
  for (const wchar_t* value : {static_cast<const wchar_t*>(nullptr), L"", L"%s%n%ls"}) {
    ScopedEnvironmentVariable appData(L"APPDATA", value);
    EXPECT_EQ(Ask(MAX_PATH), dllPath_) << value;
  }
  RemoveTree(rootFolder);
  SetCurrentDirectoryW(current);
}

TEST_F(OverlayDllTest, MembershipThroughComOnRealFoldersAndThreads) {
  ScratchFolder scratch(L"com-marking");
  const std::wstring leaf = scratch / L"leaf", tree = scratch / L"tree";
  for (const std::wstring& folder : {leaf, tree, tree + L"\\sub"}) {
    CreateDirectoryW(folder.c_str(), nullptr);
  }
  EXPECT_EQ(overlay_->IsMemberOf(reinterpret_cast<LPCWSTR>(0x10), 0), S_FALSE);
  // Explorer asks from many threads, each apartment with its own object; the attributes it
  // passes do not matter.
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&] {
      CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      {
        ComPtr<IShellIconOverlayIdentifier> overlay;
        wrong += CoCreateInstance(kClassId, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IShellIconOverlayIdentifier, overlay.put()) != S_OK;
        for (int i = 0; overlay.get() != nullptr && i < 100; ++i) {
          wrong += overlay->IsMemberOf(leaf.c_str(), 0) != S_OK;
          wrong += overlay->IsMemberOf(tree.c_str(), FILE_ATTRIBUTE_DIRECTORY) != S_FALSE;
        }
      }
      CoUninitialize();
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace tarnwick::testing
