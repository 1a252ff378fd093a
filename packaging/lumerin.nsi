; The Windows installer: puts Lumerin.scr and Lumerin.chm into the system folder where
; the display control panel lists screen savers and where Help looks for the help file
; (on 64-bit Windows the 64-bit edition into the real System32, elsewhere the 32-bit one),
; can make Lumerin the current screen saver, and registers an uninstaller that puts
; everything back. cmake/make-packages.cmake builds it and passes every -D below; with
; SIGN (scripts/sign-file) the uninstaller and the installer are signed as they are made.

!macro Require name
  !ifndef ${name}
    !error "${name} is not defined: build this with cmake/dist.cmake"
  !endif
!macroend
!insertmacro Require VERSION
!insertmacro Require VERSION_QUAD
!insertmacro Require SCR32
!insertmacro Require SCR64
!insertmacro Require CHM
!insertmacro Require README
!insertmacro Require ICON
!insertmacro Require OUTFILE

!ifdef SIGN
  !uninstfinalize '"${SIGN}" "%1" Uninstall.exe' = 0
  !finalize '"${SIGN}" "%1"' = 0
!endif

; Single-byte text, like the screen saver itself.
Unicode false
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define PRODUCT "Lumerin"
!define PUBLISHER "Veltrona"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumerin"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SETTINGS_KEY "Software\Veltrona\Lumerin"
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_SENDCHANGE 2

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; The uninstaller and the read-me live here; the screen saver itself goes to $SYSDIR.
; A 32-bit program, this installer keeps its own files and its entry in the list of
; programs where earlier versions did (Program Files (x86) and the registry's 32-bit
; view on 64-bit Windows), so that an upgrade replaces them instead of adding a second.
InstallDir "$PROGRAMFILES\${PRODUCT}"
ShowInstDetails show
BrandingText "${PRODUCT} ${VERSION}"
ShowUninstDetails show

VIProductVersion "${VERSION_QUAD}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include x64.nsh

!define MUI_ABORTWARNING
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\ReadMe.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The screen saver's path as the rest of the system sees it. On 64-bit Windows this
; 32-bit installer's $SYSDIR names System32 too, but its own file operations there are
; redirected to SysWOW64 unless it turns that off (InSystemFolder below): the 64-bit
; processes that read the desktop settings and the list of programs find the 64-bit
; edition at that path. OldScrPath: where earlier versions put the 32-bit edition on
; 64-bit Windows (SysWOW64), empty elsewhere.
Var ScrPath
Var OldScrPath

; File operations between these two reach the real system folder.
!macro InSystemFolder
  ${If} ${RunningX64}
    ${DisableX64FSRedirection}
  ${EndIf}
!macroend
!macro OutOfSystemFolder
  ${If} ${RunningX64}
    ${EnableX64FSRedirection}
  ${EndIf}
!macroend

!macro ResolveScrPath un
  Function ${un}ResolveScrPath
    StrCpy $ScrPath "$SYSDIR\Lumerin.scr"
    StrCpy $OldScrPath ""
    ${If} ${RunningX64}
      System::Call "kernel32::GetSystemWow64DirectoryA(t .r0, i ${NSIS_MAX_STRLEN}) i .r1"
      ${If} $1 > 0
        StrCpy $OldScrPath "$0\Lumerin.scr"
      ${EndIf}
    ${EndIf}
  FunctionEnd

  ; $0: a desktop SCRNSAVE.EXE value. Sets $1 to 1 when it names this screen saver or an
  ; earlier version's 32-bit copy, in the long or short form (the display control panel
  ; has written both over the years).
  Function ${un}IsOurScreenSaver
    StrCpy $1 0
    ${If} $0 == ""
      Return
    ${EndIf}
    ${If} $0 == $ScrPath
    ${OrIf} $0 == $OldScrPath
      StrCpy $1 1
      Return
    ${EndIf}
    !insertmacro InSystemFolder
    GetFullPathName /SHORT $2 $0
    GetFullPathName /SHORT $3 $ScrPath
    StrCpy $4 ""
    ${If} $OldScrPath != ""
      GetFullPathName /SHORT $4 $OldScrPath
    ${EndIf}
    !insertmacro OutOfSystemFolder
    ${If} $2 != ""
      ${If} $2 == $3
      ${OrIf} $2 == $4
        StrCpy $1 1
      ${EndIf}
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro ResolveScrPath ""
!insertmacro ResolveScrPath "un."

; Size in bytes of file $0, added to $9 (0 when it is missing).
Function AddFileSize
  ClearErrors
  FileOpen $1 $0 r
  ${IfNot} ${Errors}
    FileSeek $1 0 END $2
    FileClose $1
    IntOp $9 $9 + $2
  ${EndIf}
FunctionEnd

Section "Lumerin" SecFiles
  SectionIn RO
  ; Lumerin selected in any form, an earlier version's copy included, is then selected by
  ; the path of the file installed now (asked before that copy goes).
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  Call IsOurScreenSaver
  ${If} $1 == 1
  ${AndIf} $0 != $ScrPath
    WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $ScrPath
  ${EndIf}

  StrCpy $9 0
  !insertmacro InSystemFolder
  SetOutPath "$SYSDIR"
  ${If} ${RunningX64}
    File "/oname=Lumerin.scr" "${SCR64}"
  ${Else}
    File "/oname=Lumerin.scr" "${SCR32}"
  ${EndIf}
  File "/oname=Lumerin.chm" "${CHM}"
  StrCpy $0 "$SYSDIR\Lumerin.scr"
  Call AddFileSize
  StrCpy $0 "$SYSDIR\Lumerin.chm"
  Call AddFileSize
  !insertmacro OutOfSystemFolder
  ; The 32-bit edition that an earlier version put into SysWOW64 (in use, it goes at the
  ; next restart).
  ${If} $OldScrPath != ""
    Delete /REBOOTOK $OldScrPath
    ${GetParent} $OldScrPath $0
    Delete /REBOOTOK "$0\Lumerin.chm"
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "/oname=ReadMe.txt" "${README}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} screen saver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$ScrPath,0"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  StrCpy $0 "$INSTDIR\ReadMe.txt"
  Call AddFileSize
  StrCpy $0 "$INSTDIR\Uninstall.exe"
  Call AddFileSize
  IntOp $9 $9 + 1023
  IntOp $9 $9 / 1024
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $9
SectionEnd

; The previous choice is kept in the uninstall key so that the uninstaller can bring it
; back, a missing value as a missing value. Installing again while Lumerin is still
; selected keeps the first record.
!macro RecordDesktopValue name record
  ClearErrors
  ReadRegStr $2 HKCU "${DESKTOP_KEY}" "${name}"
  ${If} ${Errors}
    DeleteRegValue HKLM "${UNINSTALL_KEY}" "${record}"
  ${Else}
    WriteRegStr HKLM "${UNINSTALL_KEY}" "${record}" $2
  ${EndIf}
!macroend

Section "Use as screen saver" SecActivate
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  Call IsOurScreenSaver
  ${If} $1 == 0
    !insertmacro RecordDesktopValue "SCRNSAVE.EXE" "PreviousScreenSaver"
    !insertmacro RecordDesktopValue "ScreenSaveActive" "PreviousScreenSaveActive"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "ReplacedScreenSaver" 1
  ${EndIf}
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $ScrPath
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  ; The registry already holds the setting; this tells the running session.
  System::Call "user32::SystemParametersInfoA(i ${SPI_SETSCREENSAVEACTIVE}, i 1, i 0, i ${SPIF_SENDCHANGE})"
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecFiles} "Lumerin.scr (the edition for this Windows, 32- or 64-bit) and its help file Lumerin.chm, in the Windows system folder."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecActivate} "Make Lumerin the current screen saver. Uninstalling brings back the one you have now."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
  Call ResolveScrPath
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/NOACTIVE" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecActivate}
  ${EndIf}
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_ICONSTOP "Installing Lumerin needs an administrator account." /SD IDOK
    SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}
FunctionEnd

; The uninstaller ------------------------------------------------------------------

!macro RestoreDesktopValue name record
  ClearErrors
  ReadRegStr $2 HKLM "${UNINSTALL_KEY}" "${record}"
  ${If} ${Errors}
    DeleteRegValue HKCU "${DESKTOP_KEY}" "${name}"
  ${Else}
    WriteRegStr HKCU "${DESKTOP_KEY}" "${name}" $2
  ${EndIf}
!macroend

; Puts the previous screen saver back, but only while Lumerin is still the chosen one:
; a choice the user made after installing stays. Lumerin chosen by hand after an install
; that left the choice alone is simply unselected, since its file goes away.
Function un.RestoreScreenSaver
  ClearErrors
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} ${Errors}
    Return
  ${EndIf}
  Call un.IsOurScreenSaver
  ${If} $1 == 0
    Return
  ${EndIf}
  ClearErrors
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "ReplacedScreenSaver"
  ${If} $0 <> 1
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    Return
  ${EndIf}
  !insertmacro RestoreDesktopValue "SCRNSAVE.EXE" "PreviousScreenSaver"
  !insertmacro RestoreDesktopValue "ScreenSaveActive" "PreviousScreenSaveActive"
  ; The registry now holds the setting; this tells the running session.
  ReadRegStr $2 HKCU "${DESKTOP_KEY}" "ScreenSaveActive"
  ${If} $2 == "1"
    StrCpy $1 1
  ${Else}
    StrCpy $1 0
  ${EndIf}
  System::Call "user32::SystemParametersInfoA(i ${SPI_SETSCREENSAVEACTIVE}, i r1, i 0, i ${SPIF_SENDCHANGE})"
FunctionEnd

Section "un.Lumerin" SecUnFiles
  SectionIn RO
  Call un.RestoreScreenSaver
  ; A running screen saver keeps its file open: then it goes at the next restart.
  !insertmacro InSystemFolder
  Delete /REBOOTOK "$SYSDIR\Lumerin.scr"
  Delete /REBOOTOK "$SYSDIR\Lumerin.chm"
  !insertmacro OutOfSystemFolder
  Delete "$INSTDIR\ReadMe.txt"
SectionEnd

Section /o "un.My settings" SecUnSettings
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\${PUBLISHER}"
SectionEnd

; Last, so that the folder's disappearance tells a waiting caller that all is done.
Section "-un.Unregister"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecUnFiles} "Lumerin.scr, Lumerin.chm and this uninstaller. If Lumerin is your screen saver, the one you had before comes back."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecUnSettings} "The settings chosen in Lumerin's Settings dialog. Left alone unless ticked, for a later install."
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END

Function un.onInit
  Call un.ResolveScrPath
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecUnSettings}
  ${EndIf}
FunctionEnd
