; The Tarnwick installer: 64-bit Windows only (the 32-bit DLL beside the 64-bit one), machine-wide,
; Japanese. Built by package.sh:
; makensis -INPUTCHARSET UTF8 -DVERSION=x.y.z -DBINARIES=dir -DOUTFILE=setup.exe -DSIGN=sign.sh
;          -DMSI_UPGRADE_CODE={the UpgradeCode of tarnwick.wxs} tarnwick.nsi

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

; The uninstaller is written out and signed before it is packed; the installer when it is done.
; sign.sh does nothing when no signing material is given.
!uninstfinalize '"${SIGN}" "%1"' = 0
!finalize '"${SIGN}" "%1"' = 0

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh

!define PRODUCT "Tarnwick"
!define PUBLISHER "Tarnwick Project"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick"
!define SETTINGS_LINK "Tarnwick 設定.lnk"
!define DIAG_LINK "Tarnwick 診断.lnk"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1041 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1041 "FileDescription" "${PRODUCT} セットアップ"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

!define MUI_ABORTWARNING
; Explorer loads overlay handlers only when it starts, and this installer does not restart it:
; an Explorer started from here would carry the installer's elevated token, and where a standard
; user typed an administrator's password, that administrator's account, for the whole desktop.
; The Restart Manager documents only that RmRestart leaves elevated and other users'
; applications alone, not under which token it starts Explorer again from an elevated caller.
; The user's own next sign-in (or an Explorer restart from the settings program, which runs
; unelevated) brings the badges.
!define MUI_FINISHPAGE_TEXT "Tarnwick のインストールが完了しました。$\r$\n$\r$\nエクスプローラーは印（アイコン オーバーレイ）を起動時にだけ読み込むため、印は次回のサインイン後、またはエクスプローラーの再起動後に表示されます。"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_UNPAGE_FINISH
!insertmacro MUI_LANGUAGE "Japanese"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP|MB_OK "Tarnwick は 64 ビット版の Windows 専用です。" /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  SetShellVarContext all
  ; The MSI writes the same registration into the same place: installed over each other,
  ; uninstalling either would silently take the other's badges away.
  System::Call 'msi::MsiEnumRelatedProductsW(w "${MSI_UPGRADE_CODE}", i 0, i 0, w .r1) i .r0'
  ${If} $0 == 0
    MessageBox MB_ICONSTOP|MB_OK "Tarnwick は MSI パッケージ（Tarnwick-*-x64.msi）で既にインストールされています。$\r$\n先に「設定」→「アプリ」からアンインストールしてから、このセットアップを実行してください。" /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

; A DLL that Explorer has loaded cannot be replaced or deleted, but it can be renamed: move it
; aside under a fresh name and let Windows delete it at the next restart. Never delete it in
; place first: a delete that only marks the file would keep its name from the new copy.
; Takes the DLL's folder from the stack.
!macro MoveAsideLoadedDll un
Function ${un}MoveAsideLoadedDll
  Exch $1
  Push $0
  Delete "$1\ns*.tmp"
  IfFileExists "$1\Tarnwick.dll" 0 done
  GetTempFileName $0 "$1"
  Delete "$0"
  Rename "$1\Tarnwick.dll" "$0"
  Delete /REBOOTOK "$0"
  done:
  Pop $0
  Pop $1
FunctionEnd
!macroend
!insertmacro MoveAsideLoadedDll ""
!insertmacro MoveAsideLoadedDll "un."

; The 64-bit DLL serves Explorer; the 32-bit one the Open and Save dialogs of 32-bit programs.
; Each is registered by the regsvr32 of its own bitness, which writes its own registry view. This
; installer is a 64-bit process: $SYSDIR is the 64-bit System32, never redirected.
!define REGSVR32_64 '"$SYSDIR\regsvr32.exe"'
!define REGSVR32_32 '"$WINDIR\SysWOW64\regsvr32.exe"'

Section "Tarnwick" SectionMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  ; An upgrade: the old handlers leave the registry before their files are replaced.
  IfFileExists "$INSTDIR\Tarnwick.dll" 0 +2
    ExecWait '${REGSVR32_64} /s /u "$INSTDIR\Tarnwick.dll"'
  IfFileExists "$INSTDIR\x86\Tarnwick.dll" 0 +2
    ExecWait '${REGSVR32_32} /s /u "$INSTDIR\x86\Tarnwick.dll"'
  Push "$INSTDIR"
  Call MoveAsideLoadedDll
  Push "$INSTDIR\x86"
  Call MoveAsideLoadedDll

  File "${BINARIES}\Tarnwick.dll"
  File "${BINARIES}\TarnwickSettings.exe"
  File "${BINARIES}\TarnwickDiag.exe"
  File "${BINARIES}\README.txt"
  File "${BINARIES}\LICENSE.txt"
  File "${BINARIES}\THIRD-PARTY-NOTICES.txt"
  SetOutPath "$INSTDIR\x86"
  File "${BINARIES}\x86\Tarnwick.dll"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ExecWait '${REGSVR32_64} /s "$INSTDIR\Tarnwick.dll"' $0
  ${If} $0 != 0
    MessageBox MB_ICONEXCLAMATION|MB_OK "Tarnwick.dll を登録できませんでした（コード $0）。" /SD IDOK
    SetErrorLevel 2
  ${EndIf}
  ExecWait '${REGSVR32_32} /s "$INSTDIR\x86\Tarnwick.dll"' $0
  ${If} $0 != 0
    MessageBox MB_ICONEXCLAMATION|MB_OK "x86\Tarnwick.dll（32 ビット版）を登録できませんでした（コード $0）。" /SD IDOK
    SetErrorLevel 2
  ${EndIf}

  CreateDirectory "$SMPROGRAMS\Tarnwick"
  CreateShortcut "$SMPROGRAMS\Tarnwick\${SETTINGS_LINK}" "$INSTDIR\TarnwickSettings.exe"
  CreateShortcut "$SMPROGRAMS\Tarnwick\${DIAG_LINK}" "$INSTDIR\TarnwickDiag.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tarnwick"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tarnwick.dll,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Uninstall"
  ExecWait '${REGSVR32_64} /s /u "$INSTDIR\Tarnwick.dll"'
  ExecWait '${REGSVR32_32} /s /u "$INSTDIR\x86\Tarnwick.dll"'
  Push "$INSTDIR"
  Call un.MoveAsideLoadedDll
  Push "$INSTDIR\x86"
  Call un.MoveAsideLoadedDll
  RMDir /REBOOTOK "$INSTDIR\x86"
  Delete "$INSTDIR\TarnwickSettings.exe"
  Delete "$INSTDIR\TarnwickDiag.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\THIRD-PARTY-NOTICES.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"

  Delete "$SMPROGRAMS\Tarnwick\${SETTINGS_LINK}"
  Delete "$SMPROGRAMS\Tarnwick\${DIAG_LINK}"
  RMDir "$SMPROGRAMS\Tarnwick"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ; The user's colour and badge.ico are theirs: removed only when asked (never in silent mode).
  MessageBox MB_ICONQUESTION|MB_YESNO|MB_DEFBUTTON2 \
    "バッジの色の設定と badge.ico も削除しますか？" /SD IDNO IDNO keep
    SetShellVarContext current
    DeleteRegKey HKCU "Software\Tarnwick"
    Delete "$APPDATA\Tarnwick\badge.ico"
    RMDir "$APPDATA\Tarnwick"
    SetShellVarContext all
  keep:

  IfRebootFlag 0 +2
    MessageBox MB_ICONINFORMATION|MB_OK "エクスプローラーが使用中のファイルは、次回の Windows 再起動時に削除されます。" /SD IDOK
SectionEnd
