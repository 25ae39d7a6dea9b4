// The real TarnwickDiag.exe against the real registry: the test fills the overlay identifiers key,
// starts the program, reads its message box from outside, presses OK and takes the exit code.
// The machine's own key is put back afterwards, also after a crashed run: its backup stays in the
// registry until it has been restored.

#include <gtest/gtest.h>

#include "common/tests/win32_test_support.h"
#include "common/unique_handle.h"
#include "diag/diagnostic_report.h"
#include "diag/tests/overflow_example.h"

namespace tarnwick::testing {
namespace {

using Names = std::vector<WideString>;

const std::wstring kKey(kOverlayIdentifiersKeyPath);
// The root is there while a backup is held; its subkey only when the machine had the key.
const std::wstring kBackupRoot = L"SOFTWARE\\TarnwickTest";
const std::wstring kBackup = kBackupRoot + L"\\OverlayIdentifiers";
const wchar_t kAnyHandlerClass[] = L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";
// A GUI process lingers about 2 s after its box closes under Wine; this leaves ample room.
constexpr DWORD kTimeoutMs = 30000;

void CreateKey(const std::wstring& path, UniqueRegKey& key) {
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
}

void CopyKey(const std::wstring& from, const std::wstring& to) {
  UniqueRegKey source;
  UniqueRegKey target;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, from.c_str(), 0, KEY_READ, source.put()),
            ERROR_SUCCESS);
  ASSERT_NO_FATAL_FAILURE(CreateKey(to, target));
  ASSERT_EQ(RegCopyTreeW(source.get(), nullptr, target.get()), ERROR_SUCCESS);
}

// The key holding exactly these subkeys, each naming a handler class as a registration does.
void FillKey(const Names& names) {
  DeleteRegistryTree(HKEY_LOCAL_MACHINE, kKey);
  UniqueRegKey key;
  ASSERT_NO_FATAL_FAILURE(CreateKey(kKey, key));
  for (const WideString& name : names) {
    ASSERT_EQ(RegSetKeyValueW(key.get(), name.c_str(), nullptr, REG_SZ, kAnyHandlerClass,
                              sizeof kAnyHandlerClass),
              ERROR_SUCCESS);
  }
}

class DiagProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    if (RegistryKeyExists(HKEY_LOCAL_MACHINE, kBackupRoot)) return;  // left by a crashed run
    UniqueRegKey root;
    ASSERT_NO_FATAL_FAILURE(CreateKey(kBackupRoot, root));
    if (RegistryKeyExists(HKEY_LOCAL_MACHINE, kKey)) {
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
  const WideString head =
      L"■ この PC のアイコンオーバーレイ枠\n\nWindows は全体で 15 枠しか持っていません。\n登録数：";
  const WideString list = L" 枠）\n\n― 有効（Windows が見る順）―\n";
  const struct {
    const char* why;
    std::optional<Names> names;
    WideString text;
    DWORD exitCode;
  } cases[] = {
      {"the overflow example", OverflowExampleNames(), kOverflowExampleReport, 0},
      // The registry enumerates case-insensitively; Explorer's order is by units.
      {"registry order is not Explorer's",
       Names{L"alpha", L"Zeta", L"_low", L"  Tarnwick", L"   First"},
       head + L"5 件（空き 10" + list +
           L"1.    First\n2.   Tarnwick   ← Tarnwick\n3. Zeta\n4. _low\n5. alpha\n\n■ 結論\n"
           L"Tarnwick は 2 番目＝有効です。\n"
           L"印が見えない場合は、エクスプローラーを再起動してください。",
       0},
      {"empty key", Names{},
       head + L"0 件（空き 15" + list +
           L"\n■ 結論\nTarnwick が登録されていません。インストールし直してください。",
       0},
      {"key missing", std::nullopt, L"レジストリを読めませんでした。", 1},
  };
  for (const auto& c : cases) {
    if (c.names) {
      ASSERT_NO_FATAL_FAILURE(FillKey(*c.names)) << c.why;
    } else {
      DeleteRegistryTree(HKEY_LOCAL_MACHINE, kKey);
    }
    // The program's one box: read it, press OK, take the exit code.
    ChildProcess process(ProgramBesideThisOne(L"TarnwickDiag.exe"), L"");
    const HWND box = process.WaitForWindow(L"#32770", kTimeoutMs);
    ASSERT_NE(box, nullptr) << c.why;
    EXPECT_EQ(Utf8FromWide(MessageBoxText(box)), Utf8FromWide(c.text)) << c.why;
    EXPECT_EQ(Utf8FromWide(WindowText(box)), "Tarnwick 診断") << c.why;
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr) << c.why;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(process.WaitForExit(kTimeoutMs), c.exitCode) << c.why;
  }
}

}  // namespace
}  // namespace tarnwick::testing
