; The Windows installer, a 64-bit program like Lexorn itself, per user: no elevation, so that
; what it writes goes to the user who runs it.
;   makensis -DVERSION=1.4.1 -DPROGRAM=path/lexorn.exe -DOUTFILE=LexornSetup-1.4.1.exe lexorn.nsi
Target amd64-unicode
!include "MUI2.nsh"
!include "FileFunc.nsh"

Name "Lexorn"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Lexorn"
RequestExecutionLevel user
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lexorn"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

; Ends this user's Lexorn of this session, and waits for it: a running lexorn.exe cannot be
; replaced. It is asked through its pipe, as a later start asks it to show its window, so that it
; ends as Exit ends it and takes its tray icon along; other users' Lexorns go on. The names are
; those Lexorn gives its pipe and its mutex.
!macro CLOSE_LEXORN un
Function ${un}CloseLexorn
  System::Call 'advapi32::GetUserNameW(w .r0, *i ${NSIS_MAX_STRLEN})'
  System::Call 'kernel32::GetCurrentProcessId() i .r1'
  System::Call 'kernel32::ProcessIdToSessionId(i r1, *i .r2)'
  StrCpy $3 "Lexorn-$0-$2"
  System::Call 'kernel32::CreateFileW(w "\\.\pipe\$3", i 0x40000000, i 0, p 0, i 3, i 0, p 0) p .r4'
  IntPtrCmp $4 -1 gone
  System::Call 'kernel32::WriteFile(p r4, m "exit", i 4, *i .r5, p 0)'
  System::Call 'kernel32::CloseHandle(p r4)'
  StrCpy $5 0
  running:
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Local\$3") p .r4'
    IntPtrCmp $4 0 gone
    System::Call 'kernel32::CloseHandle(p r4)'
    IntOp $5 $5 + 1
    IntCmp $5 100 gone
    Sleep 100
    Goto running
  gone:
  ; The program's file is free a moment after the process has gone.
  StrCpy $5 0
  busy:
    Delete "$INSTDIR\lexorn.exe"
    IfFileExists "$INSTDIR\lexorn.exe" 0 free
    IntOp $5 $5 + 1
    IntCmp $5 50 free
    Sleep 100
    Goto busy
  free:
FunctionEnd
!macroend
!insertmacro CLOSE_LEXORN ""
!insertmacro CLOSE_LEXORN "un."

!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Lexorn" SecProgram
  SectionIn RO
  SetRegView 64
  SetOutPath "$INSTDIR"
  Call CloseLexorn
  File "/oname=lexorn.exe" "${PROGRAM}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Lexorn"
  CreateShortcut "$SMPROGRAMS\Lexorn\Lexorn.lnk" "$INSTDIR\lexorn.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Lexorn"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Korvath"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\lexorn.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Off unless chosen: starting at log-in is the user's call.
Section /o "Start Lexorn when I log in" SecAutostart
  WriteRegStr HKCU "${RUN_KEY}" "Lexorn" '"$INSTDIR\lexorn.exe"'
SectionEnd

Section "Uninstall"
  SetRegView 64
  Call un.CloseLexorn
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Lexorn\Lexorn.lnk"
  RMDir "$SMPROGRAMS\Lexorn"
  DeleteRegValue HKCU "${RUN_KEY}" "Lexorn"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; The settings hold the user's name and password: the user decides; a silent uninstall keeps
  ; them unless /REMOVESETTINGS is given.
  ${GetParameters} $0
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  IfErrors 0 remove
  IfSilent keep
  MessageBox MB_YESNO|MB_ICONQUESTION "Remove your Lexorn settings (user name and password) too?" IDNO keep
remove:
  DeleteRegKey HKCU "Software\Korvath\Lexorn"
  DeleteRegKey /ifempty HKCU "Software\Korvath"
keep:
SectionEnd
