; /MOVE: the settings, members, measurements and photos follow the installation into a new
; folder whole. Every file is copied, then compared by size and SHA-256 with its original,
; and only then are the originals removed.

Var MoveFrom
Var MoveFault

; Pushes "<size> <sha256>" of the file on the stack, or "" when it cannot be read.
Function FileDigest
    Exch $0
    Push $1
    Push $2
    Push $3
    Push $4
    Push $5
    Push $6
    Push $7
    StrCpy $7 ""
    ; GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING
    System::Call 'kernel32::CreateFileW(w r0, i 0x80000000, i 1, p 0, i 3, i 0, p 0) p .r1'
    ${If} $1 P<> -1
        ; PROV_RSA_AES, CRYPT_VERIFYCONTEXT; CALG_SHA_256
        System::Call 'advapi32::CryptAcquireContextW(*p .r2, p 0, p 0, i 24, i 0xF0000000) i .r3'
        ${If} $3 <> 0
            System::Call 'advapi32::CryptCreateHash(p r2, i 0x800C, p 0, i 0, *p .r4) i .r3'
            ${If} $3 <> 0
                System::Alloc 65536
                Pop $5
                StrCpy $6 0
                ${Do}
                    System::Call 'kernel32::ReadFile(p r1, p r5, i 65536, *i .r0, p 0) i .r3'
                    ${If} $3 = 0
                        StrCpy $6 ""
                        ${ExitDo}
                    ${EndIf}
                    ${IfThen} $0 = 0 ${|} ${ExitDo} ${|}
                    System::Call 'advapi32::CryptHashData(p r4, p r5, i r0, i 0)'
                    System::Int64Op $6 + $0
                    Pop $6
                ${Loop}
                System::Call 'advapi32::CryptGetHashParam(p r4, i 2, p r5, *i 32, i 0) i .r3'
                ${If} $3 <> 0
                ${AndIf} $6 != ""
                    StrCpy $7 "$6 "
                    ${ForEach} $3 0 31 + 1
                        IntPtrOp $0 $5 + $3
                        System::Call '*$0(&i1 .r0)'
                        IntOp $0 $0 & 0xFF
                        IntFmt $0 "%02x" $0
                        StrCpy $7 "$7$0"
                    ${Next}
                ${EndIf}
                System::Free $5
                System::Call 'advapi32::CryptDestroyHash(p r4)'
            ${EndIf}
            System::Call 'advapi32::CryptReleaseContext(p r2, i 0)'
        ${EndIf}
        System::Call 'kernel32::CloseHandle(p r1)'
    ${EndIf}
    StrCpy $0 $7
    Pop $7
    Pop $6
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Exch $0
FunctionEnd

; ${Locate} callbacks: $R9 is the path found.
Function NoteLink
    Push $R9
    Call IsLink
    Pop $R8
    ${If} $R8 = 1
        StrCpy $MoveFault "$R9 is a link to another place: move it by hand."
        Push "StopLocate"
    ${Else}
        Push ""
    ${EndIf}
FunctionEnd

Function CompareMoved
    Push $0
    Push $1
    StrLen $0 $MoveFrom
    StrCpy $0 $R9 "" $0 ; \Data\...
    Push $R9
    Call FileDigest
    Pop $1
    Push "$INSTDIR$0"
    Call FileDigest
    Pop $0
    ${If} $1 == ""
    ${OrIf} $0 != $1
        StrCpy $MoveFault "$INSTDIR$0 is not the same as $R9 (size and SHA-256: $0, the original $1)."
    ${Else}
        !insertmacro LOG "  $R9: $1, the same in $INSTDIR."
    ${EndIf}
    Pop $1
    Pop $0
    ${If} $MoveFault == ""
        Push ""
    ${Else}
        Push "StopLocate"
    ${EndIf}
FunctionEnd

!macro MOVE_FAULT
    ${If} $MoveFault != ""
        !insertmacro REFUSE ${EXIT_FILE_FAILED} "The data could not be moved, and stays in $MoveFrom: $MoveFault"
    ${EndIf}
!macroend

; Removes a folder setup laid, without following a link in it.
Function RemoveTree
    Exch $0
    StrCpy $MoveFault ""
    StrCpy $R9 $0
    Call NoteLink
    Pop $R8
    ${If} $MoveFault != ""
        RMDir $0 ; the link only
        StrCpy $MoveFault ""
    ${Else}
        ${Locate} $0 "/L=D" NoteLink
    ${EndIf}
    ${If} $MoveFault == ""
        RMDir /r $0
    ${Else}
        !insertmacro LOG "Kept $0: $MoveFault"
        StrCpy $MoveFault ""
    ${EndIf}
    Pop $0
FunctionEnd

Function MoveData
    !insertmacro LOG "Moving QUELMA.CFG, Data\ and Photo\ from $MoveFrom to $INSTDIR."
    StrCpy $MoveFault ""
    ${ForEach} $0 0 2 + 1
        ${Select} $0
        ${Case} 0
            StrCpy $R9 $MoveFrom
        ${Case} 1
            StrCpy $R9 "$MoveFrom\Data"
        ${CaseElse}
            StrCpy $R9 "$MoveFrom\Photo"
        ${EndSelect}
        Call NoteLink
        Pop $R8
    ${Next}
    !insertmacro MOVE_FAULT
    ${Locate} "$MoveFrom\Data" "/L=D" NoteLink
    ${Locate} "$MoveFrom\Photo" "/L=D" NoteLink
    !insertmacro MOVE_FAULT
    ClearErrors
    CreateDirectory "$INSTDIR\Data"
    CreateDirectory "$INSTDIR\Photo"
    ${If} ${FileExists} "$MoveFrom\QUELMA.CFG"
        CopyFiles /SILENT "$MoveFrom\QUELMA.CFG" "$INSTDIR\QUELMA.CFG"
    ${EndIf}
    CopyFiles /SILENT "$MoveFrom\Data\*.*" "$INSTDIR\Data"
    CopyFiles /SILENT "$MoveFrom\Photo\*.*" "$INSTDIR\Photo"
    ${If} ${Errors}
        StrCpy $MoveFault "copying failed."
    ${EndIf}
    !insertmacro MOVE_FAULT
    ${If} ${FileExists} "$MoveFrom\QUELMA.CFG"
        StrCpy $R9 "$MoveFrom\QUELMA.CFG"
        Call CompareMoved
        Pop $0
    ${EndIf}
    ${If} $MoveFault == ""
        ${Locate} "$MoveFrom\Data" "/L=F" CompareMoved
    ${EndIf}
    ${If} $MoveFault == ""
        ${Locate} "$MoveFrom\Photo" "/L=F" CompareMoved
    ${EndIf}
    !insertmacro MOVE_FAULT
    !insertmacro LOG "Every file arrived whole: removing the installation in $MoveFrom."
    Delete "$MoveFrom\QUELMA.CFG"
    Push "$MoveFrom\Data"
    Call RemoveTree
    Push "$MoveFrom\Photo"
    Call RemoveTree
    Push "$MoveFrom\Resources"
    Call RemoveTree
    Delete "$MoveFrom\quelma.exe"
    Delete "$MoveFrom\quelma-32bit.exe"
    Delete "$MoveFrom\OPERATOR-GUIDE.txt"
    Delete "$MoveFrom\uninstall.exe"
    RMDir $MoveFrom
    ${If} ${FileExists} "$MoveFrom\*.*"
        !insertmacro LOG "Left in $MoveFrom, not Quelma's or in use: remove it by hand."
    ${EndIf}
FunctionEnd
