; The Windows installer: puts Lumerin.scr and Lumerin.chm into the system folder where
; the display control panel lists a 32-bit screen saver and where Help looks for the help
; file, can make Lumerin the current screen saver, and registers an uninstaller that puts
; everything back. cmake/dist.cmake builds it and passes every -D below.

!macro Require name
  !ifndef ${name}
    !error "${name} is not defined: build this with cmake/dist.cmake"
  !endif
!macroend
!insertmacro Require VERSION
!insertmacro Require VERSION_QUAD
!insertmacro Require SCR
!insertmacro Require CHM
!insertmacro Require README
!insertmacro Require ICON
!insertmacro Require OUTFILE

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

; The screen saver's path as the rest of the system sees it: on 64-bit Windows this
; 32-bit installer's $SYSDIR is redirected to SysWOW64, but the desktop settings and the
; list of programs are read by 64-bit processes that would look in the real System32.
Var ScrPath

!macro ResolveScrPath un
  Function ${un}ResolveScrPath
    System::Call "kernel32::GetSystemWow64DirectoryA(t .r0, i ${NSIS_MAX_STRLEN}) i .r1"
    ; 0 on 32-bit Windows; "error" (read as 0) where the call does not exist.
    ${If} $1 > 0
      StrCpy $ScrPath "$0\Lumerin.scr"
    ${Else}
      StrCpy $ScrPath "$SYSDIR\Lumerin.scr"
    ${EndIf}
  FunctionEnd

  ; $0: a desktop SCRNSAVE.EXE value. Sets $1 to 1 when it names this screen saver, in
  ; its long or short form (the display control panel has written both over the years).
  Function ${un}IsOurScreenSaver
    StrCpy $1 0
    ${If} $0 == $ScrPath
    ${OrIf} $0 == "$SYSDIR\Lumerin.scr"
      StrCpy $1 1
    ${ElseIf} $0 != ""
      GetFullPathName /SHORT $2 $0
      GetFullPathName /SHORT $3 "$SYSDIR\Lumerin.scr"
      ${If} $2 != ""
      ${AndIf} $2 == $3
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
  SetOutPath "$SYSDIR"
  File "/oname=Lumerin.scr" "${SCR}"
  File "/oname=Lumerin.chm" "${CHM}"
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
  StrCpy $9 0
  StrCpy $0 "$SYSDIR\Lumerin.scr"
  Call AddFileSize
  StrCpy $0 "$SYSDIR\Lumerin.chm"
  Call AddFileSize
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
  !insertmacro MUI_DESCRIPTION_TEXT ${SecFiles} "Lumerin.scr and its help file Lumerin.chm, in the Windows system folder."
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
  Delete /REBOOTOK "$SYSDIR\Lumerin.scr"
  Delete /REBOOTOK "$SYSDIR\Lumerin.chm"
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
