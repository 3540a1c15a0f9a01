; The command line of a deployment tool, the installation the PC already has, and the checks
; made before anything changes.

; Reads a little-endian int32 from the file handle in $R7 into $R8.
Function ReadInt32
    Push $0
    Push $1
    Push $2
    StrCpy $R8 0
    ${ForEach} $0 0 3 + 1
        FileReadByte $R7 $2
        IntOp $1 $0 * 8
        IntOp $2 $2 << $1
        IntOp $R8 $R8 | $2
    ${Next}
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; $R9 = why $Cfg is not a whole QUELMA.CFG, or "". The file is the 36-byte settings block
; followed by 40 bytes per member; it may be longer, never shorter.
Function CheckPreset
    Push $0
    Push $1
    Push $2
    StrCpy $R9 ""
    ClearErrors
    FileOpen $R7 $Cfg r
    ${If} ${Errors}
        StrCpy $R9 "/CFG=$Cfg cannot be read."
    ${Else}
        FileSeek $R7 0 END $0
        ${If} $0 < 36
            StrCpy $R9 "/CFG=$Cfg is not a QUELMA.CFG: $0 bytes, fewer than its 36-byte settings block."
        ${Else}
            FileSeek $R7 24 SET
            Call ReadInt32
            StrCpy $1 $R8 ; Port
            Call ReadInt32
            StrCpy $2 $R8 ; Speed
            Call ReadInt32 ; MemberCount
            ${If} $1 < 0
            ${OrIf} $1 > 19
            ${OrIf} $2 < 0
            ${OrIf} $2 > 7
            ${OrIf} $R8 < 0
            ${OrIf} $R8 > 1000000
                StrCpy $R9 "/CFG=$Cfg is not a QUELMA.CFG: its port, speed or member count is out of range."
            ${Else}
                IntOp $1 $R8 * 40
                IntOp $1 $1 + 36
                ${If} $0 < $1
                    StrCpy $R9 "/CFG=$Cfg is cut short: its $R8 members need $1 bytes, the file has $0."
                ${EndIf}
            ${EndIf}
        ${EndIf}
        FileClose $R7
    ${EndIf}
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

Function ReadOptions
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/CFG=" $Cfg
    ${IfThen} ${Errors} ${|} StrCpy $Cfg "" ${|}
    ClearErrors
    ${GetOptions} $0 "/OPERATORS=" $Operators
    ${IfThen} ${Errors} ${|} StrCpy $Operators "" ${|}
    ClearErrors
    ${GetOptions} $0 "/MOVE" $1
    ${IfNot} ${Errors}
        StrCpy $Move 1
    ${EndIf}
    ClearErrors
    ${GetOptions} $0 "/ALLOWDOWNGRADE" $1
    ${IfNot} ${Errors}
        StrCpy $AllowDowngrade 1
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
        StrCpy $DirGiven 1
    ${EndIf}
FunctionEnd

; The installation this PC has: the folder the program's key names (setup's, or install.cmd's
; for a portable installation), else the Apps & features entry's, when Quelma is there.
Function FindInstallation
    StrCpy $Registered ""
    ReadRegStr $0 HKLM "${SETTINGS_KEY}" "Path"
    ${If} $0 == ""
        ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${EndIf}
    StrCpy $1 $0 1 -1
    ${If} $1 == "\"
        StrCpy $0 $0 -1
    ${EndIf}
    ${If} $0 != ""
        ${If} ${FileExists} "$0\quelma.exe"
        ${OrIf} ${FileExists} "$0\QUELMA.CFG"
            StrCpy $Registered $0
        ${EndIf}
    ${EndIf}
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $Registered
        ReadRegStr $OldOperators HKLM "${UNINSTALL_KEY}" "Operators"
    ${EndIf}
    ${If} $Operators == ""
        StrCpy $Operators $OldOperators
    ${EndIf}
    ${IfThen} $Operators == "" ${|} StrCpy $Operators ${USERS_SID} ${|}
    ${IfThen} $OldOperators == "" ${|} StrCpy $OldOperators ${USERS_SID} ${|}
    !insertmacro LOG "Installed: $\"$Registered$\"; operators $Operators."
FunctionEnd

; The version of the installation in $Registered, "" when unknown.
Function InstalledVersion
    Push $0
    StrCpy $R7 ""
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $Registered
        ReadRegStr $R7 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
    ${EndIf}
    ${If} $R7 == ""
    ${AndIf} ${FileExists} "$Registered\quelma.exe"
        ClearErrors
        ${GetFileVersion} "$Registered\quelma.exe" $R7
        ${IfThen} ${Errors} ${|} StrCpy $R7 "" ${|}
    ${EndIf}
    Pop $0
FunctionEnd

; Pushes 1 when the folder on the stack holds anything, else 0.
Function HoldsFiles
    Exch $0
    Push $1
    FindFirst $1 $0 "$0\*.*"
    ${Do}
        ${If} $0 != "."
        ${AndIf} $0 != ".."
            ${ExitDo}
        ${EndIf}
        FindNext $1 $0
    ${Loop}
    FindClose $1
    ${If} $0 == ""
        StrCpy $0 0
    ${Else}
        StrCpy $0 1
    ${EndIf}
    Pop $1
    Exch $0
FunctionEnd

; $R9 = why setup cannot do what it was asked, with the exit code in $Refusal; $R7 = "move"
; when the answer is to move the installation.
Function CheckChoices
    StrCpy $R7 ""
    StrCpy $Refusal ${EXIT_FOLDER_REFUSED}
    StrCpy $MoveFrom ""
    Call CheckFolderPath
    ${If} $R9 == ""
    ${AndIf} $Registered != ""
    ${AndIf} $INSTDIR != $Registered
        ${If} $Move != 1
            StrCpy $R9 "Quelma is installed in $Registered, with its settings, members, measurements and photos. Setup upgrades it there: leave out /D=, or add /MOVE to move the installation with its data to $INSTDIR."
            StrCpy $R7 "move"
        ${Else}
            Push "$INSTDIR\Data"
            Call HoldsFiles
            Pop $0
            Push "$INSTDIR\Photo"
            Call HoldsFiles
            Pop $1
            ${IfThen} ${FileExists} "$INSTDIR\QUELMA.CFG" ${|} StrCpy $0 1 ${|}
            ${If} $0 = 1
            ${OrIf} $1 = 1
                StrCpy $R9 "$INSTDIR already holds Quelma's data: the installation in $Registered cannot be moved there."
            ${Else}
                StrCpy $MoveFrom $Registered
            ${EndIf}
        ${EndIf}
    ${EndIf}
    ${If} $R9 == ""
    ${AndIf} ${FileExists} "$INSTDIR\*.*"
        Call CheckFolderContents
    ${EndIf}
    ${If} $R9 == ""
    ${AndIf} $Registered != ""
    ${AndIf} $AllowDowngrade != 1
        Call InstalledVersion
        ${If} $R7 != ""
            ${VersionCompare} $R7 "${VERSION}" $0
            ${If} $0 = 1
                StrCpy $Refusal ${EXIT_DOWNGRADE_REFUSED}
                StrCpy $R9 "Quelma $R7 is installed in $Registered, newer than this setup's ${VERSION}: nothing was changed. Add /ALLOWDOWNGRADE to install the older version."
            ${EndIf}
            StrCpy $R7 ""
        ${EndIf}
    ${EndIf}
    ${If} $R9 == ""
    ${AndIf} $Cfg != ""
        StrCpy $Refusal ${EXIT_BAD_OPTION}
        Call CheckPreset
    ${EndIf}
    ${If} $R9 == ""
        StrCpy $0 $Operators 1
        ${StrStr} $1 $Operators '"'
        ${If} $1 != ""
        ${OrIf} $0 == ""
            StrCpy $Refusal ${EXIT_BAD_OPTION}
            StrCpy $R9 "/OPERATORS=$Operators is not a group name or SID."
        ${EndIf}
    ${EndIf}
FunctionEnd

; Holds the one-copy mutex of every folder setup changes.
Function HoldMutexes
    !insertmacro RELEASE_MUTEX $Mutex
    !insertmacro RELEASE_MUTEX $MutexOld
    Push $INSTDIR
    Call LockOutQuelma
    Pop $Mutex
    ${If} $MoveFrom != ""
        Push $MoveFrom
        Call LockOutQuelma
        Pop $MutexOld
    ${EndIf}
FunctionEnd

; An existing QUELMA.CFG stays as it is. A new installation gets the prepared one, or an
; empty one that carries the operators' rights and that the program fills on its first start.
Function LayConfig
    ${If} ${FileExists} "$INSTDIR\QUELMA.CFG"
        ${If} $Cfg != ""
            !insertmacro LOG "QUELMA.CFG exists: /CFG=$Cfg is not laid over it."
        ${EndIf}
        Return
    ${EndIf}
    ${If} $Cfg == ""
        ClearErrors
        FileOpen $0 "$INSTDIR\QUELMA.CFG" w
        FileClose $0
        ${If} ${Errors}
            !insertmacro REFUSE ${EXIT_FILE_FAILED} "Could not create $INSTDIR\QUELMA.CFG."
        ${EndIf}
        Return
    ${EndIf}
    ClearErrors
    CopyFiles /SILENT $Cfg "$INSTDIR\QUELMA.CFG"
    Push $Cfg
    Call FileDigest
    Pop $0
    Push "$INSTDIR\QUELMA.CFG"
    Call FileDigest
    Pop $1
    ${If} ${Errors}
    ${OrIf} $0 == ""
    ${OrIf} $0 != $1
        Delete "$INSTDIR\QUELMA.CFG"
        !insertmacro REFUSE ${EXIT_FILE_FAILED} "Could not lay /CFG=$Cfg as $INSTDIR\QUELMA.CFG."
    ${EndIf}
    !insertmacro LOG "Laid /CFG=$Cfg as QUELMA.CFG ($0)."
FunctionEnd
