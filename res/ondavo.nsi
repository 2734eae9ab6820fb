; The Windows installer, built by `make dist-windows` (cmake/dist-windows.cmake),
; which defines VERSION (the project's), STAGE (the folder of the stripped
; programs) and OUTFILE. For every user: the programs in Program Files, a
; Start-menu shortcut, .DVR recordings opened by the window, and an uninstaller
; that takes away only what was put there.
Unicode true
RequestExecutionLevel admin
ManifestDPIAware true
SetCompressor /SOLID lzma

!ifndef VERSION | STAGE | OUTFILE
  !error "makensis -DVERSION=1.2.3.4 -DSTAGE=DIR -DOUTFILE=FILE ondavo.nsi"
!endif

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Ondavo"
!define PROGID "Ondavo.Recording"
!define EXT_KEY "Software\Classes\.DVR"
!define PROGID_KEY "Software\Classes\${PROGID}"
; Tells the shell that file types changed (SHCNE_ASSOCCHANGED, SHCNF_IDLIST),
; so icons and Open take the new association without a restart.
!define NotifyAssociations "System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

Name "Ondavo"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Ondavo"
; An update goes where the earlier version went.
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
BrandingText "Ondavo ${VERSION}"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "Ondavo"
VIAddVersionKey /LANG=1033 "CompanyName" "Ondavo"
VIAddVersionKey /LANG=1033 "FileDescription" "Ondavo Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Ondavo"

!define MUI_ICON "ondavo.ico"
!define MUI_UNICON "ondavo.ico"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Every Ondavo program holds the mutex OndavoProgramRunning while it runs
; (platform/process_setup.h), and Windows keeps a running program's files in
; use: replacing or removing them then would leave some old files beside new
; ones, or files no uninstaller knows of. So, right before any file is
; touched, the user is asked to close Ondavo and retry; Cancel, and a silent
; run, change nothing and end with status 2.
!macro DefineWaitWhileOndavoRuns UN TEXT
Function ${UN}WaitWhileOndavoRuns
  ${Do}
    ; SYNCHRONIZE access: enough to learn that the mutex exists. The W
    ; function, as this installer's strings are UTF-16.
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "OndavoProgramRunning") i .r0'
    ${If} $0 = 0
      Return
    ${EndIf}
    System::Call 'kernel32::CloseHandle(i r0)'
    ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${TEXT}" /SD IDCANCEL IDRETRY`
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${Loop}
FunctionEnd
!macroend
!insertmacro DefineWaitWhileOndavoRuns "" \
  "Ondavo is running. Close every Ondavo window and program, then press Retry to install it.$\n$\nCancel leaves Ondavo as it is."
!insertmacro DefineWaitWhileOndavoRuns "un." \
  "Ondavo is running. Close every Ondavo window and program, then press Retry to remove it.$\n$\nCancel leaves Ondavo installed."

; Installed for every user, so the shortcut goes into the common Start menu.
Function .onInit
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "Ondavo"
  Call WaitWhileOndavoRuns
  SetOutPath "$INSTDIR"
  File "${STAGE}/ondavo.exe"
  File "${STAGE}/ondavo-cli.exe"
  File "${STAGE}/vek-codec.exe"
  File "${STAGE}/Vek.dll"
  File "${STAGE}/libsndfile-1.dll"
  File "${STAGE}/libmp3lame-0.dll"
  File "${STAGE}/libmpg123-0.dll"
  File "${STAGE}/LICENSE.txt"
  File "${STAGE}/THIRD-PARTY.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortCut "$SMPROGRAMS\Ondavo.lnk" "$INSTDIR\ondavo.exe"

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Ondavo"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "Ondavo"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\ondavo.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ; In KB, for the size Installed apps shows.
  ${GetSize} "$INSTDIR" "/M=* /S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0

  ; .DVR opens in the window. A type another program had is noted, so that
  ; the uninstaller can give it back; an update keeps the first note.
  ReadRegStr $0 HKLM "${EXT_KEY}" ""
  ${If} $0 != ""
  ${AndIf} $0 != "${PROGID}"
    WriteRegStr HKLM "${UNINST_KEY}" "PreviousDVRType" "$0"
  ${EndIf}
  WriteRegStr HKLM "${EXT_KEY}" "" "${PROGID}"
  ; Keeps Ondavo under Open With should another program take .DVR later.
  WriteRegStr HKLM "${EXT_KEY}\OpenWithProgids" "${PROGID}" ""
  WriteRegStr HKLM "${PROGID_KEY}" "" "Coded voice recording"
  WriteRegStr HKLM "${PROGID_KEY}\DefaultIcon" "" "$INSTDIR\ondavo.exe,0"
  WriteRegStr HKLM "${PROGID_KEY}\shell\open\command" "" '"$INSTDIR\ondavo.exe" "%1"'
  ${NotifyAssociations}
SectionEnd

; Only the files and keys the installer made: anything else in the folder
; (a WAV saved there) stays, and so does the folder then.
Section "Uninstall"
  Call un.WaitWhileOndavoRuns
  Delete "$INSTDIR\ondavo.exe"
  Delete "$INSTDIR\ondavo-cli.exe"
  Delete "$INSTDIR\vek-codec.exe"
  Delete "$INSTDIR\Vek.dll"
  Delete "$INSTDIR\libsndfile-1.dll"
  Delete "$INSTDIR\libmp3lame-0.dll"
  Delete "$INSTDIR\libmpg123-0.dll"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\THIRD-PARTY.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\Ondavo.lnk"

  ; .DVR is left alone if another program has taken it since; if it is still
  ; ours, the type it had before comes back, if that is still registered.
  ReadRegStr $0 HKLM "${EXT_KEY}" ""
  ${If} $0 == "${PROGID}"
    ReadRegStr $1 HKLM "${UNINST_KEY}" "PreviousDVRType"
    ${If} $1 != ""
    ${AndIfNot} HKLM ${RegKeyIsEmpty} "Software\Classes\$1"
      WriteRegStr HKLM "${EXT_KEY}" "" "$1"
    ${Else}
      DeleteRegValue HKLM "${EXT_KEY}" ""
    ${EndIf}
  ${EndIf}
  DeleteRegValue HKLM "${EXT_KEY}\OpenWithProgids" "${PROGID}"
  ; Only when nothing else is left in them (no other value or subkey).
  DeleteRegKey /ifempty HKLM "${EXT_KEY}\OpenWithProgids"
  DeleteRegKey /ifempty HKLM "${EXT_KEY}"
  DeleteRegKey HKLM "${PROGID_KEY}"
  DeleteRegKey HKLM "${UNINST_KEY}"
  ${NotifyAssociations}
SectionEnd
