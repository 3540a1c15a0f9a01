; The install folder: which folders setup accepts, and its rights, set before any file of
; the program is written. Nothing here follows a junction or symbolic link.

!define EXIT_FOLDER_REFUSED 3
!define EXIT_GRANT_FAILED 6
; The local groups by SID, whatever their names in the system's language.
!define SYSTEM_SID "*S-1-5-18"
!define ADMINISTRATORS_SID "*S-1-5-32-544"
!define USERS_SID "*S-1-5-32-545"
; The program builds photo paths of the folder plus up to 54 characters in 256-byte buffers.
!define MAX_FOLDER_BYTES 200
!define FILE_ATTRIBUTE_REPARSE_POINT 0x400

; $R9 = why Quelma cannot work in $INSTDIR, or "" when it can.
Function CheckFolderPath
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

!macro DEFINE_IS_LINK prefix
; Pushes 1 when the path on the stack is a junction or symbolic link, else 0.
Function ${prefix}IsLink
    Exch $0
    System::Call 'kernel32::GetFileAttributesW(w r0) i .r0'
    ${If} $0 = -1 ; INVALID_FILE_ATTRIBUTES: nothing there
        StrCpy $0 0
    ${Else}
        IntOp $0 $0 & ${FILE_ATTRIBUTE_REPARSE_POINT}
        ${IfThen} $0 <> 0 ${|} StrCpy $0 1 ${|}
    ${EndIf}
    Exch $0
FunctionEnd
!macroend
!insertmacro DEFINE_IS_LINK ""
!insertmacro DEFINE_IS_LINK "un."

!macro IF_LINK path
    Push "${path}"
    !ifdef __UNINSTALL__
        Call un.IsLink
    !else
        Call IsLink
    !endif
    Pop $R8
    ${If} $R8 = 1
!macroend

; Pushes 1 when the folder on the stack holds a Quelma installation: registered, or
; QUELMA.CFG with quelma.exe, or with the Data\ an uninstalled Quelma leaves.
Function IsQuelmaFolder
    Exch $0
    ${If} $0 == $Registered
        StrCpy $0 1
    ${ElseIf} ${FileExists} "$0\QUELMA.CFG"
    ${AndIf} ${FileExists} "$0\quelma.exe"
        StrCpy $0 1
    ${ElseIf} ${FileExists} "$0\QUELMA.CFG"
    ${AndIf} ${FileExists} "$0\Data\*.*"
        StrCpy $0 1
    ${Else}
        StrCpy $0 0
    ${EndIf}
    Exch $0
FunctionEnd

; $R9 = why setup may not write into the existing $INSTDIR, or "". Only an empty folder or a
; Quelma installation is taken: another program's folder would get Quelma's rights, and a
; library beside quelma.exe would be loaded into it.
Function CheckFolderContents
    Push $0
    Push $1
    Push $2
    StrCpy $R9 ""
    ${ForEach} $0 0 4 + 1
        ${Select} $0
        ${Case} 0
            StrCpy $1 $INSTDIR
        ${Case} 1
            StrCpy $1 "$INSTDIR\Data"
        ${Case} 2
            StrCpy $1 "$INSTDIR\Photo"
        ${Case} 3
            StrCpy $1 "$INSTDIR\Resources"
        ${CaseElse}
            StrCpy $1 "$INSTDIR\QUELMA.CFG"
        ${EndSelect}
        !insertmacro IF_LINK $1
            ${If} $R9 == ""
                StrCpy $R9 "$1 is a link to another place (a junction or symbolic link): Quelma's files must lie in the folder itself. Choose the real folder."
            ${EndIf}
        ${EndIf}
    ${Next}
    ${If} $R9 == ""
        FindFirst $0 $1 "$INSTDIR\*.*"
        ${DoWhile} $1 != ""
            ${If} $1 != "."
            ${AndIf} $1 != ".."
            ${AndIf} $R9 == ""
                StrCpy $2 $1 "" -4
                ${If} $2 == ".exe"
                ${AndIf} $1 != "quelma.exe"
                ${AndIf} $1 != "quelma-32bit.exe"
                ${AndIf} $1 != "uninstall.exe"
                    StrCpy $R9 "$INSTDIR holds another program, $1: Quelma needs an empty folder or its own installation. Choose another folder."
                ${ElseIf} $2 == ".dll"
                ${AndIf} $1 != "ACR120U.dll" ; the card reader library, laid by the operator
                    StrCpy $R9 "$INSTDIR holds $1, which is not Quelma's: a library beside quelma.exe would be loaded into it. Remove it or choose another folder."
                ${EndIf}
            ${EndIf}
            FindNext $0 $1
        ${Loop}
        FindClose $0
    ${EndIf}
    ${If} $R9 == ""
        Push $INSTDIR
        Call IsQuelmaFolder
        Pop $0
        ${If} $0 = 0
            FindFirst $0 $1 "$INSTDIR\*.*"
            ${DoWhile} $1 != ""
                ${If} $1 != "."
                ${AndIf} $1 != ".."
                    StrCpy $R9 "$INSTDIR holds files that are not a Quelma installation ($1): Quelma needs an empty folder or its own installation. Choose another folder."
                    ${ExitDo}
                ${EndIf}
                FindNext $0 $1
            ${Loop}
            FindClose $0
        ${EndIf}
    ${EndIf}
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; Logs a command's output, on the stack, when it printed anything.
Function LogOutput
    Exch $0
    ${If} $0 != ""
        Push $0
        Call LogLine
    ${EndIf}
    Pop $0
FunctionEnd

; Runs icacls on the link itself, never its target (/L), logging the command and each line it
; printed; a failure ends setup.
!macro ICACLS target arguments
    Push '"${target}" ${arguments} /L'
    Call Icacls
!macroend
Function Icacls
    Exch $0
    Push $1
    !insertmacro LOG 'icacls $0'
    nsExec::ExecToStack '"$SYSDIR\icacls.exe" $0'
    Pop $1
    Call LogOutput
    ${If} $1 != 0
        !insertmacro LOG "icacls ended with $1."
        SetDetailsPrint both
        !insertmacro REFUSE ${EXIT_GRANT_FAILED} "Could not set the rights of $INSTDIR (icacls $0): see $LogFile."
    ${EndIf}
    Pop $1
    Pop $0
FunctionEnd

; Makes $INSTDIR the program's before anything is written into it: owned by the
; Administrators group, not inheriting the drive's rights (where every user may change
; folders), changed by SYSTEM and administrators only, read and run by every user; the
; operators change QUELMA.CFG, Data\ and Photo\.
Function LockFolder
    ${If} ${FileExists} "$SYSDIR\takeown.exe"
        !insertmacro LOG 'takeown /F "$INSTDIR" /A'
        nsExec::ExecToStack '"$SYSDIR\takeown.exe" /F "$INSTDIR" /A'
        Pop $0
        Call LogOutput
        ${If} $0 != 0
            !insertmacro REFUSE ${EXIT_GRANT_FAILED} "Could not make the Administrators group the owner of $INSTDIR: see $LogFile."
        ${EndIf}
    ${Else}
        !insertmacro ICACLS $INSTDIR "/setowner ${ADMINISTRATORS_SID}"
    ${EndIf}
    !insertmacro ICACLS $INSTDIR "/inheritance:r /grant:r ${SYSTEM_SID}:(OI)(CI)F ${ADMINISTRATORS_SID}:(OI)(CI)F ${USERS_SID}:(OI)(CI)RX"
FunctionEnd

; The operators' rights on what they change; a group that had them before and is replaced
; loses them.
Function GrantOperators
    ${ForEach} $0 0 2 + 1
        ${Select} $0
        ${Case} 0
            StrCpy $1 "$INSTDIR\QUELMA.CFG"
            StrCpy $2 "M"
        ${Case} 1
            StrCpy $1 "$INSTDIR\Data"
            StrCpy $2 "(OI)(CI)M"
        ${CaseElse}
            StrCpy $1 "$INSTDIR\Photo"
            StrCpy $2 "(OI)(CI)M"
        ${EndSelect}
        ${If} $OldOperators != ""
        ${AndIf} $OldOperators != $Operators
            !insertmacro ICACLS $1 '/remove:g "$OldOperators"'
        ${EndIf}
        !insertmacro ICACLS $1 '/grant "$Operators:$2"'
    ${Next}
FunctionEnd
