; The Windows installer, a 64-bit program like Lexorn itself:
;   makensis -DVERSION=1.4.1 -DPROGRAM=path/lexorn.exe -DOUTFILE=LexornSetup-1.4.1.exe lexorn.nsi
Target amd64-unicode
!include "MUI2.nsh"
!include "FileFunc.nsh"

Name "Lexorn"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Lexorn"
InstallDirRegKey HKLM "Software\Korvath\Lexorn" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lexorn"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

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
  File "/oname=lexorn.exe" "${PROGRAM}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Lexorn"
  CreateShortcut "$SMPROGRAMS\Lexorn\Lexorn.lnk" "$INSTDIR\lexorn.exe"
  WriteRegStr HKLM "Software\Korvath\Lexorn" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Lexorn"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Korvath"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\lexorn.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Off unless chosen: starting at log-in is the user's call.
Section /o "Start Lexorn when I log in" SecAutostart
  WriteRegStr HKCU "${RUN_KEY}" "Lexorn" '"$INSTDIR\lexorn.exe"'
SectionEnd

Section "Uninstall"
  SetRegView 64
  ; A running Lexorn would keep its file open.
  nsExec::Exec 'taskkill /IM lexorn.exe /F'
  Delete "$INSTDIR\lexorn.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Lexorn\Lexorn.lnk"
  RMDir "$SMPROGRAMS\Lexorn"
  DeleteRegValue HKCU "${RUN_KEY}" "Lexorn"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Korvath\Lexorn"
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
