; The installer of Reporte varelmo for Windows x64, made by scripts/windows with makensis:
;   makensis -DVERSION=x.y.z -DCARPETA=<portable folder> -DICONO=<.ico> -DTAMANO_KB=<size>
;            -DSALIDA=<setup.exe> varelmo.nsi
; Per machine, into Program Files, with the package's layout (bin\ and share\varelmo\): the
; program, seeing its description file in share\varelmo, keeps each user's settings in
; %APPDATA%\Varelmo and the workbooks in the user's Documents. An upgrade replaces the program's
; files only; uninstalling removes them and leaves every user's settings and workbooks.
; A 64-bit installer for a 64-bit program: it runs where the program runs.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!define NOMBRE "Reporte varelmo"
!define CLAVE "Software\Microsoft\Windows\CurrentVersion\Uninstall\ReporteVarelmo"

Name "${NOMBRE} ${VERSION}"
OutFile "${SALIDA}"
InstallDir "$PROGRAMFILES64\${NOMBRE}"
InstallDirRegKey HKLM "${CLAVE}" "InstallLocation"
Icon "${ICONO}"
UninstallIcon "${ICONO}"
BrandingText "${NOMBRE} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=3082 "ProductName" "${NOMBRE}"
VIAddVersionKey /LANG=3082 "FileDescription" "Instalador de ${NOMBRE}"
VIAddVersionKey /LANG=3082 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=3082 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=3082 "CompanyName" "Varelmo"
VIAddVersionKey /LANG=3082 "LegalCopyright" "Varelmo"

!include "MUI2.nsh"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Spanish"

Function .onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Section "Programa"
  ; The earlier version's program files go first; nothing of the users' is in this folder.
  RMDir /r "$INSTDIR\bin"
  RMDir /r "$INSTDIR\share"
  SetOutPath "$INSTDIR\bin"
  File /r /x "varelmo.txt" /x "LEEME.txt" "${CARPETA}\*"
  SetOutPath "$INSTDIR\share\varelmo"
  File "${CARPETA}\varelmo.txt"
  SetOutPath "$INSTDIR"
  File "${CARPETA}\LEEME.txt"
  WriteUninstaller "$INSTDIR\desinstalar.exe"
  CreateShortcut "$SMPROGRAMS\${NOMBRE}.lnk" "$INSTDIR\bin\varelmo.exe" "" "$INSTDIR\bin\varelmo.exe" 0
  WriteRegStr HKLM "${CLAVE}" "DisplayName" "${NOMBRE}"
  WriteRegStr HKLM "${CLAVE}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${CLAVE}" "DisplayIcon" "$INSTDIR\bin\varelmo.exe,0"
  WriteRegStr HKLM "${CLAVE}" "Publisher" "Varelmo"
  WriteRegStr HKLM "${CLAVE}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${CLAVE}" "UninstallString" '"$INSTDIR\desinstalar.exe"'
  WriteRegStr HKLM "${CLAVE}" "QuietUninstallString" '"$INSTDIR\desinstalar.exe" /S'
  WriteRegDWORD HKLM "${CLAVE}" "NoModify" 1
  WriteRegDWORD HKLM "${CLAVE}" "NoRepair" 1
  WriteRegDWORD HKLM "${CLAVE}" "EstimatedSize" ${TAMANO_KB}
SectionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\${NOMBRE}.lnk"
  RMDir /r "$INSTDIR\bin"
  RMDir /r "$INSTDIR\share"
  Delete "$INSTDIR\LEEME.txt"
  Delete "$INSTDIR\desinstalar.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${CLAVE}"
SectionEnd
