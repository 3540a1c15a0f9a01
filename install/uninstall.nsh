; Uninstalling. NSIS's uninstaller copies itself away and returns at once, before anything is
; removed, so a deployment tool would read 0 while Quelma is still there. uninstall.exe is
; therefore this setup program: it writes the uninstaller into its temporary folder, runs it
; on its own folder, waits for it and returns its exit code.

; Windows keeps a running program's file, so uninstall.exe cannot delete itself; it can be
; renamed away on its drive, though, and goes at the next restart.
Function RemoveSelf
    Delete $EXEPATH
    ${If} ${FileExists} $EXEPATH
        System::Call 'kernel32::GetTickCount() i .r0'
        StrCpy $0 "$WINDIR\Temp\QuelmaUninstall-$0.tmp"
        System::Call 'kernel32::MoveFileExW(w "$EXEPATH", w r0, i 1) i .r1' ; MOVEFILE_REPLACE_EXISTING
        ${If} $1 <> 0
            Delete /REBOOTOK $0
            !insertmacro LOG "uninstall.exe was moved to $0, removed at the next restart."
        ${Else}
            Delete /REBOOTOK $EXEPATH
            !insertmacro LOG "uninstall.exe is removed at the next restart."
        ${EndIf}
    ${EndIf}
    RMDir $EXEDIR
FunctionEnd

Function RunUninstaller
    ${GetParameters} $0
    ${StrStr} $1 $0 "_?="
    ${If} $1 != ""
        StrLen $1 $1
        IntOp $1 0 - $1
        StrCpy $0 $0 $1
    ${EndIf}
    !insertmacro LOG "Uninstalling Quelma from $EXEDIR."
    InitPluginsDir
    ClearErrors
    WriteUninstaller "$PLUGINSDIR\un.exe"
    ${If} ${Errors}
        !insertmacro REFUSE ${EXIT_FILE_FAILED} "Could not write the uninstaller into $PLUGINSDIR."
    ${EndIf}
    ExecWait '"$PLUGINSDIR\un.exe" $0 _?=$EXEDIR' $1
    ${If} ${Errors}
        !insertmacro REFUSE ${EXIT_FILE_FAILED} "Could not run the uninstaller."
    ${EndIf}
    ${If} $1 = 0
        Call RemoveSelf
    ${EndIf}
    !insertmacro LOG "Uninstalling ended with exit code $1."
    SetErrorLevel $1
    Quit
FunctionEnd

Function un.onInit
    SetShellVarContext all
    SetRegView 64
    StrCpy $Mutex 0
    Call un.OpenLog
    Pop $0
    !insertmacro LOG "Quelma uninstaller ${VERSION}: $INSTDIR"
    ${If} $0 != ""
        !insertmacro REFUSE ${EXIT_BAD_OPTION} $0
    ${EndIf}
    Push $INSTDIR
    Call un.LockOutQuelma
    Pop $Mutex
FunctionEnd

; Removes what setup laid; QUELMA.CFG, Data\ and Photo\ (and so the folder) stay. The key,
; the Apps & features entry and the shortcuts go only when they are this folder's: another
; installation may have taken them over.
Section Uninstall
    SetErrorLevel ${EXIT_FILE_FAILED}
    Delete "$INSTDIR\quelma.exe"
    Delete "$INSTDIR\quelma-32bit.exe"
    ${If} ${FileExists} "$INSTDIR\quelma.exe"
    ${OrIf} ${FileExists} "$INSTDIR\quelma-32bit.exe"
        !insertmacro REFUSE ${EXIT_FILE_FAILED} "Could not remove the program from $INSTDIR."
    ${EndIf}
    !insertmacro LOG "Removed the program from $INSTDIR."
    Delete "$INSTDIR\OPERATOR-GUIDE.txt"
    !insertmacro IF_LINK "$INSTDIR\Resources"
        RMDir "$INSTDIR\Resources"
    ${Else}
        RMDir /r "$INSTDIR\Resources"
    ${EndIf}
    ReadRegStr $0 HKLM "${SETTINGS_KEY}" "Path"
    ${If} $0 == $INSTDIR
        DeleteRegKey HKLM "SOFTWARE\Vantrel\Quelma"
        DeleteRegKey /ifempty HKLM "SOFTWARE\Vantrel"
        !insertmacro LOG "Removed the install-folder key."
    ${Else}
        !insertmacro LOG "The install-folder key names $\"$0$\": kept."
    ${EndIf}
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
        Delete "$SMPROGRAMS\Quelma.lnk"
        Delete "$SMPROGRAMS\Quelma (32-bit).lnk"
        Delete "$DESKTOP\Quelma.lnk"
        DeleteRegKey HKLM "${UNINSTALL_KEY}"
        !insertmacro LOG "Removed the shortcuts and the Apps & features entry."
    ${Else}
        !insertmacro LOG "The Apps & features entry and the shortcuts are $\"$0$\"'s: kept."
    ${EndIf}
    Delete "$INSTDIR\uninstall.exe" ; run in place, it stays: uninstall.exe removes itself
    RMDir $INSTDIR
    ${If} ${FileExists} "$INSTDIR\QUELMA.CFG"
        !insertmacro LOG "Kept in $INSTDIR: QUELMA.CFG, Data\ and Photo\."
        MessageBox MB_OK|MB_ICONINFORMATION "Quelma was removed. Its settings and members (QUELMA.CFG) and the measurements and photos (Data\, Photo\) stay in $INSTDIR." /SD IDOK
    ${EndIf}
SectionEnd

Function un.onUninstSuccess
    SetErrorLevel 0
    !insertmacro LOG "Done."
FunctionEnd
