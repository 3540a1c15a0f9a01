; The setup log (/LOG=<file>, by default QuelmaSetup.log in the Windows temp folder): every
; step, every command and its output, so that a deployment tool's operator can read why a
; station ended as it did. Each line is appended and the file closed again, so that the
; uninstaller's copy and the setup program may both write it.

Var LogFile

!macro DEFINE_LOG prefix
; Appends the line on the stack to the log and to the details window.
Function ${prefix}LogLine
    Exch $0
    Push $1
    DetailPrint $0
    ${If} $LogFile != ""
        ClearErrors
        FileOpen $1 $LogFile a
        ${IfNot} ${Errors}
            FileSeek $1 0 END
            FileWrite $1 "$0$\r$\n"
            FileClose $1
        ${EndIf}
    ${EndIf}
    Pop $1
    Pop $0
FunctionEnd

; Takes /LOG=<file> from the command line, or the default; "" on the stack when the log
; can be written, else why not.
Function ${prefix}OpenLog
    Push $0
    Push $1
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/LOG=" $LogFile
    ${If} ${Errors}
    ${OrIf} $LogFile == ""
        StrCpy $LogFile "$WINDIR\Temp\QuelmaSetup.log"
    ${EndIf}
    ClearErrors
    FileOpen $1 $LogFile a
    ${If} ${Errors}
        StrCpy $0 "The log $LogFile cannot be written: give /LOG= a file in a folder that exists."
        StrCpy $LogFile ""
    ${Else}
        FileSeek $1 0 END
        FileWrite $1 "$\r$\n"
        FileClose $1
        StrCpy $0 ""
    ${EndIf}
    Pop $1
    Exch $0
FunctionEnd
!macroend
!insertmacro DEFINE_LOG ""
!insertmacro DEFINE_LOG "un."

!macro LOG text
    Push `${text}`
    !ifdef __UNINSTALL__
        Call un.LogLine
    !else
        Call LogLine
    !endif
!macroend

; Ends a silent run, or leaves an interactive one, with its reason logged and shown.
!macro REFUSE code reason
    !insertmacro LOG "Refused (exit code ${code}): ${reason}"
    MessageBox MB_OK|MB_ICONSTOP `${reason}` /SD IDOK
    SetErrorLevel ${code}
    Quit
!macroend
