; Quelma's one-copy mutex. The program names it "Global\Quelma.<hash>": FNV-1a (64-bit) of
; the install folder in the ANSI code page, a..z upper case, no trailing backslash; a mutex
; of another user's session answers "access denied". Setup and the uninstaller hold it for
; their whole run: Quelma cannot start midway, and a running Quelma is seen before anything
; changes.

!define EXIT_QUELMA_RUNNING 1618 ; ERROR_INSTALL_ALREADY_RUNNING: deployment tools retry it

!macro DEFINE_MUTEX prefix
; Takes the mutex of the folder on the stack; pushes its handle, or 0 when a Quelma of that
; folder runs.
Function ${prefix}HoldMutex
    Exch $0
    Push $1
    Push $2
    Push $3
    Push $4
    Push $5
    System::Alloc 1024
    Pop $5
    System::Call 'kernel32::WideCharToMultiByte(i 0, i 0, w r0, i -1, p r5, i 1024, p 0, p 0) i .r1'
    IntOp $1 $1 - 1 ; without the terminating zero
    ${DoWhile} $1 > 0 ; nor trailing backslashes
        IntPtrOp $4 $5 + $1
        IntPtrOp $4 $4 - 1
        System::Call '*$4(&i1 .r4)'
        ${IfThen} $4 <> 92 ${|} ${ExitDo} ${|}
        IntOp $1 $1 - 1
    ${Loop}
    StrCpy $2 "-3750763034362895579" ; 0xcbf29ce484222325
    StrCpy $3 0
    ${While} $3 < $1
        IntPtrOp $4 $5 + $3
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
    System::Free $5
    System::Int64Op $2 >> 32
    Pop $3
    System::Int64Op $3 & 0xFFFFFFFF
    Pop $3
    System::Int64Op $2 & 0xFFFFFFFF
    Pop $4
    IntFmt $3 "%08x" $3
    IntFmt $4 "%08x" $4
    System::Call 'kernel32::CreateMutexW(p 0, i 0, w "Global\Quelma.$3$4") p .r1 ?e'
    Pop $2
    ${If} $2 = 183 ; ERROR_ALREADY_EXISTS
    ${AndIf} $1 P<> 0
        System::Call 'kernel32::CloseHandle(p r1)'
        StrCpy $1 0
    ${EndIf}
    StrCpy $0 $1
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Exch $0
FunctionEnd

; Holds the mutex of the folder on the stack, waiting with Retry/Cancel while Quelma runs
; there; silent, or on Cancel, ends with 1618. Pushes the handle.
Function ${prefix}LockOutQuelma
    Exch $0
    Push $1
    ${Do}
        Push $0
        Call ${prefix}HoldMutex
        Pop $1
        ${IfThen} $1 P<> 0 ${|} ${ExitDo} ${|}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Quelma is running. Close Quelma (EXIT), then press Retry.$\r$\nCancel leaves the installation as it is." /SD IDCANCEL IDRETRY retry
        !insertmacro REFUSE ${EXIT_QUELMA_RUNNING} "Quelma is running in $0: nothing was changed."
        retry:
    ${Loop}
    !insertmacro LOG "Holding Quelma's one-copy mutex of $0."
    StrCpy $0 $1
    Pop $1
    Exch $0
FunctionEnd
!macroend
!insertmacro DEFINE_MUTEX ""
!insertmacro DEFINE_MUTEX "un."

!macro RELEASE_MUTEX handle
    ${If} ${handle} P<> 0
        System::Call 'kernel32::CloseHandle(p ${handle})'
        StrCpy ${handle} 0
    ${EndIf}
!macroend
