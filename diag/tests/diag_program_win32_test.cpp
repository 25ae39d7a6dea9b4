// The real TarnwickDiag.exe against the real registry: the test fills the overlay identifiers key,
// starts the program, reads its message box from outside, presses OK and takes the exit code.
// The machine's own key is put back afterwards, also after a crashed run.

#include <gtest/gtest.h>

#include "common/tests/win32_test_support.h"
#include "common/unique_handle.h"
#include "diag/diagnostic_report.h"

namespace tarnwick::testing {
namespace {

using Names = std::vector<WideString>;

const std::wstring kKey(kOverlayIdentifiersKeyPath);
const std::wstring kBackupRoot = L"SOFTWARE\\TarnwickTest";
const std::wstring kBackup = kBackupRoot + L"\\OverlayIdentifiers";
const wchar_t kAnyHandlerClass[] = L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";
// A GUI process lingers about 2 s after its box closes under Wine; this leaves ample room.
constexpr DWORD kTimeoutMs = 30000;

void CopyKey(const std::wstring& from, const std::wstring& to) {
  UniqueRegKey source;
  UniqueRegKey target;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, from.c_str(), 0, KEY_READ, source.put()),
            ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            target.put(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegCopyTreeW(source.get(), nullptr, target.get()), ERROR_SUCCESS);
}

// The machine's key waits in the backup while the case rewrites it. A backup already there was
// left by a crashed run and is the machine's key: it stays the one to put back.
class DiagProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    if (RegistryKeyExists(HKEY_LOCAL_MACHINE, kKey) &&
        !RegistryKeyExists(HKEY_LOCAL_MACHINE, kBackup)) {
      ASSERT_NO_FATAL_FAILURE(CopyKey(kKey, kBackup));
    }
  }

  void TearDown() override {
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kKey);
    if (RegistryKeyExists(HKEY_LOCAL_MACHINE, kBackup)) {
      ASSERT_NO_FATAL_FAILURE(CopyKey(kBackup, kKey));
    }
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kBackupRoot);
  }
};

TEST_F(DiagProgram, OneOwnerlessBoxWithTheReportOrTheErrorThenTheExitCode) {
  const struct {
    std::optional<Names> names;
    std::wstring text;
    DWORD exitCode;
  } cases[] = {
      // The registry enumerates case-insensitively; Explorer's order is by units.
      {Names{L"alpha", L"Zeta", L"_low", L"  Tarnwick", L"   First"},
       L"■ この PC のアイコンオーバーレイ枠\n\nWindows は全体で 15 枠しか持っていません。\n"
       L"登録数：5 件（空き 10 枠）\n\n― 有効（Windows が見る順）―\n1.    First\n"
       L"2.   Tarnwick   ← Tarnwick\n3. Zeta\n4. _low\n5. alpha\n\n■ 結論\n"
       L"Tarnwick は 2 "
       L"番目＝有効です。\n印が見えない場合は、エクスプローラーを再起動してください。",
       0},
      {std::nullopt, L"レジストリを読めませんでした。", 1},
  };
  for (const auto& c : cases) {
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kKey);
    for (const WideString& name : c.names.value_or(Names{})) {
      // As a registration does: the subkey's default value names the handler's class.
      ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, (kKey + L"\\" + name).c_str(), nullptr, REG_SZ,
                                L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}", 78),
                ERROR_SUCCESS);
    }
    ChildProcess process(ProgramBesideThisOne(L"TarnwickDiag.exe"), L"");
    const HWND box = process.WaitForWindow(L"#32770", kTimeoutMs);
    ASSERT_NE(box, nullptr) << c.exitCode;
    EXPECT_EQ(Utf8FromWide(MessageBoxText(box)), Utf8FromWide(c.text));
    EXPECT_EQ(Utf8FromWide(WindowText(box)), "Tarnwick 診断");
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(process.WaitForExit(kTimeoutMs), c.exitCode);
  }
}

}  // namespace
}  // namespace tarnwick::testing
