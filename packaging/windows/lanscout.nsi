; The setup program of Lanscout for Windows, built by makensis on Debian
; (packaging/windows/CMakeLists.txt passes the defines below). It installs both programs
; under Program Files with a Start menu shortcut, registers the uninstaller with
; Add/Remove Programs, and lets the cameras' answers (UDP port 40014) through the Windows
; firewall. `/S` runs it, and the uninstaller, without a window.
;
;   VERSION        the product stamp, 11.0.0104
;   FILE_VERSION   four numbers for the setup program's own version resource
;   LANSCOUT_EXE, LANSCOUT_CLI_EXE, README, ICON   the files to install and the icon
;   OUTFILE        the setup program to write
;
; The uninstaller leaves the management system's hand-over key alone: its values are the
; management system's, whatever program wrote them.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define PRODUCT "Lanscout"
!define PUBLISHER "The Lanscout developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lanscout"
!define FIREWALL_RULE "Lanscout camera answers"
!define ANSWER_PORT 40014
!define SHORTCUT "$SMPROGRAMS\Lanscout.lnk"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${FILE_VERSION}"
VIFileVersion "${FILE_VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "LegalCopyright" "Copyright 2026 ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_NOAUTOCLOSE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var Log ; the open log file, where the firewall's answers are kept

; Runs netsh's firewall command ARGS, shows what it answered in the details and writes it
; to the log: a firewall that refused the rule is seen there, not lost.
!macro Firewall ARGS
  nsExec::ExecToStack 'netsh advfirewall firewall ${ARGS}'
  Pop $0 ; the exit status, or "error" when netsh could not be started
  Pop $1 ; what it printed
  DetailPrint 'netsh advfirewall firewall ${ARGS}: exit $0'
  DetailPrint "$1"
  FileWrite $Log 'netsh advfirewall firewall ${ARGS}$\r$\nexit $0$\r$\n$1$\r$\n'
!macroend

; Each program may receive the answers; the rules share one name, so one delete removes both.
!macro AllowAnswers PROGRAM
  !insertmacro Firewall 'add rule name="${FIREWALL_RULE}" dir=in action=allow protocol=UDP localport=${ANSWER_PORT} program="$INSTDIR\${PROGRAM}" enable=yes profile=any'
!macroend

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Lanscout"
  SetOutPath "$INSTDIR"
  File "/oname=lanscout.exe" "${LANSCOUT_EXE}"
  File "/oname=lanscout-cli.exe" "${LANSCOUT_CLI_EXE}"
  File "/oname=README.txt" "${README}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\lanscout.exe" "" "$INSTDIR\lanscout.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\lanscout.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0 ; in KiB

  ; A setup run again over an earlier one replaces its rules rather than adding twins.
  FileOpen $Log "$INSTDIR\install.log" w
  !insertmacro Firewall 'delete rule name="${FIREWALL_RULE}"'
  !insertmacro AllowAnswers "lanscout.exe"
  !insertmacro AllowAnswers "lanscout-cli.exe"
  FileClose $Log
SectionEnd

Section "Uninstall"
  ; What netsh answered stays beside the other temporary files: the folder it would go
  ; to is removed.
  FileOpen $Log "$TEMP\Lanscout-uninstall.log" w
  !insertmacro Firewall 'delete rule name="${FIREWALL_RULE}"'
  FileClose $Log

  Delete "${SHORTCUT}"
  Delete "$INSTDIR\lanscout.exe"
  Delete "$INSTDIR\lanscout-cli.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\install.log"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR" ; only when empty: files a user put there stay
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
