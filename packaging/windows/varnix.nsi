; The Windows installer of Varnix, built by scripts/windows/installer from the folder of the
; zip. It installs for the current user alone, without administrator rights, into the
; user's programs folder. The defines come from the build:
;   VERSION, VERSION_QUAD (four numbers), PUBLISHER, COPYRIGHT, HOMEPAGE, ICON, OUTFILE,
;   INSTALL_FILES and UNINSTALL_FILES (the File and Delete commands for the folder's files).
; Command-line options besides NSIS's own /S and /D=FOLDER: /OpenMdb (open .mdb files with
; Varnix); for the uninstaller /RemoveSettings (also remove HKCU\Software\ZUR\Pellion).

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnix"
!define SETTINGS_KEY "Software\ZUR\Pellion"
!define PROG_ID "Varnix.SettingsFile"
!define CLASSES "Software\Classes"

Name "Varnix ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Varnix"
; An upgrade goes where the installed version lies.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Varnix ${VERSION}"

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 "ProductName" "Varnix"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COPYRIGHT}"
VIAddVersionKey /LANG=1033 "FileDescription" "Varnix ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\Project1.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Varnix"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Varnix" SectionProgram
    SectionIn RO
    ; An earlier version's uninstaller takes its files away first, so that none it had and
    ; this version has not stays behind; it keeps the user's settings.
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIf} ${FileExists} "$0\Uninstall.exe"
        ExecWait '"$0\Uninstall.exe" /S _?=$0'
        Delete "$0\Uninstall.exe"
        RMDir "$0"
    ${EndIf}

    SetOutPath "$INSTDIR"
    !include "${INSTALL_FILES}"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    CreateShortcut "$SMPROGRAMS\Varnix.lnk" "$INSTDIR\Project1.exe" "" "$INSTDIR\Project1.exe" 0 \
        SW_SHOWNORMAL "" "Configure a ZUR relay switch over a serial line"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Varnix"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "${HOMEPAGE}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Project1.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Off unless chosen: on many desks .mdb files belong to Access.
Section /o "Open .mdb files with Varnix" SectionOpenMdb
    WriteRegStr HKCU "${CLASSES}\${PROG_ID}" "" "Varnix settings file"
    WriteRegStr HKCU "${CLASSES}\${PROG_ID}\DefaultIcon" "" "$INSTDIR\Project1.exe,0"
    WriteRegStr HKCU "${CLASSES}\${PROG_ID}\shell\open\command" "" '"$INSTDIR\Project1.exe" "%1"'
    WriteRegStr HKCU "${CLASSES}\.mdb\OpenWithProgids" "${PROG_ID}" ""
    ; The type the user had before is given back on uninstalling.
    ReadRegStr $0 HKCU "${CLASSES}\.mdb" ""
    ${If} $0 != "${PROG_ID}"
    ${AndIf} $0 != ""
        WriteRegStr HKCU "${UNINSTALL_KEY}" "PreviousMdbType" $0
    ${EndIf}
    WriteRegStr HKCU "${CLASSES}\.mdb" "" "${PROG_ID}"
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Function .onInit
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/OpenMdb" $1
    ${IfNot} ${Errors}
        SectionSetFlags ${SectionOpenMdb} ${SF_SELECTED}
    ${EndIf}
    ; An upgrade keeps the choice made when the earlier version was installed.
    ReadRegStr $1 HKCU "${CLASSES}\.mdb" ""
    ${If} $1 == "${PROG_ID}"
        SectionSetFlags ${SectionOpenMdb} ${SF_SELECTED}
    ${EndIf}
FunctionEnd

Section "un.Varnix" SectionUninstallProgram
    SectionIn RO
    !include "${UNINSTALL_FILES}"
    Delete "$INSTDIR\Uninstall.exe"
    ; Files the user put into the folder stay, and so does the folder then.
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Varnix.lnk"

    ReadRegStr $0 HKCU "${CLASSES}\.mdb" ""
    ${If} $0 == "${PROG_ID}"
        ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "PreviousMdbType"
        ${If} $1 != ""
            WriteRegStr HKCU "${CLASSES}\.mdb" "" $1
        ${Else}
            DeleteRegValue HKCU "${CLASSES}\.mdb" ""
        ${EndIf}
    ${EndIf}
    DeleteRegValue HKCU "${CLASSES}\.mdb\OpenWithProgids" "${PROG_ID}"
    DeleteRegKey /ifempty HKCU "${CLASSES}\.mdb\OpenWithProgids"
    DeleteRegKey /ifempty HKCU "${CLASSES}\.mdb"
    DeleteRegKey HKCU "${CLASSES}\${PROG_ID}"
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

Section /o "un.Remove my settings (the chosen port)" SectionUninstallSettings
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "Software\ZUR"
SectionEnd

Function un.onInit
    ${un.GetParameters} $0
    ClearErrors
    ${un.GetOptions} $0 "/RemoveSettings" $1
    ${IfNot} ${Errors}
        SectionSetFlags ${SectionUninstallSettings} ${SF_SELECTED}
    ${EndIf}
FunctionEnd
