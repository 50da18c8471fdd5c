; The Windows installer of quorvendalist, built by makensis from the release's staged files
; (cmake/windows-release.cmake passes VERSION, VERSION_QUAD, PUBLISHER, COPYRIGHT, STAGE,
; PATH_ENTRY, ICON and OUTFILE).
;
; Into Program Files for all users, with a Start-menu folder, on request a desktop shortcut and
; the program's folder on PATH (all users or the current user). PATH is edited only by
; path_entry.exe, which reads and writes the value whole: NSIS strings hold 1,023 characters.
; The choices are remembered, so an upgrade, silent or not, keeps them; silent installs take
; them as /PATH=none|machine|user and /DESKTOP=yes|no. Nothing is touched while the program
; runs: a silent run then ends with exit code 4, a visible one asks.
;
; Exit codes besides NSIS's own (1 cancelled, 2 aborted): 3 a bad switch, 4 the program is
; running, 5 PATH could not be edited whole (it was left as it was; the rest is done).

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include nsDialogs.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include x64.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvendalist"
!define SETTINGS_KEY "Software\quorvendalist"
!define PROGRAM "bin\quorvendalist.exe"

Name "quorvendalist ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\quorvendalist"
BrandingText "quorvendalist ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion ${VERSION_QUAD}
VIFileVersion ${VERSION_QUAD}
VIAddVersionKey /LANG=1033 ProductName "quorvendalist"
VIAddVersionKey /LANG=1033 CompanyName "${PUBLISHER}"
VIAddVersionKey /LANG=1033 FileDescription "quorvendalist ${VERSION} installer"
VIAddVersionKey /LANG=1033 FileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 ProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 LegalCopyright "Copyright (C) ${COPYRIGHT}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

Var PathScope   ; none, machine or user
Var DesktopIcon ; yes or no
Var OldDir      ; where an earlier version is installed, or empty
Var Dialog
Var RadioNone
Var RadioMachine
Var RadioUser
Var DesktopBox

!insertmacro MUI_PAGE_DIRECTORY
Page custom OptionsPage OptionsLeave
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE English

; Quits with code 4 when the program in folder $0 runs (its file cannot be opened for writing);
; a visible run asks to close it first.
!macro DefineRunningCheck un
Function ${un}CheckNotRunning
  retry:
  ${IfNot} ${FileExists} "$0\${PROGRAM}"
    Return
  ${EndIf}
  ClearErrors
  FileOpen $1 "$0\${PROGRAM}" a
  ${If} ${Errors}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "quorvendalist is running from $0. Close it, then choose Retry." \
      /SD IDCANCEL IDRETRY retry
    SetErrorLevel 4
    Quit
  ${EndIf}
  FileClose $1
FunctionEnd
!macroend
!insertmacro DefineRunningCheck ""
!insertmacro DefineRunningCheck "un."

; path_entry.exe $0 (add or remove) $1 (machine or user) $2 (folder); its exit code in $3.
!macro DefinePathEdit un
Function ${un}EditPath
  InitPluginsDir
  File "/oname=$PLUGINSDIR\path_entry.exe" "${PATH_ENTRY}"
  ExecWait '"$PLUGINSDIR\path_entry.exe" $0 $1 "$2"' $3
  ${If} $3 == 2
  ${OrIf} $3 == ""
    MessageBox MB_OK|MB_ICONEXCLAMATION \
      "PATH could not be read or written whole, so it was left as it was. Please $0 $2 by hand (Settings > System > About > Advanced system settings > Environment Variables)." \
      /SD IDOK
    SetErrorLevel 5
  ${EndIf}
FunctionEnd
!macroend
!insertmacro DefinePathEdit ""
!insertmacro DefinePathEdit "un."

Function .onInit
  SetRegView 64
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "quorvendalist needs a 64-bit Windows." /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}
  ReadRegStr $PathScope HKLM "${SETTINGS_KEY}" "PathScope"
  ${If} $PathScope == ""
    StrCpy $PathScope none
  ${EndIf}
  ReadRegStr $DesktopIcon HKLM "${SETTINGS_KEY}" "DesktopShortcut"
  ${If} $DesktopIcon == ""
    StrCpy $DesktopIcon no
  ${EndIf}
  ReadRegStr $OldDir HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ; An upgrade goes where the earlier version is, unless /D= names another folder.
  ${If} $OldDir != ""
  ${AndIf} $INSTDIR == "$PROGRAMFILES64\quorvendalist"
    StrCpy $INSTDIR $OldDir
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/PATH=" $R1
  ${IfNot} ${Errors}
    ${If} $R1 == none
    ${OrIf} $R1 == machine
    ${OrIf} $R1 == user
      StrCpy $PathScope $R1
    ${Else}
      MessageBox MB_OK|MB_ICONSTOP "/PATH= takes none, machine or user." /SD IDOK
      SetErrorLevel 3
      Quit
    ${EndIf}
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/DESKTOP=" $R1
  ${IfNot} ${Errors}
    ${If} $R1 == yes
    ${OrIf} $R1 == no
      StrCpy $DesktopIcon $R1
    ${Else}
      MessageBox MB_OK|MB_ICONSTOP "/DESKTOP= takes yes or no." /SD IDOK
      SetErrorLevel 3
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Function OptionsPage
  !insertmacro MUI_HEADER_TEXT "Options" "Where quorvendalist can be started from."
  nsDialogs::Create 1018
  Pop $Dialog
  ${NSD_CreateLabel} 0 0 100% 20u \
    "On PATH, quorvendalist starts from any console by its name. PATH's other entries stay as they are."
  Pop $0
  ${NSD_CreateRadioButton} 0 26u 100% 12u "Do not add quorvendalist to PATH"
  Pop $RadioNone
  ${NSD_CreateRadioButton} 0 40u 100% 12u "Add quorvendalist to PATH for all users"
  Pop $RadioMachine
  ${NSD_CreateRadioButton} 0 54u 100% 12u "Add quorvendalist to PATH for the current user"
  Pop $RadioUser
  ${NSD_CreateCheckBox} 0 76u 100% 12u "Create a quorvendalist icon on the desktop"
  Pop $DesktopBox
  ${If} $PathScope == machine
    ${NSD_Check} $RadioMachine
  ${ElseIf} $PathScope == user
    ${NSD_Check} $RadioUser
  ${Else}
    ${NSD_Check} $RadioNone
  ${EndIf}
  ${If} $DesktopIcon == yes
    ${NSD_Check} $DesktopBox
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function OptionsLeave
  StrCpy $PathScope none
  ${NSD_GetState} $RadioMachine $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $PathScope machine
  ${EndIf}
  ${NSD_GetState} $RadioUser $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $PathScope user
  ${EndIf}
  StrCpy $DesktopIcon no
  ${NSD_GetState} $DesktopBox $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $DesktopIcon yes
  ${EndIf}
FunctionEnd

; The files of an installation in folder $0, and the folder when nothing else is left in it.
!macro DefineRemoveFiles un
Function ${un}RemoveFiles
  Delete "$0\${PROGRAM}"
  Delete "$0\README.txt"
  Delete "$0\copyright.txt"
  Delete "$0\quorvendalist.txt"
  Delete "$0\Uninstall.exe"
  RMDir "$0\bin"
  RMDir "$0"
FunctionEnd
!macroend
!insertmacro DefineRemoveFiles ""
!insertmacro DefineRemoveFiles "un."

Section
  SetShellVarContext all
  StrCpy $0 $INSTDIR
  Call CheckNotRunning
  ${If} $OldDir != ""
  ${AndIf} $OldDir != $INSTDIR
    StrCpy $0 $OldDir
    Call CheckNotRunning
  ${EndIf}

  ; The entry an earlier version added goes when the choice or the folder changes.
  ReadRegStr $R0 HKLM "${SETTINGS_KEY}" "PathAdded"
  ReadRegStr $R1 HKLM "${SETTINGS_KEY}" "PathFolder"
  ${If} $R0 != ""
    ${If} $R0 != $PathScope
    ${OrIf} $R1 != "$INSTDIR\bin"
      StrCpy $0 remove
      StrCpy $1 $R0
      StrCpy $2 $R1
      Call EditPath
      DeleteRegValue HKLM "${SETTINGS_KEY}" "PathAdded"
      DeleteRegValue HKLM "${SETTINGS_KEY}" "PathFolder"
    ${EndIf}
  ${EndIf}
  ${If} $OldDir != ""
  ${AndIf} $OldDir != $INSTDIR
    StrCpy $0 $OldDir
    Call RemoveFiles
  ${EndIf}

  ; The highest folder this installation creates, so that the uninstaller removes it too.
  ReadRegStr $R2 HKLM "${SETTINGS_KEY}" "CreatedFolder"
  ${If} $OldDir != $INSTDIR
  ${OrIf} $R2 == ""
    StrCpy $R2 $INSTDIR
    ${Do}
      ${GetParent} $R2 $R3
      ${If} $R3 == ""
      ${OrIf} ${FileExists} "$R3\*.*"
        ${Break}
      ${EndIf}
      StrCpy $R2 $R3
    ${Loop}
    ${If} ${FileExists} "$INSTDIR\*.*"
      StrCpy $R2 ""
    ${EndIf}
  ${EndIf}

  SetOutPath "$INSTDIR\bin"
  File "${STAGE}\${PROGRAM}"
  SetOutPath "$INSTDIR"
  File "${STAGE}\README.txt"
  File "${STAGE}\copyright.txt"
  File "${STAGE}\quorvendalist.txt"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; A console program started from a shortcut opens a console of its own.
  CreateDirectory "$SMPROGRAMS\quorvendalist"
  CreateShortCut "$SMPROGRAMS\quorvendalist\quorvendalist.lnk" "$INSTDIR\${PROGRAM}" "" \
    "$INSTDIR\${PROGRAM}" 0
  CreateShortCut "$SMPROGRAMS\quorvendalist\Uninstall quorvendalist.lnk" "$INSTDIR\Uninstall.exe"
  ${If} $DesktopIcon == yes
    CreateShortCut "$DESKTOP\quorvendalist.lnk" "$INSTDIR\${PROGRAM}" "" "$INSTDIR\${PROGRAM}" 0
  ${Else}
    Delete "$DESKTOP\quorvendalist.lnk"
  ${EndIf}

  ; PATH last: its failure leaves a working installation.
  ReadRegStr $R0 HKLM "${SETTINGS_KEY}" "PathAdded"
  ${If} $PathScope != none
  ${AndIf} $R0 == ""
    StrCpy $0 add
    StrCpy $1 $PathScope
    StrCpy $2 "$INSTDIR\bin"
    Call EditPath
    ; 3: the folder was there already, put by someone else, whose entry the uninstaller keeps.
    ${If} $3 == 0
      WriteRegStr HKLM "${SETTINGS_KEY}" "PathAdded" $PathScope
      WriteRegStr HKLM "${SETTINGS_KEY}" "PathFolder" "$INSTDIR\bin"
    ${EndIf}
  ${EndIf}
  WriteRegStr HKLM "${SETTINGS_KEY}" "PathScope" $PathScope
  WriteRegStr HKLM "${SETTINGS_KEY}" "DesktopShortcut" $DesktopIcon
  WriteRegStr HKLM "${SETTINGS_KEY}" "CreatedFolder" $R2

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "quorvendalist"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  ; _?= keeps the uninstaller in place, so that its exit code is its outcome (without it, it
  ; hands over to a copy of itself and ends at once with 0).
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" \
    '"$INSTDIR\Uninstall.exe" /S _?=$INSTDIR'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Var Leftovers

; Running in place, the uninstaller cannot delete itself: a hidden command does it once it ends.
Function un.onUninstSuccess
  ${If} ${FileExists} "$INSTDIR\Uninstall.exe"
    SetOutPath $TEMP
    ExecShell "" "$SYSDIR\cmd.exe" \
      '/c ping -n 3 127.0.0.1 >nul & del /f /q "$INSTDIR\Uninstall.exe" & for %d in ($Leftovers) do rmdir %d' \
      SW_HIDE
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
  StrCpy $0 $INSTDIR
  Call un.CheckNotRunning
FunctionEnd

Section Uninstall
  SetShellVarContext all
  ReadRegStr $R0 HKLM "${SETTINGS_KEY}" "PathAdded"
  ReadRegStr $R1 HKLM "${SETTINGS_KEY}" "PathFolder"
  ${If} $R0 != ""
    StrCpy $0 remove
    StrCpy $1 $R0
    StrCpy $2 $R1
    Call un.EditPath
  ${EndIf}
  ReadRegStr $R2 HKLM "${SETTINGS_KEY}" "CreatedFolder"

  Delete "$SMPROGRAMS\quorvendalist\quorvendalist.lnk"
  Delete "$SMPROGRAMS\quorvendalist\Uninstall quorvendalist.lnk"
  RMDir "$SMPROGRAMS\quorvendalist"
  Delete "$DESKTOP\quorvendalist.lnk"
  StrCpy $0 $INSTDIR
  Call un.RemoveFiles
  ; The folders above it that the installer made, while they are empty; an uninstaller that
  ; runs in place leaves them, with itself, to CleanUpAfter.
  StrCpy $Leftovers '"$INSTDIR"'
  ${If} $R2 != ""
    StrCpy $R3 $INSTDIR
    ${DoWhile} $R3 != $R2
      ${GetParent} $R3 $R3
      ${If} $R3 == ""
        ${Break}
      ${EndIf}
      RMDir $R3
      StrCpy $Leftovers '$Leftovers "$R3"'
    ${Loop}
  ${EndIf}

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${SETTINGS_KEY}"
SectionEnd
