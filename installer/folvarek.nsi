; Folvarek installer. Built by CMake (target `installer`), which passes the files to package:
;   makensis -DVERSION=1.0.0 -DSAVEPROMPT=... -DSETTINGSDESK=... -DPDFENC=... -DSTAMPTOOL=...
;            -DSTAMPPDF=... -DPRINTSETUP=... -DJOBRUNNER=... -DMONITORDLL=... -DOUTFILE=... folvarek.nsi
; Silent with /S. The uninstaller keeps the settings tree unless run with /REMOVESETTINGS (silent)
; or told so when it asks. Exit codes, from printsetup's: 0 done, 1 a step failed, 3 Windows
; protected print mode is on, 4 no "Microsoft Print To PDF", 5 /D= names a folder outside Program
; Files; in 3 and 4 the programs are installed but nothing of the print path.

Unicode true
Target amd64-unicode
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "x64.nsh"

!define PRODUCT "Folvarek"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Folvarek"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

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
  nsExec::ExecToStack '"$PLUGINSDIR\printsetup.exe" folder "$INSTDIR"'
  Pop $0
  Pop $1
  ${If} $0 != 0
    MessageBox MB_OK|MB_ICONSTOP "$1" /SD IDOK
    SetErrorLevel 5
    Quit
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "/oname=saveprompt.exe" "${SAVEPROMPT}"
  File "/oname=settingsdesk.exe" "${SETTINGSDESK}"
  File "/oname=pdfenc.exe" "${PDFENC}"

  ; The stamp tool and the default stamp live in the system folder; each job copies them into
  ; a folder of the user who printed.
  SetOutPath "$SYSDIR"
  File "/oname=Kestrix.tlb" "${STAMPTOOL}"
  File "/oname=Kestrix.dll" "${STAMPPDF}"
  SetOutPath "$INSTDIR"

  ; The print path: the port monitor in the system folder, the queue runner (also at every logon,
  ; for jobs printed while nobody could be asked) and the printer "Folvarek" on its port.
  File "/oname=jobrunner.exe" "${JOBRUNNER}"
  File "/oname=printsetup.exe" "${PRINTSETUP}"
  ; The spooler keeps a monitor loaded: over an install, it is stopped for the copy (its queue is
  ; kept) and printsetup starts it again.
  ${If} ${FileExists} "$SYSDIR\folvarekmon.dll"
    nsExec::ExecToLog '"$INSTDIR\printsetup.exe" stop-spooler'
    Pop $0
  ${EndIf}
  SetOutPath "$SYSDIR"
  SetOverwrite try
  ClearErrors
  File "/oname=folvarekmon.dll" "${MONITORDLL}"
  SetOverwrite on
  SetOutPath "$INSTDIR"
  ${If} ${Errors}
    DetailPrint "The port monitor $SYSDIR\folvarekmon.dll is in use and could not be replaced."
    StrCpy $0 1
  ${Else}
    nsExec::ExecToStack '"$INSTDIR\printsetup.exe" install'
    Pop $0
    Pop $1
    DetailPrint "$1"
  ${EndIf}
  ${If} $0 == 0
    WriteRegStr HKLM "${RUN_KEY}" "Folvarek" '"$INSTDIR\jobrunner.exe"'
  ${ElseIf} $0 == 3
  ${OrIf} $0 == 4
    ; No half print path: no monitor, port or logon entry without the printer.
    Delete "$SYSDIR\folvarekmon.dll"
    DeleteRegValue HKLM "${RUN_KEY}" "Folvarek"
    MessageBox MB_OK|MB_ICONEXCLAMATION "$1$\nThe rest of Folvarek is installed." /SD IDOK
    SetErrorLevel $0
  ${Else}
    MessageBox MB_OK|MB_ICONEXCLAMATION "The printer $\"Folvarek$\" could not be set up (see the details). The rest of Folvarek is installed." /SD IDOK
    SetErrorLevel 1
  ${EndIf}

  ; A new install, with no settings yet, secures with AES-256. Settings already there (an upgrade, or
  ; an install again after an uninstall that kept them) are the user's: a stored key length, or its
  ; absence, which means AES-128, stays.
  ClearErrors
  EnumRegKey $2 HKLM "Software\Folvarek" 0
  ${If} ${Errors}
  ${OrIf} $2 == ""
    WriteRegStr HKLM "Software\Folvarek\KeyLength\Opt" "" "256"
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
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Folvarek Settings.lnk"
  ; Printer, port and monitor go first, while printsetup is still there. Queued jobs stay with
  ; their users; a monitor DLL the spooler still holds goes at the next restart.
  nsExec::ExecToLog '"$INSTDIR\printsetup.exe" uninstall'
  Pop $0
  ${If} $0 != 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "The printer $\"Folvarek$\", its port or its port monitor could not be removed (see the details). Restart Windows and run the uninstaller again." /SD IDOK
    SetErrorLevel 1
  ${EndIf}
  DeleteRegValue HKLM "${RUN_KEY}" "Folvarek"
  Delete /REBOOTOK "$SYSDIR\folvarekmon.dll"
  Delete "$INSTDIR\printsetup.exe"
  Delete "$INSTDIR\jobrunner.exe"
  Delete "$INSTDIR\saveprompt.exe"
  Delete "$INSTDIR\settingsdesk.exe"
  Delete "$INSTDIR\pdfenc.exe"
  Delete "$INSTDIR\uninstall.exe"
  ; Earlier versions kept the scratch folder here. Only an empty one goes: a job's PDF still
  ; waiting there is the user's.
  RMDir "$INSTDIR\temp"
  RMDir "$INSTDIR"
  Delete "$SYSDIR\Kestrix.tlb"
  Delete "$SYSDIR\Kestrix.dll"
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
SectionEnd
