@echo off
rem Tarnwick's Windows test kit: every test program of the kit, 64- and 32-bit, against the release
rem in release\, then the folder-marking timing of both builds; then the machine is put back as it
rem was. Needs 64-bit Windows 10 or 11, an elevated prompt, and nothing else.
rem   run-tests.cmd [RESULTS]
rem RESULTS (default: "results" beside the kit's folder) receives <program>.xml (JUnit) and
rem <program>.log under x64\ and x86\, timing-x64.txt, timing-x86.txt and summary.txt.
rem Exit code: 0 no test failed (skips allowed); 1 a test failed, or the machine could not be put
rem back; 2 the kit is incomplete or RESULTS cannot be made; 3 not elevated, or not x86-64
rem Windows; 4 Tarnwick is installed or registered here, which the tests would undo.
rem Drive letters set by the caller in TARNWICK_TEST_FIXED_DRIVE, TARNWICK_TEST_REMOVABLE_DRIVE and
rem TARNWICK_TEST_NETWORK_DRIVE are used as given; the kit provides the others where it can.
setlocal EnableExtensions EnableDelayedExpansion

rem A 32-bit prompt sees the 32-bit registry and a redirected System32: start over in a 64-bit one.
if defined PROCESSOR_ARCHITEW6432 (
  "%SystemRoot%\Sysnative\cmd.exe" /c ""%~f0" %*"
  exit /b !errorlevel!
)

for %%i in ("%~dp0.") do set "kit=%%~fi"
set "results=%~f1"
if "%~1"=="" for %%i in ("%kit%\..\results") do set "results=%%~fi"
if not exist "%results%\" md "%results%" >nul 2>&1
if not exist "%results%\" (
  echo run-tests: cannot make the results folder "%results%".
  exit /b 2
)
for %%d in (x64 x86) do if exist "%results%\%%d\" rd /s /q "%results%\%%d"
del /q "%results%\summary.txt" "%results%\timing-x64.txt" "%results%\timing-x86.txt" >nul 2>&1
set "summary=%results%\summary.txt"

rem No "for /f" over a command anywhere: Wine's cmd leaves a temporary file behind for each.
ver
ver >>"%summary%"
call :say "Processor architecture: %PROCESSOR_ARCHITECTURE%"
call :say "Kit:     %kit%"
call :say "Results: %results%"
if not "%PROCESSOR_ARCHITECTURE%"=="AMD64" (
  call :say "Tarnwick is for 64-bit Windows on x86-64; this is %PROCESSOR_ARCHITECTURE%."
  exit /b 3
)

rem ---- The kit: every file of the manifest, before anything on the machine changes.
set "manifest=%kit%\kit-manifest.txt"
if not exist "%manifest%" (
  call :say "MISSING kit-manifest.txt: the kit is incomplete. Unpack the whole zip again."
  exit /b 2
)
set /a missing=0
for /f "usebackq eol=# tokens=1,2" %%a in ("%manifest%") do (
  if not exist "%kit%\%%b" (
    call :say "MISSING %%b"
    set /a missing+=1
  )
)
if %missing% gtr 0 (
  call :say "The kit is incomplete: %missing% files missing. Nothing was run. Unpack the whole zip again."
  exit /b 2
)

rem ---- Elevation: registration writes under HKLM, and so does this probe.
reg add "HKLM\SOFTWARE\TarnwickTestKitProbe" /f >nul 2>&1
if errorlevel 1 (
  call :say "NOT ELEVATED: registering the overlay handler and installing need an administrator."
  call :say "Open the Command Prompt with 'Run as administrator' and start run-tests.cmd there."
  exit /b 3
)
reg delete "HKLM\SOFTWARE\TarnwickTestKitProbe" /f >nul 2>&1

rem ---- Tarnwick must not be here already: the tests would leave it unregistered and uninstalled.
set "clsid={493A8F22-3B3F-43E4-BF53-725A89A44434}"
set "class_key=HKLM\SOFTWARE\Classes\CLSID\%clsid%"
set "overlays=HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\ShellIconOverlayIdentifiers"
set "uninstall_key=HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick"
set "installed_dir=%ProgramFiles%\Tarnwick"
set "menu_dir=%ProgramData%\Microsoft\Windows\Start Menu\Programs\Tarnwick"
call :find_tarnwick
if defined present (
  call :say "Tarnwick is installed or registered on this machine:!present!."
  call :say "The tests install, register and remove it themselves. Uninstall it first, or use Windows Sandbox."
  exit /b 4
)

rem ---- Scratch, and what the tests change saved in it.
set "scratch=%TEMP%\tarnwick-kit-%RANDOM%%RANDOM%"
md "%scratch%\saved" "%scratch%\temp" "%scratch%\x64" "%scratch%\x86" "%scratch%\fixed" "%scratch%\network" "%scratch%\timing" >nul 2>&1
if not exist "%scratch%\timing\" (
  call :say "Cannot make the scratch folder %scratch%."
  exit /b 2
)
call :say "Scratch: %scratch%"
call :save_key overlays64 "%overlays%" 64
call :save_key overlays32 "%overlays%" 32
call :save_key settings "HKCU\Software\Tarnwick" 64
call :save_key diag_backup "HKLM\SOFTWARE\TarnwickTest" 64
if exist "%APPDATA%\Tarnwick\" xcopy "%APPDATA%\Tarnwick" "%scratch%\saved\appdata\" /e /i /h /k /q /y >nul
set "had_installed_dir="
if exist "%installed_dir%\" set "had_installed_dir=1"
set "had_menu_dir="
if exist "%menu_dir%\" set "had_menu_dir=1"

rem Test programs find TarnwickSettings.exe and TarnwickDiag.exe beside themselves: the released ones.
copy /y "%kit%\tests\x64\*.exe" "%scratch%\x64\" >nul
copy /y "%kit%\release\TarnwickSettings.exe" "%scratch%\x64\" >nul
copy /y "%kit%\release\TarnwickDiag.exe" "%scratch%\x64\" >nul
copy /y "%kit%\tests\x86\*.exe" "%scratch%\x86\" >nul
set "drive_type=%scratch%\x64\drive-type.exe"

rem ---- Drives: what the caller gave, else what this machine can provide.
set "substed="
set "net_used="
call :prepare_fixed
call :prepare_network
call :prepare_removable

rem ---- The tests. Their temporary folders go into scratch, so a crashed test leaves nothing behind.
set "TEMP=%scratch%\temp"
set "TMP=%scratch%\temp"
for /f "usebackq eol=# tokens=1,2" %%a in ("%manifest%") do (
  if "%%a"=="setup" set "TARNWICK_SETUP=%kit%\%%b"
  if "%%a"=="msi" set "TARNWICK_MSI=%kit%\%%b"
  if "%%a"=="older-msi" set "TARNWICK_OLDER_MSI=%kit%\%%b"
)
set /a passed=0, failed=0, skipped=0, programs=0
call :say ""
call :say "Test programs:"
for /f "usebackq eol=# tokens=1,2" %%a in ("%manifest%") do (
  if "%%a"=="test64" call :run_test x64 "%%b"
  if "%%a"=="test32" call :run_test x86 "%%b"
)

rem ---- Timing: figures only, for a person to read (docs/benchmarks.md).
set "timing_failed="
for /f "usebackq eol=# tokens=1,2" %%a in ("%manifest%") do (
  if "%%a"=="timing64" call :run_timing x64 "%%b"
  if "%%a"=="timing32" call :run_timing x86 "%%b"
)

rem ---- Back as it was.
set "left="
call :put_back

call :say ""
call :say "%programs% test programs run."
if defined timing_failed call :say "A timing program could not run: see timing-*.txt."
if defined left call :say "LEFT BEHIND:!left!"
call :say "%passed% passed, %failed% failed, %skipped% skipped"
if %failed% gtr 0 exit /b 1
if defined timing_failed exit /b 1
if defined left exit /b 1
exit /b 0


rem ==== Subroutines ====
rem Exit codes are tested with "if errorlevel" only: Wine's cmd runs the right side of the
rem conditional operators whatever the left one returned, and md or rd leave ERRORLEVEL alone when
rem they succeed.

rem say "TEXT": shows TEXT and appends it to summary.txt. Set through a quoted assignment and shown
rem by delayed expansion, so paths with & or ) in them are printed, not run.
:say
set "line=%~1"
echo.!line!
>>"%summary%" echo.!line!
exit /b 0

rem find_tarnwick: present names whatever of Tarnwick's registration and installation is here.
:find_tarnwick
set "present="
for %%v in (64 32) do (
  reg query "%class_key%" /reg:%%v >nul 2>&1
  if not errorlevel 1 set "present=!present! class-%%v-bit"
  reg query "%overlays%\  Tarnwick" /reg:%%v >nul 2>&1
  if not errorlevel 1 set "present=!present! overlay-%%v-bit"
)
reg query "%uninstall_key%" /reg:64 >nul 2>&1
if not errorlevel 1 set "present=!present! uninstall-entry"
exit /b 0

rem save_key NAME KEY VIEW: KEY exported to scratch, or a marker that it was absent.
:save_key
reg export "%~2" "%scratch%\saved\%~1.reg" /y /reg:%~3 >nul 2>&1
if errorlevel 1 type nul >"%scratch%\saved\%~1.absent"
exit /b 0

rem restore_key NAME KEY VIEW: KEY as save_key found it, put back whole from its export (Wine's fc
rem cannot tell two files apart, so whether it changed is not asked).
:restore_key
set "saved=%scratch%\saved\%~1"
reg delete "%~2" /f /reg:%~3 >nul 2>&1
if exist "%saved%.absent" exit /b 0
reg import "%saved%.reg" /reg:%~3 >nul 2>&1
if errorlevel 1 set "left=!left! %~2 (its export: %saved%.reg)"
exit /b 0

rem free_letter: sets letter to an unused drive letter (drive-type: no root, no volume), or to nothing.
:free_letter
set "letter="
for %%l in (T S Q P O M L K J W V U) do (
  if not defined letter (
    "%drive_type%" %%l >nul 2>&1
    if errorlevel 11 if not errorlevel 12 set "letter=%%l"
  )
)
exit /b 0

:prepare_fixed
if defined TARNWICK_TEST_FIXED_DRIVE (
  call :say "Second fixed drive: %TARNWICK_TEST_FIXED_DRIVE%: as given"
  exit /b 0
)
call :free_letter
if not defined letter (
  call :say "SKIP second fixed drive: no free drive letter for subst"
  exit /b 0
)
subst %letter%: "%scratch%\fixed" >nul 2>&1
"%drive_type%" %letter% >nul 2>&1
set "type=%errorlevel%"
if "%type%"=="3" (
  set "TARNWICK_TEST_FIXED_DRIVE=%letter%"
  set "substed=%letter%"
  call :say "Second fixed drive: %letter%: = subst of %scratch%\fixed"
) else (
  subst %letter%: /d >nul 2>&1
  call :say "SKIP second fixed drive: subst %letter%: gave no fixed drive (drive-type %type%)"
)
exit /b 0

:prepare_network
if defined TARNWICK_TEST_NETWORK_DRIVE (
  call :say "Network drive: %TARNWICK_TEST_NETWORK_DRIVE%: as given"
  exit /b 0
)
call :free_letter
if not defined letter (
  call :say "SKIP network drive: no free drive letter for net use"
  exit /b 0
)
rem The machine's own administrative share, down to the scratch folder: what the tests make there
rem goes with scratch. No input: a credentials prompt would wait for ever.
set "share=\\localhost\%scratch:~0,1%$%scratch:~2%\network"
net use %letter%: "%share%" /persistent:no <nul >nul 2>&1
"%drive_type%" %letter% >nul 2>&1
set "type=%errorlevel%"
if "%type%"=="4" (
  set "TARNWICK_TEST_NETWORK_DRIVE=%letter%"
  set "net_used=%letter%"
  call :say "Network drive: %letter%: = %share%"
) else (
  net use %letter%: /delete /y <nul >nul 2>&1
  call :say "SKIP network drive: net use %letter%: %share% failed (administrative shares off, Server service stopped, or no network)"
)
exit /b 0

:prepare_removable
if defined TARNWICK_TEST_REMOVABLE_DRIVE (
  call :say "Removable drive: %TARNWICK_TEST_REMOVABLE_DRIVE%: as given"
  exit /b 0
)
rem A removable drive with a readable volume (drive-type 2, not 12) on which a folder can be made.
for %%l in (D E F G H I J K L M N O P Q R S T U V W X Y Z A B) do (
  if not defined TARNWICK_TEST_REMOVABLE_DRIVE (
    "%drive_type%" %%l >nul 2>&1
    if errorlevel 2 if not errorlevel 3 (
      md "%%l:\tarnwick-kit-probe" >nul 2>&1
      if exist "%%l:\tarnwick-kit-probe\" (
        rd "%%l:\tarnwick-kit-probe"
        set "TARNWICK_TEST_REMOVABLE_DRIVE=%%l"
      )
    )
  )
)
if defined TARNWICK_TEST_REMOVABLE_DRIVE (
  call :say "Removable drive: %TARNWICK_TEST_REMOVABLE_DRIVE%: (the tests make and remove a folder on it)"
) else (
  call :say "SKIP removable drive: none with a writable medium on this machine (insert a USB stick to test it)"
)
exit /b 0

rem run_test ARCH PATH: one test program, its counts read from gtest's summary lines:
rem   [  PASSED  ] 12 tests.    [  FAILED  ] 1 test, listed below:    [  SKIPPED ] 2 tests, ...
:run_test
set "arch=%~1"
set "name=%~n2"
if "%arch%"=="x64" (
  set "TARNWICK_DLL=%kit%\release\Tarnwick.dll"
) else (
  set "TARNWICK_DLL=%kit%\release\x86\Tarnwick.dll"
)
if not exist "%results%\%arch%\" md "%results%\%arch%"
set "out=%results%\%arch%\%name%"
"%scratch%\%arch%\%~nx2" --gtest_output=xml:"%out%.xml" >"%out%.log" 2>&1
set "code=%errorlevel%"
set /a p=0, f=0, s=0, programs+=1
set "reported="
rem Wine's cmd substitutes a FOR variable before it parses the block: one flat "if" a line,
rem parentheses among the delimiters (a ")" of "(12 ms)" would end the block), and every token
rem compared inside brackets (a bare "not", from "... is not set", turns the "if" around).
for /f "usebackq tokens=1-3 delims=[]() " %%a in ("%out%.log") do (
  if "[%%a]"=="[PASSED]" set "p=%%b"
  if "[%%a]"=="[PASSED]" set "reported=1"
  if "[%%a %%c]"=="[FAILED test,]" set "f=%%b"
  if "[%%a %%c]"=="[FAILED tests,]" set "f=%%b"
  if "[%%a %%c]"=="[SKIPPED test,]" set "s=%%b"
  if "[%%a %%c]"=="[SKIPPED tests,]" set "s=%%b"
)
set "note="
if not defined reported (
  set /a f+=1
  set "note=, ended with code %code% before its summary"
) else if not "%code%"=="0" if "%f%"=="0" (
  set /a f+=1
  set "note=, ended with code %code%"
)
rem A program that died wrote no report: one failed case stands for it in the XML too.
if not exist "%out%.xml" call :write_crash_report "%out%.xml" "%name%" "%code%"
set /a passed+=p, failed+=f, skipped+=s
call :say "  %arch% %name%: %p% passed, %f% failed, %s% skipped%note%"
rem The cases gtest lists after its summary lines, failed and skipped, by name.
set "list="
for /f "usebackq tokens=1-3 delims=[]() " %%a in ("%out%.log") do (
  if "[!list!]"=="[%%a]" call :say "      %%a %%b"
  if "[%%c]"=="[test,]" set "list=%%a"
  if "[%%c]"=="[tests,]" set "list=%%a"
)
exit /b 0

:write_crash_report
(
  echo ^<?xml version="1.0" encoding="UTF-8"?^>
  echo ^<testsuites tests="1" failures="1" errors="0" name="%~2"^>
  echo   ^<testsuite name="%~2" tests="1" failures="1" errors="0"^>
  echo     ^<testcase name="WholeProgram" classname="%~2"^>
  echo       ^<failure message="%~2 ended with code %~3 before it wrote its report"/^>
  echo     ^</testcase^>
  echo   ^</testsuite^>
  echo ^</testsuites^>
) >"%~1"
exit /b 0

:run_timing
call :say ""
"%scratch%\%~1\%~nx2" "%scratch%\timing" >"%results%\timing-%~1.txt" 2>&1
if errorlevel 1 set "timing_failed=1"
for /f "usebackq delims=" %%l in ("%results%\timing-%~1.txt") do call :say "%%l"
exit /b 0

rem put_back: the machine as it was before the run. Nothing of Tarnwick was here then, so whatever
rem of it is here now was left by a test: removed, and named.
:put_back
call :find_tarnwick
if defined present call :say "Removing what the tests left:!present!"
rem An MSI install is Windows Installer's to take back; for a product not installed msiexec only
rem says so.
if defined present (
  if defined TARNWICK_MSI msiexec /x "%TARNWICK_MSI%" /qn
  if defined TARNWICK_OLDER_MSI msiexec /x "%TARNWICK_OLDER_MSI%" /qn
)
for %%v in (64 32) do reg delete "%class_key%" /f /reg:%%v >nul 2>&1
reg delete "%uninstall_key%" /f /reg:64 >nul 2>&1
call :restore_key overlays64 "%overlays%" 64
call :restore_key overlays32 "%overlays%" 32
call :restore_key settings "HKCU\Software\Tarnwick" 64
call :restore_key diag_backup "HKLM\SOFTWARE\TarnwickTest" 64
if exist "%APPDATA%\Tarnwick\" rd /s /q "%APPDATA%\Tarnwick"
if exist "%scratch%\saved\appdata\" xcopy "%scratch%\saved\appdata" "%APPDATA%\Tarnwick\" /e /i /h /k /q /y >nul
rem An uninstall while a test held the DLL leaves it, renamed, for deletion at the next restart;
rem the test has ended, so it can go now. Windows finds its entry void at the restart.
if not defined had_installed_dir if exist "%installed_dir%\" rd /s /q "%installed_dir%"
if not defined had_menu_dir if exist "%menu_dir%\" rd /s /q "%menu_dir%"
if defined net_used net use %net_used%: /delete /y <nul >nul 2>&1
if defined substed subst %substed%: /d >nul 2>&1
cd /d "%kit%"
set /a tries=0
:remove_scratch
rd /s /q "%scratch%" >nul 2>&1
rem A program that has just ended (an uninstaller's copy of itself) may hold a file a moment longer.
if exist "%scratch%\" if !tries! lss 5 (
  set /a tries+=1
  ping -n 3 127.0.0.1 >nul 2>&1
  goto remove_scratch
)
call :find_tarnwick
set "left=!left!!present!"
if not defined had_installed_dir if exist "%installed_dir%\" set "left=!left! %installed_dir%"
if exist "%scratch%\" set "left=!left! %scratch%"
if defined net_used if exist "%net_used%:\" set "left=!left! net-use-%net_used%:"
if defined substed if exist "%substed%:\" set "left=!left! subst-%substed%:"
exit /b 0
