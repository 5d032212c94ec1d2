; The Windows installer: Kelvra for the current user (no administrator needed), with a Start-menu entry
; and an uninstaller. Uninstalling removes the program and leaves the profile (the registry key
; HKCU\Software\Kelvra\Kelvra) and the journal (%LOCALAPPDATA%\Kelvra) in place.
;   makensis -DVERSION=... -DSOURCE=folder -DOUTFILE=setup.exe kelvra.nsi
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvra"

Name "Kelvra ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Kelvra"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel user
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "Kelvra"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "MIT License"
VIAddVersionKey "FileDescription" "Kelvra installer"

Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles
LicenseData "${SOURCE}\LICENSE.txt"

Section "Kelvra"
  SetOutPath "$INSTDIR"
  File /r "${SOURCE}\*.*"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Kelvra"
  CreateShortcut "$SMPROGRAMS\Kelvra\Kelvra.lnk" "$INSTDIR\kelvra.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Kelvra"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Kelvra developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kelvra.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Only what the installer put there goes: a folder chosen by hand may hold other files.
Section "Uninstall"
  Delete "$SMPROGRAMS\Kelvra\Kelvra.lnk"
  RMDir "$SMPROGRAMS\Kelvra"
  Delete "$INSTDIR\kelvra.exe"
  Delete "$INSTDIR\kelvra-board.dll"
  Delete "$INSTDIR\Qt6*.dll"
  Delete "$INSTDIR\libstdc++-6.dll"
  Delete "$INSTDIR\libgcc_s_seh-1.dll"
  Delete "$INSTDIR\libwinpthread-1.dll"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\platforms\qwindows.dll"
  RMDir "$INSTDIR\platforms"
  Delete "$INSTDIR\styles\qwindowsvistastyle.dll"
  RMDir "$INSTDIR\styles"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
