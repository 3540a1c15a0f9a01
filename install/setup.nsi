; Quelma's setup program: per machine, into a folder standard users may write their data in.
;   makensis -DVERSION=1.2.3 -DPKG=<package folder> -DOUTFILE=<setup.exe> [-DSIGN=<command>]
;            install/setup.nsi
; Silent: /S [/32BIT] [/DESKTOP] [/CFG=file] [/OPERATORS=group] [/LOG=file] [/MOVE]
;         [/ALLOWDOWNGRADE] [/D=folder]; uninstall.exe /S [/LOG=file].
; uninstall.exe is this program again: named so, it writes the uninstaller into its temporary
; folder, runs it on its own folder and returns its exit code once it has ended.
; Exit codes (the README lists them for deployment tools): 0 done, 1 cancelled, 2 an option
; that cannot be followed, 3 folder refused, 4 downgrade refused, 5 a file could not be
; written, moved or removed, 6 rights could not be set, 740 no administrator rights, 1618
; Quelma is running.
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
!include WordFunc.nsh
${StrStr}

!define PRODUCT "Quelma"
!define PUBLISHER "Vantrel"
!define SETTINGS_KEY "SOFTWARE\Vantrel\Quelma\Settings"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quelma"
!define EXIT_BAD_OPTION 2
!define EXIT_DOWNGRADE_REFUSED 4
!define EXIT_FILE_FAILED 5
!define EXIT_NOT_ADMIN 740 ; ERROR_ELEVATION_REQUIRED

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; Not under Program Files: operators change QUELMA.CFG, Data\ and Photo\ in this folder.
InstallDir "C:\Quelma"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
; A file that cannot be written fails setup: never a half-upgraded installation reported done.
AllowSkipFiles off

!ifdef SIGN
    !finalize '${SIGN} "%1"' = 0
    !uninstfinalize '${SIGN} "%1"' = 0
!endif

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

Var Registered      ; the folder of the installation this PC has, or ""
Var DirGiven        ; 1 when /D= names the folder
Var Move            ; 1 with /MOVE
Var AllowDowngrade  ; 1 with /ALLOWDOWNGRADE
Var Cfg             ; /CFG=: a prepared QUELMA.CFG for a new installation
Var Operators       ; the group that changes QUELMA.CFG and the data folders
Var OldOperators    ; the group the installation had
Var Refusal         ; the exit code of a refused choice
Var Mutex
Var MutexOld

!include "${__FILEDIR__}/log.nsh"
!include "${__FILEDIR__}/mutex.nsh"
!include "${__FILEDIR__}/folder.nsh"
!include "${__FILEDIR__}/move.nsh"
!include "${__FILEDIR__}/options.nsh"
!include "${__FILEDIR__}/uninstall.nsh"


Function DirectoryLeave
    Call CheckChoices
    ${If} $R7 == "move"
        MessageBox MB_YESNO|MB_ICONQUESTION "Quelma is installed in $Registered, with its settings, members, measurements and photos.$\r$\n$\r$\nMove the installation with its data to $INSTDIR?" IDNO stay
        StrCpy $Move 1
        Call CheckChoices
    ${EndIf}
    ${If} $R9 != ""
        MessageBox MB_OK|MB_ICONSTOP $R9
        stay:
        Abort
    ${EndIf}
    Call HoldMutexes
FunctionEnd

; Started through the shell, so that Quelma runs as the signed-in user, not elevated; setup
; lets go of the one-copy mutex first.
Function StartQuelma
    !insertmacro RELEASE_MUTEX $Mutex
    !insertmacro RELEASE_MUTEX $MutexOld
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\quelma.exe"'
FunctionEnd

; The folder is made the program's before anything is written into it; the data moves in,
; or the prepared settings are laid, before the program follows.
Section "Quelma (64-bit program)" SecMain
    SectionIn RO
    SetErrorLevel ${EXIT_FILE_FAILED}
    !insertmacro LOG "Installing Quelma ${VERSION} into $INSTDIR."
    ${IfNot} ${FileExists} "$INSTDIR\*.*"
        ClearErrors
        CreateDirectory $INSTDIR
        ${If} ${Errors}
            !insertmacro REFUSE ${EXIT_FILE_FAILED} "Could not create $INSTDIR."
        ${EndIf}
    ${EndIf}
    Call LockFolder
    ${If} $MoveFrom != ""
        Call MoveData
    ${EndIf}
    ClearErrors
    CreateDirectory "$INSTDIR\Data"
    CreateDirectory "$INSTDIR\Photo"
    ${If} ${Errors}
        !insertmacro REFUSE ${EXIT_FILE_FAILED} "Could not create Data\ and Photo\ in $INSTDIR."
    ${EndIf}
    Call LayConfig
    Call GrantOperators
    !insertmacro LOG "Laying the program files."
    SetOutPath $INSTDIR
    Delete "$INSTDIR\quelma-32bit.exe"
    Delete "$SMPROGRAMS\Quelma (32-bit).lnk"
    Delete "$DESKTOP\Quelma.lnk"
    Push "$INSTDIR\Resources"
    Call RemoveTree
    !insertmacro LOG "Writing quelma.exe."
    File "${PKG}/quelma.exe"
    !insertmacro LOG "Writing OPERATOR-GUIDE.txt."
    File "${PKG}/OPERATOR-GUIDE.txt"
    !insertmacro LOG "Writing Resources\."
    SetOutPath "$INSTDIR\Resources"
    File "${PKG}/Resources/*"
    SetOutPath $INSTDIR
    SetRegView 64
    WriteRegStr HKLM "${SETTINGS_KEY}" "Path" $INSTDIR
    CreateShortcut "$SMPROGRAMS\Quelma.lnk" "$INSTDIR\quelma.exe"
    ClearErrors
    CopyFiles /SILENT $EXEPATH "$INSTDIR\uninstall.exe"
    ${If} ${Errors}
        !insertmacro REFUSE ${EXIT_FILE_FAILED} "Could not write $INSTDIR\uninstall.exe."
    ${EndIf}
SectionEnd

Section /o "32-bit program, for 32-bit card reader libraries" Sec32
    !insertmacro LOG "Writing quelma-32bit.exe."
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
    ; Remembered for upgrades, which grant the station folders to the same group.
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Operators" $Operators
SectionEnd

Function .onInit
    SetShellVarContext all
    SetRegView 64
    StrCpy $Mutex 0
    StrCpy $MutexOld 0
    Call OpenLog
    Pop $1
    ${If} $EXEFILE == "uninstall.exe"
        Call RunUninstaller
    ${EndIf}
    !insertmacro LOG "Quelma setup ${VERSION}: $CMDLINE"
    ${If} $1 != ""
        !insertmacro REFUSE ${EXIT_BAD_OPTION} $1
    ${EndIf}
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
        !insertmacro REFUSE ${EXIT_NOT_ADMIN} "Setup needs administrator rights: start it again and allow it to make changes."
    ${EndIf}
    Call ReadOptions
    Call FindInstallation
    ${If} $DirGiven != 1
    ${AndIf} $Registered != ""
        StrCpy $INSTDIR $Registered
    ${EndIf}
    ; An upgrade keeps the choices of the installation it replaces.
    ${If} ${FileExists} "$INSTDIR\quelma-32bit.exe"
    ${OrIf} ${FileExists} "$Registered\quelma-32bit.exe"
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
    ${If} ${Silent}
        Call CheckChoices
        ${If} $R9 != ""
            !insertmacro REFUSE $Refusal $R9
        ${EndIf}
        Call HoldMutexes
    ${EndIf}
FunctionEnd

Function .onInstSuccess
    SetErrorLevel 0
    !insertmacro LOG "Done: Quelma ${VERSION} is installed in $INSTDIR."
FunctionEnd

Function .onInstFailed
    !insertmacro LOG "Setup failed in the step above."
FunctionEnd
