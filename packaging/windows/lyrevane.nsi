; The Windows installer of Lyrevane, built on Debian with NSIS by scripts/package-windows.sh:
;   makensis -DVERSION=1.2.0 -DSTAGE=folder -DLISTS=files.nsh -DOUTFILE=setup.exe
;            -DSIZE_KB=n lyrevane.nsi
; STAGE holds what the zip holds (64-bit\, 32-bit\, Programs\, Examples\, read-me.txt);
; LISTS defines the macros InstallListedFiles and RemoveListedFiles for the programs and
; examples, which the script writes from the files there.
;
; The 64-bit plug-in goes into the installation folder ($INSTDIR, which /D= sets): the
; folder of 64-bit VST plug-ins. The 32-bit one, a component that can be left out, goes into
; the folder of 32-bit plug-ins ($Vst32Dir; /VST32= sets it, /NO32 leaves it out). The render
; tools, programs, examples, read-me and uninstaller go into $AppDir. The uninstaller removes
; exactly what was written, and each folder only if the installer made it and it is empty.
Unicode true
!include MUI2.nsh
!include x64.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh

!ifndef VERSION
  !error "VERSION, STAGE, LISTS, OUTFILE and SIZE_KB must be defined"
!endif
!include "${LISTS}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lyrevane"

Name "Lyrevane ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
; Both DLLs carry the same recordings; a dictionary larger than one DLL stores them once.
SetCompressorDictSize 64
ManifestDPIAware true
ShowInstDetails show
BrandingText "Lyrevane ${VERSION}"

Var Vst32Dir
Var AppDir

!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS

!define MUI_DIRECTORYPAGE_TEXT_TOP "The folder your 64-bit hosts scan for VST plug-ins. Lyrevane.dll for 64-bit hosts goes here."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Folder of 64-bit VST plug-ins"
!insertmacro MUI_PAGE_DIRECTORY

!define MUI_PAGE_CUSTOMFUNCTION_PRE Skip32BitFolder
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE Check32BitFolder
!define MUI_DIRECTORYPAGE_VARIABLE $Vst32Dir
!define MUI_DIRECTORYPAGE_TEXT_TOP "The folder your 32-bit hosts scan for VST plug-ins. Lyrevane.dll for 32-bit hosts goes here; it must differ from the 64-bit folder."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Folder of 32-bit VST plug-ins"
!insertmacro MUI_PAGE_DIRECTORY

!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Lyrevane for 64-bit hosts" Sec64
  SectionIn RO
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "CreatedVst64Folder" 1
  ${EndIf}
  SetOutPath "$INSTDIR"
  File "${STAGE}/64-bit/Lyrevane.dll"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Vst64Folder" "$INSTDIR"
SectionEnd

Section "Lyrevane for 32-bit hosts" Sec32
  ; One name in one folder: the 32-bit DLL must not replace the 64-bit one.
  ${If} $Vst32Dir == $INSTDIR
    DetailPrint "The 32-bit folder is the 64-bit one; the 32-bit plug-in is left out."
    Return
  ${EndIf}
  ${IfNot} ${FileExists} "$Vst32Dir\*.*"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "CreatedVst32Folder" 1
  ${EndIf}
  SetOutPath "$Vst32Dir"
  File "${STAGE}/32-bit/Lyrevane.dll"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Vst32Folder" "$Vst32Dir"
SectionEnd

Section "-Tools, programs and the uninstaller"
  SetOutPath "$AppDir\64-bit"
  File "${STAGE}/64-bit/lyrevane-render.exe"
  SetOutPath "$AppDir\32-bit"
  File "${STAGE}/32-bit/lyrevane-render.exe"
  SetOutPath "$AppDir"
  File "${STAGE}/read-me.txt"
  !insertmacro InstallListedFiles
  WriteUninstaller "$AppDir\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Lyrevane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Lyrevane Instruments"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$AppDir"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$AppDir\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$AppDir\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "This installer needs 64-bit Windows. On 32-bit Windows, copy 32-bit\Lyrevane.dll from the Lyrevane zip into your host's VST plug-in folder." /SD IDOK
    Abort
  ${EndIf}
  ; The VST folder convention: HKLM\SOFTWARE\VST, value VSTPluginsPath, in each view.
  SetRegView 32
  ReadRegStr $Vst32Dir HKLM "SOFTWARE\VST" "VSTPluginsPath"
  SetRegView 64
  ${If} $INSTDIR == ""
    ReadRegStr $INSTDIR HKLM "SOFTWARE\VST" "VSTPluginsPath"
  ${EndIf}
  ${If} $INSTDIR == ""
    StrCpy $INSTDIR "$PROGRAMFILES64\VSTPlugins"
  ${EndIf}
  ${If} $Vst32Dir == ""
    StrCpy $Vst32Dir "$PROGRAMFILES32\VSTPlugins"
  ${EndIf}
  StrCpy $AppDir "$PROGRAMFILES64\Lyrevane"

  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/VST32=" $1
  ${IfNot} ${Errors}
    StrCpy $Vst32Dir $1
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/NO32" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${Sec32}
  ${EndIf}
FunctionEnd

Function Skip32BitFolder
  ${IfNot} ${SectionIsSelected} ${Sec32}
    Abort
  ${EndIf}
FunctionEnd

Function Check32BitFolder
  ${If} $Vst32Dir == $INSTDIR
    MessageBox MB_ICONEXCLAMATION "The 32-bit and the 64-bit plug-in are both named Lyrevane.dll: choose another folder for the 32-bit one."
    Abort
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

; $INSTDIR is the uninstaller's own folder, the application folder.
Section "Uninstall"
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "Vst64Folder"
  ReadRegDWORD $1 HKLM "${UNINSTALL_KEY}" "CreatedVst64Folder"
  ${If} $0 != ""
    Delete "$0\Lyrevane.dll"
    ${If} $1 == 1
      RMDir "$0"
    ${EndIf}
  ${EndIf}
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "Vst32Folder"
  ReadRegDWORD $1 HKLM "${UNINSTALL_KEY}" "CreatedVst32Folder"
  ${If} $0 != ""
    Delete "$0\Lyrevane.dll"
    ${If} $1 == 1
      RMDir "$0"
    ${EndIf}
  ${EndIf}

  Delete "$INSTDIR\64-bit\lyrevane-render.exe"
  Delete "$INSTDIR\32-bit\lyrevane-render.exe"
  RMDir "$INSTDIR\64-bit"
  RMDir "$INSTDIR\32-bit"
  Delete "$INSTDIR\read-me.txt"
  !insertmacro RemoveListedFiles
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
