// The real TarnwickDiag.exe against the real registry: the test fills the overlay identifiers key,
// starts the program, reads its message box from outside, presses OK and takes the exit code.
// A Windows program; it runs under Wine in the test prefix, which has a display. The key is put
// back as it was afterwards, also after a crashed run (the backup is kept until restored).

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "common/unique_handle.h"
#include "diag/diagnostic_report.h"
#include "diag/overlay_survey.h"
#include "diag/tests/overflow_example.h"

namespace tarnwick {
namespace {

using Names = std::vector<WideString>;

const WideString kKeyPath(kOverlayIdentifiersKeyPath);
const WideChar kBackupRoot[] = L"SOFTWARE\\TarnwickTest";
const WideChar kBackupPath[] = L"SOFTWARE\\TarnwickTest\\OverlayIdentifiersBackup";
const WideChar kAnyHandlerClass[] = L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";

// A GUI process lingers about 2 s after its box closes under Wine; these leave ample room.
constexpr DWORD kBoxTimeoutMs = 30000;
constexpr DWORD kExitTimeoutMs = 30000;

WideString DiagProgramPath() {
  // Built beside this test program.
  WideChar path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  WideString program(path, length);
  program.erase(program.find_last_of(L'\\') + 1);
  return program + L"TarnwickDiag.exe";
}

WideString WindowText(HWND window) {
  WideString text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), text.size())));
  return text;
}

WideString ClassOf(HWND window) {
  WideChar name[64];
  return WideString(name, static_cast<std::size_t>(GetClassNameW(window, name, 64)));
}

struct BoxSearch {
  DWORD processId;
  HWND box;
};

HWND FindMessageBoxOf(DWORD processId) {
  BoxSearch search{processId, nullptr};
  EnumWindows(
      [](HWND window, LPARAM parameter) -> BOOL {
        auto& search = *reinterpret_cast<BoxSearch*>(parameter);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != search.processId || !IsWindowVisible(window)) return TRUE;
        if (ClassOf(window) != L"#32770") return TRUE;
        search.box = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.box;
}

// The box's text lies in a Static child; the other Static holds the icon and has no text.
WideString MessageTextOf(HWND box) {
  WideString text;
  EnumChildWindows(
      box,
      [](HWND child, LPARAM parameter) -> BOOL {
        auto& text = *reinterpret_cast<WideString*>(parameter);
        if (ClassOf(child) != L"Static") return TRUE;
        text = WindowText(child);
        return text.empty();
      },
      reinterpret_cast<LPARAM>(&text));
  return text;
}

struct DiagRun {
  WideString title;
  WideString text;
  HWND owner = nullptr;
  DWORD exitCode = 0xFFFFFFFF;
};

void EndProcess(HANDLE process) {
  TerminateProcess(process, 99);
  WaitForSingleObject(process, kExitTimeoutMs);
}

// Starts the program, reads its one box, presses OK and waits for the exit code.
void RunDiagProgram(DiagRun& run) {
  const WideString program = DiagProgramPath();
  WideString commandLine = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  ASSERT_TRUE(CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                             nullptr, nullptr, &startup, &started))
      << "cannot start " << Utf8FromWide(program) << ": " << GetLastError();
  const UniqueKernelHandle process(started.hProcess);
  const UniqueKernelHandle thread(started.hThread);

  HWND box = nullptr;
  for (const ULONGLONG start = GetTickCount64();
       box == nullptr && GetTickCount64() - start < kBoxTimeoutMs; Sleep(50)) {
    box = FindMessageBoxOf(started.dwProcessId);
    if (box == nullptr && WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) break;
  }
  if (box == nullptr) {
    EndProcess(process.get());
    FAIL() << "TarnwickDiag.exe showed no message box";
  }
  // Only one box, and no window of its own.
  run.title = WindowText(box);
  run.text = MessageTextOf(box);
  run.owner = GetWindow(box, GW_OWNER);

  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  if (WaitForSingleObject(process.get(), kExitTimeoutMs) != WAIT_OBJECT_0) {
    EndProcess(process.get());
    FAIL() << "TarnwickDiag.exe did not end after OK";
  }
  ASSERT_TRUE(GetExitCodeProcess(process.get(), &run.exitCode));
}

class DiagProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    UniqueRegKey backup;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kBackupPath, 0, KEY_READ, backup.put()) !=
        ERROR_SUCCESS) {
      // No backup left by a crashed run: the live key is the machine's own state.
      ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kBackupPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, backup.put(), nullptr),
                ERROR_SUCCESS);
      UniqueRegKey live;
      const DWORD existed = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeyPath.c_str(), 0, KEY_READ,
                                          live.put()) == ERROR_SUCCESS;
      if (existed) {
        UniqueRegKey copy;
        ASSERT_EQ(RegCreateKeyExW(backup.get(), L"Copy", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  copy.put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegCopyTreeW(live.get(), nullptr, copy.get()), ERROR_SUCCESS);
      }
      ASSERT_EQ(RegSetValueExW(backup.get(), L"KeyExisted", 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&existed), sizeof existed),
                ERROR_SUCCESS);
    }
    FillKey({});
  }

  void TearDown() override {
    RemoveKey();
    UniqueRegKey backup;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kBackupPath, 0, KEY_READ, backup.put()),
              ERROR_SUCCESS);
    DWORD existed = 0;
    DWORD size = sizeof existed;
    RegQueryValueExW(backup.get(), L"KeyExisted", nullptr, nullptr,
                     reinterpret_cast<BYTE*>(&existed), &size);
    if (existed) {
      UniqueRegKey live;
      UniqueRegKey copy;
      ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKeyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, live.put(), nullptr),
                ERROR_SUCCESS);
      ASSERT_EQ(RegOpenKeyExW(backup.get(), L"Copy", 0, KEY_READ, copy.put()), ERROR_SUCCESS);
      ASSERT_EQ(RegCopyTreeW(copy.get(), nullptr, live.get()), ERROR_SUCCESS);
    }
    backup.reset();
    EXPECT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, kBackupRoot), ERROR_SUCCESS);
  }

  static void RemoveKey() {
    const LONG status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKeyPath.c_str());
    ASSERT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << status;
  }

  // The key holding exactly these subkeys, created in this order, each naming a handler class
  // as a real registration does.
  static void FillKey(const Names& names) {
    RemoveKey();
    UniqueRegKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKeyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    for (const WideString& name : names) {
      UniqueRegKey subkey;
      ASSERT_EQ(RegCreateKeyExW(key.get(), name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                subkey.put(), nullptr),
                ERROR_SUCCESS)
          << Utf8FromWide(name);
      ASSERT_EQ(
          RegSetValueExW(subkey.get(), nullptr, 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(kAnyHandlerClass), sizeof kAnyHandlerClass),
          ERROR_SUCCESS);
    }
  }
};

TEST_F(DiagProgram, OverflowExampleBoxIsExactWhateverTheCreationOrder) {
  Names names = testing::OverflowExampleNames();
  for (int order = 0; order < 2; ++order) {
    if (order == 1) std::reverse(names.begin(), names.end());
    FillKey(names);
    DiagRun run;
    ASSERT_NO_FATAL_FAILURE(RunDiagProgram(run));
    EXPECT_EQ(Utf8FromWide(run.text), Utf8FromWide(testing::kOverflowExampleReport));
    EXPECT_EQ(Utf8FromWide(run.title), "Tarnwick 診断");
    EXPECT_EQ(run.owner, nullptr);
    EXPECT_EQ(run.exitCode, 0u);
  }
}

TEST_F(DiagProgram, EveryReportBoxEndsWithExitCodeZero) {
  // The registry enumerates case-insensitively; Explorer's order is by units.
  const struct {
    const char* why;
    Names created;
    OverlaySurvey expected;
  } cases[] = {
      {"empty key", {}, {{}, -1}},
      {"lookalikes only",
       {WIDE("Tarnwick"), WIDE("  TARNWICK2"), WIDE("  Tarnwick ")},
       {{WIDE("  TARNWICK2"), WIDE("  Tarnwick "), WIDE("Tarnwick")}, -1}},
      {"registry order is not Explorer's",
       {WIDE("alpha"), WIDE("Zeta"), WIDE("_low"), WIDE("  Tarnwick"), WIDE("   First")},
       {{WIDE("   First"), WIDE("  Tarnwick"), WIDE("Zeta"), WIDE("_low"), WIDE("alpha")}, 2}},
  };
  for (const auto& c : cases) {
    FillKey(c.created);
    DiagRun run;
    ASSERT_NO_FATAL_FAILURE(RunDiagProgram(run)) << c.why;
    EXPECT_EQ(Utf8FromWide(run.text), Utf8FromWide(ComposeDiagnosticReport(c.expected))) << c.why;
    EXPECT_EQ(run.exitCode, 0u) << c.why;
  }
}

TEST_F(DiagProgram, MissingKeyShowsTheErrorBoxAndExitsWithOne) {
  RemoveKey();
  DiagRun run;
  ASSERT_NO_FATAL_FAILURE(RunDiagProgram(run));
  EXPECT_EQ(Utf8FromWide(run.text), "レジストリを読めませんでした。");
  EXPECT_EQ(Utf8FromWide(run.title), "Tarnwick 診断");
  EXPECT_EQ(run.owner, nullptr);
  EXPECT_EQ(run.exitCode, 1u);
}

}  // namespace
}  // namespace tarnwick
