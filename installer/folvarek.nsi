; Folvarek installer. Built by CMake (target `installer`), which passes the files to package:
;   makensis -DVERSION=1.0.0 -DSAVEPROMPT=... -DSETTINGSDESK=... -DPDFENC=... -DSTAMPTOOL=...
;            -DSTAMPPDF=... -DPRINTSETUP=... -DJOBRUNNER=... -DMONITORDLL=... -DSETTINGS_DEFAULTS=...
;            -DPOLICY_TEMPLATES=... -DOUTFILE=... folvarek.nsi
; Silent with /S. The uninstaller keeps the settings tree unless run with /REMOVESETTINGS (silent)
; or told so when it asks. Exit codes, from printsetup's: 0 done, 1 a step failed, 3 Windows
; protected print mode is on, 4 no "Microsoft Print To PDF", 5 /D= names a folder outside Program
; Files; in 3 and 4 the programs are installed but nothing of the print path. 4 also when Windows is
; older than 10 version 1607 / Server 2016: then nothing is installed. 3010: done, but a
; program in use in a user's session is replaced at the next restart (1, 3 and 4 come first).
; The uninstaller's: 0 done, 3010 done but a file in use goes at the next restart, 1 the print path
; could not be removed, so nothing else was and it can be run again. Like every NSIS uninstaller it
; runs from a copy of itself, so only a run with _?=FOLDER (last, unquoted) waits and returns them;
; that run leaves uninstall.exe in FOLDER.

Unicode true
Target amd64-unicode
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "x64.nsh"
!include "${SETTINGS_DEFAULTS}"

!define PRODUCT "Folvarek"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Folvarek"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Var PrintPath  ; printsetup's exit code
Var Stopped    ; 1 once the spooler was stopped for the monitor's copy

; A program users run in their sessions (jobrunner, saveprompt and the rest) cannot be overwritten
; while it runs: the new one then waits beside it and replaces it at the next restart, which sets
; the reboot flag. A replacement an earlier install left for the restart goes when the program is
; replaced at once, or the restart would bring that older copy back.
!macro Program NAME SOURCE
  SetOverwrite try
  ClearErrors
  File "/oname=$INSTDIR\${NAME}" "${SOURCE}"
  SetOverwrite on
  ${If} ${Errors}
    File "/oname=$INSTDIR\${NAME}.new" "${SOURCE}"
    Rename /REBOOTOK "$INSTDIR\${NAME}.new" "$INSTDIR\${NAME}"
    DetailPrint "$INSTDIR\${NAME} is in use: it is replaced when Windows restarts."
  ${Else}
    Delete "$INSTDIR\${NAME}.new"
  ${EndIf}
!macroend

; A program, and a replacement an install left beside it for the restart; what is in use goes at
; the next restart.
!macro RemoveProgram NAME
  Delete /REBOOTOK "$INSTDIR\${NAME}"
  Delete /REBOOTOK "$INSTDIR\${NAME}.new"
!macroend

; printsetup asked about ARGS before anything is installed: when it refuses, its words are shown (not
; when silent) and the installer ends with CODE.
!macro RefuseUnless ARGS CODE
  nsExec::ExecToStack '"$PLUGINSDIR\printsetup.exe" ${ARGS}'
  Pop $0
  Pop $1
  ${If} $0 != 0
    MessageBox MB_OK|MB_ICONSTOP "$1" /SD IDOK
    SetErrorLevel ${CODE}
    Quit
  ${EndIf}
!macroend

; Whatever was left for the restart is said, and makes the exit code 3010 unless WORSE (the code
; already set, 0 for none) says more.
!macro RestartCode WORSE
  ${If} ${RebootFlag}
    MessageBox MB_OK|MB_ICONINFORMATION "Restart Windows to finish: some Folvarek files are in use and are replaced or removed then." /SD IDOK
    ${If} ${WORSE} == 0
      SetErrorLevel 3010
    ${EndIf}
  ${EndIf}
!macroend

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
ShowInstDetails show
ShowUninstDetails show

; No folder page: the queue runner runs in every user's session, so the programs stay in Program
; Files, which only administrators may change. /D= may name a folder below it.
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetRegView 64
  ${DisableX64FSRedirection}
FunctionEnd

Function un.onInit
  SetRegView 64
  ${DisableX64FSRedirection}
FunctionEnd

Section "Folvarek"
  SetShellVarContext all
  InitPluginsDir
  File "/oname=$PLUGINSDIR\printsetup.exe" "${PRINTSETUP}"
  !insertmacro RefuseUnless windows 4
  !insertmacro RefuseUnless `folder "$INSTDIR"` 5

  ; The queue runners waiting in users' sessions hold jobrunner.exe open: they end, so it is replaced.
  nsExec::ExecToLog '"$PLUGINSDIR\printsetup.exe" end-runners "$INSTDIR"'
  Pop $0
  SetOutPath "$INSTDIR"
  !insertmacro Program saveprompt.exe "${SAVEPROMPT}"
  !insertmacro Program settingsdesk.exe "${SETTINGSDESK}"
  !insertmacro Program pdfenc.exe "${PDFENC}"

  ; The stamp tool and the default stamp live in the system folder; each job copies them into
  ; a folder of the user who printed.
  SetOutPath "$SYSDIR"
  File "/oname=Kestrix.tlb" "${STAMPTOOL}"
  File "/oname=Kestrix.dll" "${STAMPPDF}"

  ; The Group Policy templates, for administrators to copy into a policy store.
  SetOutPath "$INSTDIR\policy\en-US"
  File "/oname=Folvarek.adml" "${POLICY_TEMPLATES}/en-US/Folvarek.adml"
  SetOutPath "$INSTDIR\policy"
  File "/oname=Folvarek.admx" "${POLICY_TEMPLATES}/Folvarek.admx"
  SetOutPath "$INSTDIR"

  ; The print path: the port monitor in the system folder, the queue runner (also at every logon,
  ; for jobs printed while nobody could be asked) and the printer "Folvarek" on its port.
  !insertmacro Program jobrunner.exe "${JOBRUNNER}"
  ; Runs only while this installs (and is run from here: it names the runner beside it).
  File "/oname=printsetup.exe" "${PRINTSETUP}"
  ; The spooler keeps a monitor loaded: over an install, it is stopped for the copy (its queue is
  ; kept) and started again, by printsetup install or, when the copy fails, at once.
  StrCpy $Stopped 0
  ${If} ${FileExists} "$SYSDIR\folvarekmon.dll"
    nsExec::ExecToLog '"$INSTDIR\printsetup.exe" stop-spooler'
    Pop $0
    StrCpy $Stopped 1
  ${EndIf}
  SetOutPath "$SYSDIR"
  SetOverwrite try
  ClearErrors
  File "/oname=folvarekmon.dll" "${MONITORDLL}"
  SetOverwrite on
  SetOutPath "$INSTDIR"
  ${If} ${Errors}
    DetailPrint "The port monitor $SYSDIR\folvarekmon.dll is in use and could not be replaced."
    ${If} $Stopped == 1
      nsExec::ExecToLog '"$INSTDIR\printsetup.exe" start-spooler'
      Pop $0
    ${EndIf}
    StrCpy $PrintPath 1
  ${Else}
    nsExec::ExecToStack '"$INSTDIR\printsetup.exe" install'
    Pop $PrintPath
    Pop $1
    DetailPrint "$1"
  ${EndIf}
  ${If} $PrintPath == 0
    WriteRegStr HKLM "${RUN_KEY}" "Folvarek" '"$INSTDIR\jobrunner.exe"'
  ${ElseIf} $PrintPath == 3
  ${OrIf} $PrintPath == 4
    ; No half print path: no monitor, port or logon entry without the printer.
    Delete "$SYSDIR\folvarekmon.dll"
    DeleteRegValue HKLM "${RUN_KEY}" "Folvarek"
    MessageBox MB_OK|MB_ICONEXCLAMATION "$1$\nThe rest of Folvarek is installed." /SD IDOK
    SetErrorLevel $PrintPath
  ${Else}
    StrCpy $PrintPath 1
    MessageBox MB_OK|MB_ICONEXCLAMATION "The printer $\"Folvarek$\" could not be set up (see the details). The rest of Folvarek is installed." /SD IDOK
    SetErrorLevel 1
  ${EndIf}

  ; A new install, with no settings yet, stores the settings table's defaults (AES-256). Settings
  ; already there (an upgrade, or an install again after an uninstall that kept them) are the
  ; user's: a stored key length, or its absence, which means AES-128, stays.
  ClearErrors
  EnumRegKey $2 HKLM "Software\Folvarek" 0
  ${If} ${Errors}
  ${OrIf} $2 == ""
    !insertmacro NewInstallSettings
  ${EndIf}

  CreateShortCut "$SMPROGRAMS\Folvarek Settings.lnk" "$INSTDIR\settingsdesk.exe" "" "$INSTDIR\settingsdesk.exe" 0

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\settingsdesk.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
  !insertmacro RestartCode $PrintPath
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  ; Printer, port, monitor and event log source go first, while printsetup is still there. Queued
  ; jobs stay with their users. When any of them stays, so does everything else: the uninstaller,
  ; printsetup and the Add/Remove Programs entry can then finish the job at a second run.
  nsExec::ExecToLog '"$INSTDIR\printsetup.exe" uninstall'
  Pop $PrintPath
  ${If} $PrintPath != 0
    ${If} ${FileExists} "$INSTDIR\uninstall.exe"
      MessageBox MB_OK|MB_ICONEXCLAMATION "The printer $\"Folvarek$\", its port, its port monitor or its event log source could not be removed (see the details), so nothing else was. Restart Windows and run the uninstaller again." /SD IDOK
    ${Else}
      MessageBox MB_OK|MB_ICONEXCLAMATION "The printer $\"Folvarek$\", its port, its port monitor or its event log source could not be removed (see the details), so nothing else was. Restart Windows, install Folvarek again, then uninstall it." /SD IDOK
    ${EndIf}
    SetErrorLevel 1
    Return
  ${EndIf}

  ; No job comes any more: the queue runners waiting for one end, so jobrunner.exe goes now.
  nsExec::ExecToLog '"$INSTDIR\printsetup.exe" end-runners "$INSTDIR"'
  Pop $0
  Delete "$SMPROGRAMS\Folvarek Settings.lnk"
  DeleteRegValue HKLM "${RUN_KEY}" "Folvarek"
  ; Files in use (a monitor DLL the spooler still holds, a program running in a user's session) go
  ; at the next restart, and the folder then with them.
  Delete /REBOOTOK "$SYSDIR\folvarekmon.dll"
  Delete /REBOOTOK "$SYSDIR\Kestrix.tlb"
  Delete /REBOOTOK "$SYSDIR\Kestrix.dll"
  Delete /REBOOTOK "$INSTDIR\printsetup.exe"
  ; Run in place (_?=), the uninstaller cannot delete itself: it stays, needing no restart.
  Delete "$INSTDIR\uninstall.exe"
  !insertmacro RemoveProgram jobrunner.exe
  !insertmacro RemoveProgram saveprompt.exe
  !insertmacro RemoveProgram settingsdesk.exe
  !insertmacro RemoveProgram pdfenc.exe
  Delete "$INSTDIR\policy\en-US\Folvarek.adml"
  Delete "$INSTDIR\policy\Folvarek.admx"
  RMDir "$INSTDIR\policy\en-US"
  RMDir "$INSTDIR\policy"
  ; Earlier versions kept the scratch folder here. Only an empty one goes: a job's PDF still
  ; waiting there is the user's.
  RMDir "$INSTDIR\temp"
  ${If} ${RebootFlag}
    RMDir /REBOOTOK "$INSTDIR"
  ${Else}
    RMDir "$INSTDIR"
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVESETTINGS" $R1
  ${IfNot} ${Errors}
    DeleteRegKey HKLM "Software\Folvarek"
  ${Else}
    MessageBox MB_YESNO|MB_ICONQUESTION "Also remove the Folvarek settings (default folder and options)?" /SD IDNO IDNO keep
      DeleteRegKey HKLM "Software\Folvarek"
    keep:
  ${EndIf}
  !insertmacro RestartCode 0
SectionEnd
