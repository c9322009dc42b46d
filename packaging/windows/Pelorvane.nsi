; The Windows installer: puts the VST3 bundle into the 64-bit Common Files VST3 folder for every
; user of the machine and registers an uninstaller under Add/Remove Programs.
;
; Built by the Windows build (cmake/PelorvaneInstaller.cmake), which defines on makensis's
; command line:
;   PRODUCT VENDOR VERSION URL COPYRIGHT   the product, its maker, its version (major.minor.patch),
;                                          the maker's web address, the copyright notice; all
;                                          read from juce_add_plugin in CMakeLists.txt
;   INSTALL_FILES UNINSTALL_FILES          the bundle's File commands and their undoing, written
;                                          by cmake/write-nsis-file-lists.sh
;   PRESET_INSTALL_FILES                   the same for the factory presets, which go to the VST3
;   PRESET_UNINSTALL_FILES                 presets folder of all users (optional: an installer
;                                          without them installs the bundle alone)
;   OUTFILE                                the installer to write
;
; Installing over any installed version first runs that version's own uninstaller, so that one
; copy is ever installed. The uninstaller removes the bundle's and the presets' files, their folders
; where they are left empty, itself and its registry key; nothing else (the crash logs under
; %APPDATA% stay).

!macro PelorvaneRequire define
  !ifndef ${define}
    !error "${define} is not defined: the Windows build passes it (cmake/PelorvaneInstaller.cmake)"
  !endif
!macroend
!insertmacro PelorvaneRequire PRODUCT
!insertmacro PelorvaneRequire VENDOR
!insertmacro PelorvaneRequire VERSION
!insertmacro PelorvaneRequire URL
!insertmacro PelorvaneRequire COPYRIGHT
!insertmacro PelorvaneRequire INSTALL_FILES
!insertmacro PelorvaneRequire UNINSTALL_FILES
!insertmacro PelorvaneRequire OUTFILE

!searchparse /noerrors "${VERSION}" "" VERSION_MAJOR "." VERSION_MINOR "." VERSION_PATCH
!ifndef VERSION_PATCH
  !error "VERSION must be major.minor.patch, not ${VERSION}"
!endif

Unicode true
; A 64-bit stub: the module is for 64-bit hosts only, and Wine without its 32-bit part starts
; 64-bit programs alone.
Target amd64-unicode
SetCompressor /SOLID /FINAL lzma
; No build times inside the installer; installed files get the time they were installed.
SetDateSave off
RequestExecutionLevel admin
ManifestSupportedOS all
ManifestDPIAware true

!include LogicLib.nsh
!include FileFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${VENDOR} ${PRODUCT}"
!define UNINSTALLER "Uninstall ${PRODUCT}.exe"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; The bundle goes to the VST3 folder, where every host looks; this folder holds the uninstaller.
InstallDir "$PROGRAMFILES64\${VENDOR}\${PRODUCT}"
BrandingText "${VENDOR}"
ShowInstDetails show
ShowUninstDetails show
InstallColors /windows
XPStyle on

; The same product and version as the module's own version record (source/windows/Pelorvane.rc.in).
VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "${VENDOR}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COPYRIGHT}"

Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; $APPDATA is then every user's application data folder, %PROGRAMDATA%.
Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "${PRODUCT} VST3" SectionBundle
  ; Whatever version is installed goes first, by its own uninstaller: run in place (_?=) and so
  ; waited for, and then removed, since in place it cannot remove itself.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\${UNINSTALLER}"
    DetailPrint "Removing the installed version"
    ExecWait '"$0\${UNINSTALLER}" /S _?=$0'
    Delete "$0\${UNINSTALLER}"
    RMDir "$0"
  ${EndIf}

  !include "${INSTALL_FILES}"
  !ifdef PRESET_INSTALL_FILES
    !include "${PRESET_INSTALL_FILES}"
  !endif

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  SectionGetSize ${SectionBundle} $1
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "VersionMajor" ${VERSION_MAJOR}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "VersionMinor" ${VERSION_MINOR}
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${VENDOR}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "${URL}"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${UNINSTALLER},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  !include "${UNINSTALL_FILES}"
  !ifdef PRESET_UNINSTALL_FILES
    !include "${PRESET_UNINSTALL_FILES}"
    ; The maker's presets folder and the presets folder itself, where nothing else is left in them.
    RMDir "$APPDATA\VST3 Presets\${VENDOR}"
    RMDir "$APPDATA\VST3 Presets"
  !endif

  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  ; The maker's folder, where the default place put it and nothing else is left in it.
  RMDir "$PROGRAMFILES64\${VENDOR}"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
