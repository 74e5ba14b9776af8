; Folvarek installer. Built by CMake (target `installer`), which passes the files to package:
;   makensis -DVERSION=1.0.0 -DSAVEPROMPT=... -DSETTINGSDESK=... -DPDFENC=... -DSTAMPTOOL=...
;            -DSTAMPPDF=... -DPRINTSETUP=... -DJOBRUNNER=... -DMONITORDLL=... -DOUTFILE=... folvarek.nsi
; Silent with /S. The uninstaller keeps the settings tree unless run with /REMOVESETTINGS (silent)
; or told so when it asks.

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

Page directory
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
  SetOutPath "$SYSDIR"
  File "/oname=folvarekmon.dll" "${MONITORDLL}"
  SetOutPath "$INSTDIR"
  WriteRegStr HKLM "${RUN_KEY}" "Folvarek" '"$INSTDIR\jobrunner.exe"'
  nsExec::ExecToLog '"$INSTDIR\printsetup.exe" install'
  Pop $0
  ${If} $0 == 2
    MessageBox MB_OK|MB_ICONINFORMATION "The printer $\"Folvarek$\" was not added: this Windows has no $\"Microsoft Print To PDF$\" driver (Windows 10 or later has it). The rest of Folvarek is installed." /SD IDOK
  ${ElseIf} $0 != 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "The printer $\"Folvarek$\" could not be set up (see the details). The rest of Folvarek is installed." /SD IDOK
  ${EndIf}

  ; A new install secures with AES-256; a key length already stored ("128" too) is the user's choice
  ; and stays.
  ClearErrors
  ReadRegStr $0 HKLM "Software\Folvarek\KeyLength\Opt" ""
  ${If} ${Errors}
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
