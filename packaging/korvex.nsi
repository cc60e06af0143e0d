; The korvex installer, one script for both targets. scripts/dist runs
;   makensis -DVERSION=1.0.0 -DARCH=win64 -DSTAGE=<folder> -DOUTFILE=<file> korvex.nsi
; STAGE holds what the portable archive holds: korvex.exe, tapkey.dll,
; buslook.exe, WNASPI32.DLL, README.txt (Japanese), README-en.txt and
; LICENSE.txt.
;
; Two languages: Japanese on a Windows whose user interface is Japanese,
; English on any other (the first language below is the one for no match).
; Every text of the installer's own is a LangString of both.
;
; Silent mode: setup.exe /S [/STARTUP] [/D=folder], uninstall.exe /S [/REMOVESETTINGS].
; /STARTUP adds the Startup shortcut; a shortcut already there stays.
; /REMOVESETTINGS removes KORVEX.INI too; without it the settings stay.

Unicode true

!ifndef VERSION | ARCH | STAGE | OUTFILE
  !error "VERSION, ARCH, STAGE and OUTFILE must be given with -D"
!endif

!if "${ARCH}" == "win64"
  Target amd64-unicode
  !define BITS "64"
!else if "${ARCH}" == "win32"
  Target x86-unicode
  !define BITS "32"
!else
  !error "ARCH is win32 or win64"
!endif

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh
!include WinMessages.nsh

!define PRODUCT "korvex"
!define PUBLISHER "the korvex authors"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\korvex"
; The tray program's main window (class and title) and its exit command.
!define MAIN_WINDOW "ROTAVA"
!define CMD_EXIT 32791

!if "${BITS}" == "64"
  !define DEFAULT_DIR "$PROGRAMFILES64\korvex"
!else
  !define DEFAULT_DIR "$PROGRAMFILES\korvex"
!endif

Name "${PRODUCT} ${VERSION}"
InstallDir "${DEFAULT_DIR}"
Caption "$(SetupCaption)"
UninstallCaption "$(UninstallCaption)"
OutFile "${OUTFILE}"
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

; The installer's own version resource carries the same number.
VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1041 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1041 "FileDescription" "${PRODUCT} セットアップ (${BITS} ビット版)"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"
VIAddVersionKey /LANG=1041 "CompanyName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup (${BITS}-bit)"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PRODUCT}"

!define MUI_ABORTWARNING
; The program's own tray icon (paths from this script's folder).
!define MUI_ICON "..\resources\icons\media-colourful.ico"
!define MUI_UNICON "..\resources\icons\media-colourful.ico"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\korvex.exe"
!define MUI_FINISHPAGE_RUN_TEXT "$(RunText)"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\$(ReadmeFile)"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "$(ShowReadmeText)"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString SetupCaption ${LANG_ENGLISH} "${PRODUCT} ${VERSION} (${BITS}-bit) Setup"
LangString SetupCaption ${LANG_JAPANESE} "${PRODUCT} ${VERSION} (${BITS} ビット版) セットアップ"
LangString UninstallCaption ${LANG_ENGLISH} "${PRODUCT} ${VERSION} (${BITS}-bit) Uninstall"
LangString UninstallCaption ${LANG_JAPANESE} "${PRODUCT} ${VERSION} (${BITS} ビット版) アンインストール"
LangString DisplayName ${LANG_ENGLISH} "${PRODUCT} ${VERSION} (${BITS}-bit)"
LangString DisplayName ${LANG_JAPANESE} "${PRODUCT} ${VERSION} (${BITS} ビット版)"
LangString RunText ${LANG_ENGLISH} "Start korvex"
LangString RunText ${LANG_JAPANESE} "korvex を起動する"
LangString ReadmeFile ${LANG_ENGLISH} "README-en.txt"
LangString ReadmeFile ${LANG_JAPANESE} "README.txt"
LangString ShowReadmeText ${LANG_ENGLISH} "Show the read-me (README-en.txt)"
LangString ShowReadmeText ${LANG_JAPANESE} "お読みください (README.txt) を表示する"
LangString UninstallLink ${LANG_ENGLISH} "Uninstall korvex"
LangString UninstallLink ${LANG_JAPANESE} "korvex のアンインストール"
LangString ReadmeLink ${LANG_ENGLISH} "Read me"
LangString ReadmeLink ${LANG_JAPANESE} "お読みください"
LangString EndingKorvex ${LANG_ENGLISH} "Ending the running korvex..."
LangString EndingKorvex ${LANG_JAPANESE} "実行中の korvex を終了しています..."
LangString SecMainName ${LANG_ENGLISH} "korvex (required)"
LangString SecMainName ${LANG_JAPANESE} "korvex 本体 (必須)"
LangString SecStartupName ${LANG_ENGLISH} "Start korvex when I log on"
LangString SecStartupName ${LANG_JAPANESE} "ログオン時に korvex を起動する"
LangString SecUnMainName ${LANG_ENGLISH} "korvex"
LangString SecUnMainName ${LANG_JAPANESE} "korvex 本体"
LangString SecUnSettingsName ${LANG_ENGLISH} "Also delete the settings (KORVEX.INI)"
LangString SecUnSettingsName ${LANG_JAPANESE} "設定ファイル (KORVEX.INI) も削除する"

; Ends a running korvex through its own exit command and waits for its process
; to end, so that its files can be replaced or removed. A program that does not
; end within ten seconds is left alone: its files then go at the next restart.
!macro END_KORVEX prefix
Function ${prefix}EndRunningKorvex
  Push $0
  Push $1
  Push $2
  Push $3
  FindWindow $0 "${MAIN_WINDOW}" "${MAIN_WINDOW}"
  ${If} $0 <> 0
    DetailPrint "$(EndingKorvex)"
    StrCpy $2 0
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r2) i'
    ; SYNCHRONIZE: enough to wait on the process.
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r2) p .r3'
    SendMessage $0 ${WM_COMMAND} ${CMD_EXIT} 0 /TIMEOUT=5000
    ${If} $3 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p r3, i 10000) i .r1'
      System::Call 'kernel32::CloseHandle(p r3)'
    ${Else}
      ; No handle: wait for the window to go instead.
      StrCpy $1 0
      ${DoWhile} $1 < 100
        FindWindow $0 "${MAIN_WINDOW}" "${MAIN_WINDOW}"
        ${IfThen} $0 = 0 ${|} ${Break} ${|}
        Sleep 100
        IntOp $1 $1 + 1
      ${Loop}
    ${EndIf}
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro END_KORVEX ""
!insertmacro END_KORVEX "un."

!macro SET_REG_VIEW
  !if "${BITS}" == "64"
    SetRegView 64
  !endif
!macroend

Section "$(SecMainName)" SecMain
  SectionIn RO
  Call EndRunningKorvex
  SetOutPath "$INSTDIR"
  File "${STAGE}\korvex.exe"
  File "${STAGE}\tapkey.dll"
  File "${STAGE}\buslook.exe"
  File "${STAGE}\WNASPI32.DLL"
  File "${STAGE}\README.txt"
  File "${STAGE}\README-en.txt"
  File "${STAGE}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The Start menu entries are for every user of the machine.
  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\korvex"
  CreateShortcut "$SMPROGRAMS\korvex\korvex.lnk" "$INSTDIR\korvex.exe"
  CreateShortcut "$SMPROGRAMS\korvex\$(UninstallLink).lnk" "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\korvex\$(ReadmeLink).lnk" "$INSTDIR\$(ReadmeFile)"
  SetShellVarContext current

  !insertmacro SET_REG_VIEW
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "$(DisplayName)"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\korvex.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; The shortcut goes into the Startup folder of the user who installs; the
; program itself knows nothing of it.
Section /o "$(SecStartupName)" SecStartup
  SetShellVarContext current
  CreateShortcut "$SMSTARTUP\korvex.lnk" "$INSTDIR\korvex.exe"
SectionEnd

; A Startup shortcut the user no longer wants goes.
Section "-startup off"
  ${IfNot} ${SectionIsSelected} ${SecStartup}
    SetShellVarContext current
    Delete "$SMSTARTUP\korvex.lnk"
  ${EndIf}
SectionEnd

Function .onInit
  !insertmacro SET_REG_VIEW
  ; Over an earlier install: its folder, unless /D names another.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $INSTDIR == "${DEFAULT_DIR}"
    StrCpy $INSTDIR $0
  ${EndIf}
  ; Start at logon: kept as it was, or asked for with /STARTUP.
  SetShellVarContext current
  ${If} ${FileExists} "$SMSTARTUP\korvex.lnk"
    !insertmacro SelectSection ${SecStartup}
  ${EndIf}
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/STARTUP" $2
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecStartup}
  ${EndIf}
FunctionEnd

Section "un.$(SecUnMainName)" SecUnMain
  SectionIn RO
  Call un.EndRunningKorvex
  Delete "$INSTDIR\korvex.exe"
  Delete "$INSTDIR\tapkey.dll"
  Delete "$INSTDIR\buslook.exe"
  Delete "$INSTDIR\WNASPI32.DLL"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\README-en.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "$SMPROGRAMS\korvex\korvex.lnk"
  ; The entries of either language: the uninstaller may speak another one
  ; than the installer did.
  Delete "$SMPROGRAMS\korvex\korvex のアンインストール.lnk"
  Delete "$SMPROGRAMS\korvex\お読みください.lnk"
  Delete "$SMPROGRAMS\korvex\Uninstall korvex.lnk"
  Delete "$SMPROGRAMS\korvex\Read me.lnk"
  RMDir "$SMPROGRAMS\korvex"
  SetShellVarContext current
  Delete "$SMSTARTUP\korvex.lnk"

  !insertmacro SET_REG_VIEW
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

; KORVEX.INI stays unless asked for: the program keeps it in the Windows
; folder, or, where a standard user may not write there, in the user's
; VirtualStore copy of it (Windows keeps that copy for the 32-bit build, the
; 64-bit build keeps it itself).
Section /o "un.$(SecUnSettingsName)" SecUnSettings
  Delete "$WINDIR\KORVEX.INI"
  SetShellVarContext current
  Delete "$LOCALAPPDATA\VirtualStore\Windows\KORVEX.INI"
SectionEnd

Function un.onInit
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/REMOVESETTINGS" $2
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecUnSettings}
  ${EndIf}
FunctionEnd
