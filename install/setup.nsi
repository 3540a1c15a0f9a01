; Quelma's setup program: per machine, into a folder standard users may write their data in.
;   makensis -DVERSION=1.2.3 -DPKG=<package folder> -DOUTFILE=<setup.exe> install/setup.nsi
; Silent: /S [/32BIT] [/DESKTOP] [/D=folder]; uninstall.exe /S [_?=folder]. Exit code 0 or,
; on failure, 2 (740 without administrator rights).
Unicode true
Target amd64-unicode
ManifestSupportedOS all
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include StrFunc.nsh
${StrStr}

!define PRODUCT "Quelma"
!define PUBLISHER "Vantrel"
!define SETTINGS_KEY "SOFTWARE\Vantrel\Quelma\Settings"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quelma"
; The local Users group by SID, whatever its name in the system's language.
!define USERS_SID "*S-1-5-32-545"
; The program builds photo paths of the folder plus up to 54 characters in 256-byte buffers.
!define MAX_FOLDER_BYTES 200

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; Not under Program Files: operators change QUELMA.CFG, Data\ and Photo\ in this folder.
InstallDir "C:\Quelma"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${__FILEDIR__}/../src/res/art/quelma.ico"
!define MUI_UNICON "${__FILEDIR__}/../src/res/art/quelma.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_WELCOMEPAGE_TEXT "Setup will install ${PRODUCT} ${VERSION} on this computer.$\r$\n$\r$\nAn existing installation is upgraded: the program and Resources\ are replaced, while QUELMA.CFG, Data\ and Photo\ (settings, members, measurements and photos) stay as they are.$\r$\n$\r$\nClose Quelma before continuing."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_DIRECTORYPAGE_TEXT_TOP "Quelma keeps its settings, measurements and photos in its install folder, where every operator account may change them; choose a folder on a local drive outside Program Files."
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Quelma"
!define MUI_FINISHPAGE_RUN_FUNCTION StartQuelma
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; $R0 = 1 when a Quelma of $INSTDIR runs. The program names its one-copy mutex
; "Global\Quelma.<hash>": FNV-1a (64-bit) of the folder in the ANSI code page, a..z upper
; case, no trailing backslash; a mutex of another user's session answers "access denied".
!macro DEFINE_QUELMA_RUNNING prefix
Function ${prefix}QuelmaRunning
    Push $0
    Push $1
    Push $2
    Push $3
    Push $4
    System::Alloc 1024
    Pop $0
    System::Call 'kernel32::WideCharToMultiByte(i 0, i 0, w "$INSTDIR", i -1, p r0, i 1024, p 0, p 0) i .r1'
    StrCpy $2 "-3750763034362895579" ; 0xcbf29ce484222325
    IntOp $1 $1 - 1 ; without the terminating zero
    StrCpy $3 0
    ${While} $3 < $1
        IntPtrOp $4 $0 + $3
        System::Call '*$4(&i1 .r4)'
        IntOp $4 $4 & 0xFF
        ${If} $4 >= 97
        ${AndIf} $4 <= 122
            IntOp $4 $4 - 32
        ${EndIf}
        System::Int64Op $2 ^ $4
        Pop $2
        System::Int64Op $2 * 1099511628211
        Pop $2
        IntOp $3 $3 + 1
    ${EndWhile}
    System::Free $0
    System::Int64Op $2 >> 32
    Pop $3
    System::Int64Op $3 & 0xFFFFFFFF
    Pop $3
    System::Int64Op $2 & 0xFFFFFFFF
    Pop $4
    IntFmt $3 "%08x" $3
    IntFmt $4 "%08x" $4
    ; SYNCHRONIZE access
    System::Call 'kernel32::OpenMutexW(i 0x100000, i 0, w "Global\Quelma.$3$4") p .r0 ?e'
    Pop $1
    StrCpy $R0 0
    ${If} $0 P<> 0
        System::Call 'kernel32::CloseHandle(p r0)'
        StrCpy $R0 1
    ${ElseIf} $1 = 5
        StrCpy $R0 1
    ${EndIf}
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; Waits with Retry/Cancel while Quelma runs; silent, or on Cancel, fails.
Function ${prefix}WaitWhileQuelmaRuns
    ${Do}
        Call ${prefix}QuelmaRunning
        ${If} $R0 = 0
            Return
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Quelma is running. Close Quelma (EXIT), then press Retry.$\r$\nCancel leaves the installation as it is." /SD IDCANCEL IDRETRY retry
        SetErrorLevel 2
        Abort "Quelma is running: nothing was changed."
        retry:
    ${Loop}
FunctionEnd
!macroend
!insertmacro DEFINE_QUELMA_RUNNING ""
!insertmacro DEFINE_QUELMA_RUNNING "un."

; $R9 = why Quelma cannot work in $INSTDIR, or "" when it can.
Function CheckFolder
    Push $0
    Push $1
    Push $2
    StrCpy $R9 ""
    StrCpy $1 $INSTDIR 2
    StrCpy $0 $INSTDIR "" 1 ; ":\folder" after the drive letter
    StrCpy $2 $0 2
    ${If} $1 == "\\"
        StrCpy $R9 "$INSTDIR is a network folder. Quelma's data must stay on this computer, where its one running copy guards it: choose a folder on a local drive."
    ${ElseIf} $0 == ":"
    ${OrIf} $0 == ":\"
        StrCpy $R9 "Quelma needs a folder of its own, not the root of drive $1."
    ${ElseIf} $2 != ":\"
        StrCpy $R9 "$INSTDIR is not a full folder path: choose a folder such as C:\Quelma."
    ${Else}
        StrCpy $0 $INSTDIR 3
        System::Call 'kernel32::GetDriveTypeW(w r0) i .r1'
        ${If} $1 = 4 ; DRIVE_REMOTE
            StrCpy $R9 "$0 is a network drive. Quelma's data must stay on this computer, where its one running copy guards it: choose a folder on a local drive."
        ${EndIf}
    ${EndIf}
    ${If} $R9 == ""
        ${ForEach} $0 0 2 + 1
            ${If} $0 = 0
                StrCpy $1 $PROGRAMFILES64
            ${ElseIf} $0 = 1
                ReadEnvStr $1 "ProgramFiles(x86)" ; $PROGRAMFILES32 of a 64-bit setup is not it
            ${Else}
                StrCpy $1 $WINDIR
            ${EndIf}
            StrLen $2 "$1\"
            StrCpy $2 "$INSTDIR\" $2
            ${If} $2 == "$1\"
            ${AndIf} $1 != ""
            ${AndIf} $R9 == ""
                StrCpy $R9 "$1 is kept read-only for standard users by Windows, and Quelma's operators change QUELMA.CFG, Data\ and Photo\ in its install folder: choose a folder outside it, such as C:\Quelma."
            ${EndIf}
        ${Next}
    ${EndIf}
    ${If} $R9 == ""
        ; The program reads the folder in the ANSI code page: every character must exist there.
        System::Call 'kernel32::WideCharToMultiByte(i 0, i 0x400, w "$INSTDIR", i -1, p 0, i 0, p 0, *i 0 r1) i .r2'
        IntOp $2 $2 - 1 ; without the terminating zero
        ${If} $1 <> 0
            StrCpy $R9 "$INSTDIR holds characters that Quelma cannot use in a file path on this computer: choose a name of plain letters, digits and spaces."
        ${ElseIf} $2 > ${MAX_FOLDER_BYTES}
            StrCpy $R9 "$INSTDIR is too long: Quelma's photo paths must fit Windows' 255 characters, so the folder may have at most ${MAX_FOLDER_BYTES}."
        ${EndIf}
    ${EndIf}
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

Function DirectoryLeave
    Call CheckFolder
    ${If} $R9 != ""
        MessageBox MB_OK|MB_ICONSTOP $R9
        Abort
    ${EndIf}
FunctionEnd

; Started through the shell, so that Quelma runs as the signed-in user, not elevated.
Function StartQuelma
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\quelma.exe"'
FunctionEnd

; Runs icacls; a failure ends setup with install.cmd's message.
!macro GRANT target rights
    nsExec::ExecToLog '"$SYSDIR\icacls.exe" "${target}" ${rights}'
    Pop $0
    ${If} $0 != 0
        SetErrorLevel 2
        Abort "Could not give the Users group the right to change QUELMA.CFG, Data and Photo."
    ${EndIf}
!macroend

Section "Quelma (64-bit program)" SecMain
    SectionIn RO
    Call WaitWhileQuelmaRuns
    SetOutPath $INSTDIR
    Delete "$INSTDIR\quelma-32bit.exe"
    Delete "$SMPROGRAMS\Quelma (32-bit).lnk"
    Delete "$DESKTOP\Quelma.lnk"
    RMDir /r "$INSTDIR\Resources"
    File "${PKG}/quelma.exe"
    File "${PKG}/OPERATOR-GUIDE.txt"
    SetOutPath "$INSTDIR\Resources"
    File "${PKG}/Resources/*"
    SetOutPath $INSTDIR
    CreateDirectory "$INSTDIR\Data"
    CreateDirectory "$INSTDIR\Photo"
    ; An existing QUELMA.CFG stays as it is; a new, empty one carries the Users group's
    ; rights and the program fills it on its first start.
    ${IfNot} ${FileExists} "$INSTDIR\QUELMA.CFG"
        FileOpen $0 "$INSTDIR\QUELMA.CFG" w
        FileClose $0
    ${EndIf}
    ; Program files: changed by administrators only (not inherited from the drive, where
    ; every user may change folders); operators measure, register and back up.
    !insertmacro GRANT "$INSTDIR" "/inheritance:r /grant:r *S-1-5-18:(OI)(CI)F *S-1-5-32-544:(OI)(CI)F ${USERS_SID}:(OI)(CI)RX"
    !insertmacro GRANT "$INSTDIR\QUELMA.CFG" "/grant ${USERS_SID}:M"
    !insertmacro GRANT "$INSTDIR\Data" "/grant ${USERS_SID}:(OI)(CI)M"
    !insertmacro GRANT "$INSTDIR\Photo" "/grant ${USERS_SID}:(OI)(CI)M"
    SetRegView 64
    WriteRegStr HKLM "${SETTINGS_KEY}" "Path" $INSTDIR
    CreateShortcut "$SMPROGRAMS\Quelma.lnk" "$INSTDIR\quelma.exe"
    WriteUninstaller "$INSTDIR\uninstall.exe"
SectionEnd

Section /o "32-bit program, for 32-bit card reader libraries" Sec32
    File "${PKG}/quelma-32bit.exe"
    CreateShortcut "$SMPROGRAMS\Quelma (32-bit).lnk" "$INSTDIR\quelma-32bit.exe"
SectionEnd

Section /o "Desktop shortcut" SecDesktop
    CreateShortcut "$DESKTOP\Quelma.lnk" "$INSTDIR\quelma.exe"
SectionEnd

Section "-Apps & features"
    ${GetSize} "$INSTDIR\Resources" "/S=0K" $0 $1 $2
    ${GetSize} "$INSTDIR" "/M=*.exe /S=0K /G=0" $1 $2 $3
    IntOp $0 $0 + $1
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" $INSTDIR
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quelma.exe,0"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function .onInit
    SetShellVarContext all
    SetRegView 64
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
        MessageBox MB_OK|MB_ICONSTOP "Setup needs administrator rights: start it again and allow it to make changes." /SD IDOK
        SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
        Quit
    ${EndIf}
    ; An upgrade keeps the choices of the installation it replaces.
    ${If} ${FileExists} "$INSTDIR\quelma-32bit.exe"
        !insertmacro SelectSection ${Sec32}
    ${EndIf}
    ${If} ${FileExists} "$DESKTOP\Quelma.lnk"
        !insertmacro SelectSection ${SecDesktop}
    ${EndIf}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/32BIT" $1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${Sec32}
    ${EndIf}
    ClearErrors
    ${GetOptions} $0 "/DESKTOP" $1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SecDesktop}
    ${EndIf}
    ; NSIS ignores a /D= folder it cannot use and takes the default instead: take it as given,
    ; so that it is refused with its reason rather than replaced unnoticed.
    System::Call 'kernel32::GetCommandLineW() w .r0'
    ${StrStr} $1 $0 " /D="
    ${If} $1 != ""
        StrCpy $1 $1 "" 4
        StrCpy $2 $1 1 -1
        ${DoWhile} $2 == "\"
            StrLen $2 $1
            ${IfThen} $2 <= 3 ${|} ${ExitDo} ${|}
            StrCpy $1 $1 -1
            StrCpy $2 $1 1 -1
        ${Loop}
        StrCpy $INSTDIR $1
    ${EndIf}
    ${If} ${Silent}
        Call CheckFolder
        ${If} $R9 != ""
            SetErrorLevel 2
            Quit
        ${EndIf}
    ${EndIf}
FunctionEnd

Function un.onInit
    SetShellVarContext all
    SetRegView 64
FunctionEnd

; Removes what setup laid; QUELMA.CFG, Data\ and Photo\ (and so the folder) stay.
Section Uninstall
    Call un.WaitWhileQuelmaRuns
    Delete "$INSTDIR\quelma.exe"
    Delete "$INSTDIR\quelma-32bit.exe"
    ${If} ${FileExists} "$INSTDIR\quelma.exe"
    ${OrIf} ${FileExists} "$INSTDIR\quelma-32bit.exe"
        SetErrorLevel 2
        Abort "Could not remove the program from $INSTDIR."
    ${EndIf}
    Delete "$INSTDIR\OPERATOR-GUIDE.txt"
    RMDir /r "$INSTDIR\Resources"
    Delete "$SMPROGRAMS\Quelma.lnk"
    Delete "$SMPROGRAMS\Quelma (32-bit).lnk"
    Delete "$DESKTOP\Quelma.lnk"
    ; The key only when it names this folder: another installation may have taken it over.
    ReadRegStr $0 HKLM "${SETTINGS_KEY}" "Path"
    ${If} $0 == $INSTDIR
        DeleteRegKey HKLM "SOFTWARE\Vantrel\Quelma"
        DeleteRegKey /ifempty HKLM "SOFTWARE\Vantrel"
    ${EndIf}
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir $INSTDIR
    ${If} ${FileExists} "$INSTDIR\*.*"
        DetailPrint "Kept in $INSTDIR: QUELMA.CFG, Data\ and Photo\."
        MessageBox MB_OK|MB_ICONINFORMATION "Quelma was removed. Its settings and members (QUELMA.CFG) and the measurements and photos (Data\, Photo\) stay in $INSTDIR." /SD IDOK
    ${EndIf}
SectionEnd
