; The setup program of Kestrove: the three programs into Program Files, a
; Start-menu entry, the ".cp3" association as the program's own options
; dialog writes it, the SendTo shortcut, and an uninstaller that removes
; only what is ours.
;
; Built by the "setup" target of the Windows build, which passes
;   -DKESTROVE_EXE=... -DKEYLOFT_EXE=... -DCP3TOOL_EXE=...  the built programs
;   -DOUTFILE=...                                           the setup program
; Run by hand: makensis -INPUTCHARSET UTF8 -D... installer/kestrove.nsi
; "setup.exe /S" installs every component; "uninstall.exe /S" removes them.

Unicode true
; makensis warns that Windows treats a program named setup.exe as an installer
; and applies its compatibility rules to it; this one is an installer, asks
; for Administrator rights anyway, and setup.exe is the name users look for.
!pragma warning disable 9000
; The programs are 64-bit; so is the setup program, which then sees the
; 64-bit Program Files folder and registry as they are.
Target amd64-unicode

!ifndef KESTROVE_EXE | KEYLOFT_EXE | CP3TOOL_EXE
  !error "pass the built programs: -DKESTROVE_EXE=... -DKEYLOFT_EXE=... -DCP3TOOL_EXE=..."
!endif
!ifndef OUTFILE
  !define OUTFILE "setup.exe"
!endif
!ifndef VERSION
  !define VERSION "1.06B"
!endif

!define PRODUCT "ケストローブ"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrove"
!define START_MENU_FOLDER "$SMPROGRAMS\${PRODUCT}"
; The program's options dialog creates and removes the same file: the
; program's base name and ".lnk".
!define SENDTO_LINK "$SENDTO\kestrove.lnk"
!define UNINSTALLER "uninstall.exe"
!define SHCNE_ASSOCCHANGED 0x08000000
!define SHCNF_IDLIST 0

!include "MUI2.nsh"
!include "LogicLib.nsh"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Kestrove"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_SMALLDESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Japanese"

; The association's open command exactly as the program builds it from its
; own path: "<program>" "-F" "%1". The program compares it byte for byte.
!macro OpenCommand out
  StrCpy ${out} '"$INSTDIR\kestrove.exe" "-F" "%1"'
!macroend

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "プログラム" SecPrograms
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "/oname=kestrove.exe" "${KESTROVE_EXE}"
  File "/oname=keyloft.exe" "${KEYLOFT_EXE}"
  File "/oname=cp3tool.exe" "${CP3TOOL_EXE}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kestrove.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "スタートメニュー" SecStartMenu
  SetOutPath "$INSTDIR"   ; the shortcut's working folder
  CreateDirectory "${START_MENU_FOLDER}"
  CreateShortcut "${START_MENU_FOLDER}\${PRODUCT}.lnk" "$INSTDIR\kestrove.exe"
SectionEnd

Section "ファイルの関連付け（.cp3）" SecAssociation
  WriteRegStr HKCR ".cp3" "" "cp3_file"
  !insertmacro OpenCommand $0
  WriteRegStr HKCR "cp3_file\shell\open\command" "" $0
  WriteRegStr HKCR "cp3_file\DefaultIcon" "" "$INSTDIR\kestrove.exe,1"
  ; The options: open by double-click, re-encrypt on save, with the same key.
  WriteRegStr HKCR "cp3_file\original_option1" "" "1"
  WriteRegStr HKCR "cp3_file\original_option2" "" "1"
  WriteRegStr HKCR "cp3_file\original_option3" "" "1"
  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i ${SHCNF_IDLIST}, p 0, p 0)'
SectionEnd

Section "「送る」メニュー" SecSendTo
  ; SendTo is the user's own folder; the shortcut has no arguments, no
  ; working folder and the program's own icon.
  SetShellVarContext current
  CreateShortcut /NoWorkingDir "${SENDTO_LINK}" "$INSTDIR\kestrove.exe" "" "" "" SW_SHOWNORMAL
  SetShellVarContext all
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecPrograms} "${PRODUCT}本体（kestrove.exe）と、キーデバイスを準備するkeyloft.exe、コマンドラインで使うcp3tool.exeをインストールします。"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecStartMenu} "スタートメニューに${PRODUCT}のショートカットを作成します。"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecAssociation} "暗号化したファイル（.cp3）をダブルクリックで開けるようにします。保存したファイルは同じキーで再暗号化されます。"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecSendTo} "エクスプローラの「送る」メニューに${PRODUCT}を追加します。"
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; ---------------------------------------------------------------- uninstall

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

; The association is ours when its open command starts the program of this
; folder (compared without regard to case, as the file system names it), or
; when the open command is gone but the program's option markers are still
; there: only the program writes those markers, and without the command the
; branch opens nothing. An association that starts another program, for
; example a copy on a removable drive whose options dialog took it over, is
; left alone, and so is a ".cp3" that names another file type.
Function un.RemoveAssociation
  ClearErrors
  ReadRegStr $0 HKCR "cp3_file\shell\open\command" ""
  ${If} ${Errors}
    ClearErrors
    EnumRegKey $1 HKCR "cp3_file\shell\open\command" 0
    ${IfNot} ${Errors}
      Return   ; a command key without a command: not what the program writes
    ${EndIf}
    ClearErrors
    EnumRegKey $1 HKCR "cp3_file\original_option1" 0
    ${If} ${Errors}
      ClearErrors
      EnumRegKey $1 HKCR "cp3_file\original_option2" 0
    ${EndIf}
    ${If} ${Errors}
      ClearErrors
      EnumRegKey $1 HKCR "cp3_file\original_option3" 0
    ${EndIf}
    ${If} ${Errors}
      Return   ; no command and no markers: not ours
    ${EndIf}
  ${Else}
    !insertmacro OpenCommand $1
    ${If} $0 != $1
      Return
    ${EndIf}
  ${EndIf}

  DeleteRegKey HKCR "cp3_file"
  ReadRegStr $0 HKCR ".cp3" ""
  ${If} $0 S== "cp3_file"
    ; Only our value; the key itself when nothing else is left in it.
    DeleteRegValue HKCR ".cp3" ""
    DeleteRegKey /ifempty HKCR ".cp3"
  ${EndIf}
  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i ${SHCNF_IDLIST}, p 0, p 0)'
FunctionEnd

Section "Uninstall"
  Delete "$INSTDIR\kestrove.exe"
  Delete "$INSTDIR\keyloft.exe"
  Delete "$INSTDIR\cp3tool.exe"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"   ; only when nothing else is left in it

  Delete "${START_MENU_FOLDER}\${PRODUCT}.lnk"
  RMDir "${START_MENU_FOLDER}"

  SetShellVarContext current
  Delete "${SENDTO_LINK}"
  SetShellVarContext all

  Call un.RemoveAssociation
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
