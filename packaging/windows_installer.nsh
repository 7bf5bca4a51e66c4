; The installer's and the uninstaller's own steps, included into CPack's
; script by windows_installer.cmake, which defines ZVK_INSTALL_KEY,
; ZVK_UNINSTALL_KEY, ZVK_MUTEX and zvk_for_each_file.
;
; An installation is replaced as the most careful installers replace one:
; write first, switch over, then clean up. The new files are written into a
; folder of their own beside the installation and checked; only then are the
; old files set aside and the new ones moved in, by renaming; and only once
; the new installation is whole does the old one go. Until then a failure
; puts everything back and ends with a message and a non-zero exit status:
; the old installation, its files, its verb, its entry and its Start-menu
; entry, stays as it was.

!define ZVK_EXE "zvk-setup-dumper.exe"
; Beside the installed files while the installer runs.
!define ZVK_STAGING "zvk-setup-dumper.new"
!define ZVK_BACKUP "zvk-setup-dumper.bak"

Var zvk_mutex ; held until the process ends
Var zvk_target ; the folder to install into, as given
Var zvk_identity ; that folder's identity
Var zvk_created ; the outermost folder this installer made, if any
Var zvk_old ; the folder of the installation found, if another one
Var zvk_old_menu ; the Start-menu folder of the installation found
Var zvk_staging ; where the new files are written first
Var zvk_backup ; where the old files wait until the new ones are in
Var zvk_phase ; how far the switch went: "", "aside", "in" or "done"
Var zvk_failed ; the file a step could not move
Var zvk_size ; the installed files' size, in bytes
Var zvk_restart ; the uninstaller: "1" when a restart completes it

; One installer or uninstaller of the tool at a time, in every session: two
; at once interleave their files and registry entries. Exit status 1618 is
; Windows Installer's for the same case, "another installation is in
; progress", which deployment tools try again later.
!macro zvk_take_mutex un
  Function ${un}zvk_take_mutex
    System::Call 'kernel32::CreateMutexW(p 0, i 0, w "${ZVK_MUTEX}") p .s'
    Pop $zvk_mutex
    System::Call 'kernel32::WaitForSingleObject(p $zvk_mutex, i 0) i .s'
    Pop $0
    StrCmp $0 0 zvk_taken ; WAIT_OBJECT_0
    StrCmp $0 128 zvk_taken ; WAIT_ABANDONED: its holder ended without letting go
    DetailPrint "Another installer or uninstaller of zvk-setup-dumper is running."
    MessageBox MB_OK|MB_ICONSTOP "Another installer or uninstaller of zvk-setup-dumper is running: run this one again when it has finished." /SD IDOK
    SetErrorLevel 1618
    Abort
    zvk_taken:
  FunctionEnd
!macroend
!insertmacro zvk_take_mutex ""
!insertmacro zvk_take_mutex "un."

; Says why the installation cannot go on, given on the stack, and ends it;
; .onInstFailed puts back what was there.
Function zvk_fail
  Exch $0
  DetailPrint "$0"
  MessageBox MB_OK|MB_ICONSTOP "$0" /SD IDOK
  SetErrorLevel 2
  Abort
FunctionEnd

; $0 becomes the full form of the path $0 (absolute, `.` and `..` resolved),
; which need not exist; "" when there is none.
Function zvk_full_path
  Push $1
  System::Call 'kernel32::GetFullPathNameW(w r0, i ${NSIS_MAX_STRLEN}, w .r0, p 0) i .r1'
  IntCmp $1 0 zvk_none
  IntCmp $1 ${NSIS_MAX_STRLEN} zvk_none zvk_done zvk_none
  zvk_none:
    StrCpy $0 ""
  zvk_done:
  Pop $1
FunctionEnd

; $0 becomes the long form of the existing path $0, as Explorer shows it,
; rather than a short 8.3 spelling (C:\PROGRA~1\...).
Function zvk_long_path
  Push $1
  Push $2
  System::Call 'kernel32::GetLongPathNameW(w r0, w .r2, i ${NSIS_MAX_STRLEN}) i .r1'
  IntCmp $1 0 zvk_done
  IntCmp $1 ${NSIS_MAX_STRLEN} zvk_done 0 zvk_done
  StrCpy $0 $2
  zvk_done:
  Pop $2
  Pop $1
FunctionEnd

; $1 becomes the identity of the folder $0: the serial number of its volume
; and its file index, which every spelling of it shares (the short 8.3 one,
; a subst drive, a junction); "" when $0 is not a folder.
Function zvk_folder_identity
  Push $2
  Push $3
  Push $4
  Push $5
  Push $6
  StrCpy $1 ""
  ; FILE_READ_ATTRIBUTES, any sharing, OPEN_EXISTING, and
  ; FILE_FLAG_BACKUP_SEMANTICS, without which a folder does not open.
  System::Call 'kernel32::CreateFileW(w r0, i 0x80, i 7, p 0, i 3, i 0x02000000, p 0) p .r2'
  ; BY_HANDLE_FILE_INFORMATION: 13 DWORDs.
  System::Alloc 52
  Pop $3
  System::Call 'kernel32::GetFileInformationByHandle(p r2, p r3) i .r4'
  System::Call 'kernel32::CloseHandle(p r2)'
  IntCmp $4 0 zvk_done
  System::Call '*$3(i .r4, i, i, i, i, i, i, i .r2, i, i, i, i .r5, i .r6)'
  IntOp $4 $4 & 0x10 ; FILE_ATTRIBUTE_DIRECTORY
  IntCmp $4 0 zvk_done
  StrCpy $1 "$2-$5-$6"
  zvk_done:
  System::Free $3
  Pop $6
  Pop $5
  Pop $4
  Pop $3
  Pop $2
FunctionEnd

; Before anything changes: the folder to install into, made and known by its
; identity, and the installation already there or elsewhere.
Section "-zvk folder"
  Call zvk_take_mutex
  ; A silent installer takes /D= as given: NSIS quietly puts the recorded
  ; folder in place of one it cannot use (a file on the way, a drive that
  ; does not exist, a device name), which must fail instead. /D= is the
  ; command line's last option, up to its end.
  StrCpy $zvk_target $INSTDIR
  IfSilent 0 zvk_target_chosen
  System::Call 'kernel32::GetCommandLineW() w .r0'
  StrCpy $1 0
  zvk_find_option:
    StrCpy $2 $0 4 $1
    StrCmp $2 "" zvk_target_chosen
    StrCmpS $2 " /D=" zvk_option_found
    IntOp $1 $1 + 1
    Goto zvk_find_option
  zvk_option_found:
  IntOp $1 $1 + 4
  StrCpy $zvk_target $0 "" $1
  zvk_target_chosen:

  ; A full path: a drive's or a share's.
  StrCpy $0 $zvk_target 2 1
  StrCmp $0 ":\" zvk_full
  StrCpy $0 $zvk_target 2
  StrCmp $0 "\\" zvk_full
  Push "Cannot install into $zvk_target: it is not the full path of a folder."
  Call zvk_fail
  zvk_full:
  StrCpy $0 $zvk_target
  Call zvk_full_path
  ; Without a backslash at the end, but for a drive's root (C:\ is not C:).
  zvk_trim:
    StrCpy $1 $0 2 -2
    StrCmp $1 ":\" zvk_trimmed
    StrCpy $1 $0 1 -1
    StrCmp $1 "\" 0 zvk_trimmed
    StrCpy $0 $0 -1
    Goto zvk_trim
  zvk_trimmed:
  StrCpy $zvk_target $0

  ; The outermost of the folders on the way that do not exist yet: a failure
  ; removes what this installer made.
  StrCpy $zvk_created ""
  zvk_find_existing:
    IfFileExists "$0\*.*" zvk_found_existing
    StrCpy $zvk_created $0
    StrCpy $1 $0
    StrCpy $0 "$0\.."
    Call zvk_full_path
    StrCmp $0 "" zvk_found_existing
    StrCmp $0 $1 zvk_found_existing ; a root that does not exist
    Goto zvk_find_existing
  zvk_found_existing:

  ClearErrors
  CreateDirectory $zvk_target
  IfErrors zvk_cannot_create
  StrCpy $0 $zvk_target
  Call zvk_folder_identity
  StrCmp $1 "" zvk_cannot_create
  StrCpy $zvk_identity $1
  ; Not a drive's root, whose parent is itself: the uninstaller would take
  ; a README.md that is not the tool's.
  StrCpy $0 "$zvk_target\.."
  Call zvk_folder_identity
  StrCmp $1 $zvk_identity 0 zvk_made
  Push "Cannot install into $zvk_target: it is the root of a drive."
  Call zvk_fail
  zvk_cannot_create:
  Push "Cannot make the folder $zvk_target: nothing was changed."
  Call zvk_fail
  zvk_made:
  StrCpy $0 $zvk_target
  Call zvk_long_path
  StrCpy $INSTDIR $0

  ; The installation found, and whether it is in another folder: another
  ; folder on disk, not another spelling of this one.
  ReadRegStr $zvk_old_menu HKLM "${ZVK_UNINSTALL_KEY}" "StartMenu"
  ReadRegStr $0 HKLM "${ZVK_INSTALL_KEY}" ""
  StrCpy $zvk_old ""
  StrCmp $0 "" zvk_old_known
  Call zvk_folder_identity
  StrCmp $1 "" zvk_old_known ; gone
  StrCmp $1 $zvk_identity zvk_old_known
  StrCpy $zvk_old $0
  zvk_old_known:
SectionEnd

; The new files' folder, beside the installation; what an installer that
; could not finish left there goes first.
Function zvk_open_staging
  StrCpy $zvk_staging "$INSTDIR\${ZVK_STAGING}"
  StrCpy $zvk_backup "$INSTDIR\${ZVK_BACKUP}"
  RMDir /r $zvk_staging
  RMDir /r $zvk_backup
  ClearErrors
  CreateDirectory $zvk_backup
  SetOutPath $zvk_staging
  IfErrors 0 zvk_open
  Push "Cannot write into $INSTDIR: nothing was changed."
  Call zvk_fail
  zvk_open:
FunctionEnd

; The file named on the stack is among the new files.
Function zvk_check_written
  Exch $0
  IfFileExists "$zvk_staging\$0" zvk_written
  StrCpy $zvk_failed $0
  zvk_written:
  Pop $0
FunctionEnd

; The installed file named on the stack, where there is one, goes aside.
Function zvk_set_aside
  Exch $0
  IfFileExists "$INSTDIR\$0" 0 zvk_done
  ClearErrors
  Rename "$INSTDIR\$0" "$zvk_backup\$0"
  IfErrors 0 zvk_done
  StrCpy $zvk_failed $0
  zvk_done:
  Pop $0
FunctionEnd

; The new file named on the stack takes its place.
Function zvk_move_in
  Exch $0
  ClearErrors
  Rename "$zvk_staging\$0" "$INSTDIR\$0"
  IfErrors 0 zvk_done
  StrCpy $zvk_failed $0
  zvk_done:
  Pop $0
FunctionEnd

; After the new files are written (with `SetOverwrite try`, a file that
; cannot be written sets the error flag): checked, then switched over.
Function zvk_switch_over
  StrCpy $zvk_failed ""
  IfErrors zvk_not_written
  !insertmacro zvk_for_each_file zvk_check_written
  StrCmp $zvk_failed "" zvk_written
  zvk_not_written:
  Push "Cannot write the files into $INSTDIR: nothing was changed."
  Call zvk_fail
  zvk_written:
  SetOutPath $INSTDIR

  ; Renaming the executable works even while the tool runs from it.
  StrCpy $zvk_phase aside
  !insertmacro zvk_for_each_file zvk_set_aside
  StrCmp $zvk_failed "" zvk_aside
  Push "Cannot replace $INSTDIR\$zvk_failed (is it open?): nothing was changed."
  Call zvk_fail
  zvk_aside:
  StrCpy $zvk_phase in
  !insertmacro zvk_for_each_file zvk_move_in
  StrCmp $zvk_failed "" zvk_in
  Push "Cannot move $zvk_failed into $INSTDIR: nothing was changed."
  Call zvk_fail
  zvk_in:
  StrCpy $zvk_phase done
FunctionEnd

; The installed file named on the stack goes, and the one set aside for it
; comes back.
Function zvk_put_back
  Exch $0
  StrCmp $zvk_phase in 0 zvk_new_out
  Delete "$INSTDIR\$0"
  zvk_new_out:
  IfFileExists "$zvk_backup\$0" 0 zvk_done
  Rename "$zvk_backup\$0" "$INSTDIR\$0"
  zvk_done:
  Pop $0
FunctionEnd

; A failure before the new installation was whole: the old one is put back
; as it was, and what this installer wrote and made goes.
Function .onInstFailed
  StrCmp $zvk_phase "" zvk_nothing_moved
  StrCmp $zvk_phase done zvk_nothing_moved
  !insertmacro zvk_for_each_file zvk_put_back
  zvk_nothing_moved:
  SetOutPath $TEMP ; out of the folders about to go
  StrCmp $zvk_staging "" zvk_nothing_written
  RMDir /r $zvk_staging
  RMDir $zvk_backup
  zvk_nothing_written:
  StrCmp $zvk_created "" zvk_nothing_made
  StrCpy $0 $zvk_target
  zvk_remove_made:
    RMDir $0
    StrCmp $0 $zvk_created zvk_nothing_made
    StrCpy $0 "$0\.."
    Call zvk_full_path
    StrCmp $0 "" zvk_nothing_made
    Goto zvk_remove_made
  zvk_nothing_made:
FunctionEnd

; zvk_finish's steps on the file named on the stack.
Function zvk_delete_set_aside
  Exch $0
  Delete "$zvk_backup\$0"
  Pop $0
FunctionEnd

Function zvk_delete_old
  Exch $0
  Delete /REBOOTOK "$zvk_old\$0"
  Pop $0
FunctionEnd

Function zvk_add_size
  Exch $0
  Push $1
  Push $2
  FileOpen $1 "$INSTDIR\$0" r
  FileSeek $1 0 END $2
  FileClose $1
  IntOp $zvk_size $zvk_size + $2
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; Once the new installation is whole and registered: its size and folder
; for Apps & features, then the old files go.
Function zvk_finish
  StrCpy $zvk_size 0
  !insertmacro zvk_for_each_file zvk_add_size
  IntOp $zvk_size $zvk_size + 1023
  IntOp $zvk_size $zvk_size / 1024
  WriteRegDWORD SHCTX "${ZVK_UNINSTALL_KEY}" "EstimatedSize" $zvk_size
  WriteRegStr SHCTX "${ZVK_UNINSTALL_KEY}" "InstallLocation" $INSTDIR

  !insertmacro zvk_for_each_file zvk_delete_set_aside
  ; An executable still running (the tool waiting at its pause) cannot be
  ; deleted: it becomes zvk-setup-dumper.exe.old, or .old2, .old3 ... while
  ; those still run too, and goes at the next restart.
  IfFileExists "$zvk_backup\${ZVK_EXE}" 0 zvk_exe_gone
  StrCpy $0 1
  StrCpy $1 "$INSTDIR\${ZVK_EXE}.old"
  zvk_find_free:
    Delete $1
    IfFileExists $1 0 zvk_free_found
    IntOp $0 $0 + 1
    StrCpy $1 "$INSTDIR\${ZVK_EXE}.old$0"
    Goto zvk_find_free
  zvk_free_found:
  Rename "$zvk_backup\${ZVK_EXE}" $1
  Delete /REBOOTOK $1
  DetailPrint "${ZVK_EXE} is in use: the old one is deleted when Windows restarts"
  zvk_exe_gone:
  Delete /REBOOTOK "$zvk_backup\${ZVK_EXE}"
  RMDir /REBOOTOK $zvk_backup
  RMDir /r $zvk_staging

  ; An installation in another folder goes by the names of the tool's files:
  ; its uninstaller, which may be missing, would also remove the verb, the
  ; entry and the Start-menu entry that this installation now has.
  StrCmp $zvk_old "" zvk_old_gone
  DetailPrint "Removing the installation in $zvk_old"
  !insertmacro zvk_for_each_file zvk_delete_old
  Delete /REBOOTOK "$zvk_old\${ZVK_EXE}.old*"
  RMDir /REBOOTOK $zvk_old
  zvk_old_gone:
  ; Its Start-menu entry, where another folder was chosen for this one.
  StrCmp $zvk_old_menu "" zvk_menu_gone
  StrCmp $zvk_old_menu $STARTMENU_FOLDER zvk_menu_gone
  Delete "$SMPROGRAMS\$zvk_old_menu\zvk-setup-dumper.lnk"
  Delete "$SMPROGRAMS\$zvk_old_menu\Uninstall.lnk"
  RMDir "$SMPROGRAMS\$zvk_old_menu"
  zvk_menu_gone:
FunctionEnd

; The uninstaller: the executables, the one an upgrade renamed too, and what
; an installer that could not finish left behind. One still running (the
; tool waiting at its pause) goes at the next restart.
Function un.zvk_remove_executables
  StrCpy $zvk_restart ""
  Delete /REBOOTOK "$INSTDIR\${ZVK_EXE}.old*"
  Delete /REBOOTOK "$INSTDIR\${ZVK_EXE}"
  IfRebootFlag 0 zvk_gone
  StrCpy $zvk_restart 1
  zvk_gone:
  RMDir /r "$INSTDIR\${ZVK_STAGING}"
  RMDir /r "$INSTDIR\${ZVK_BACKUP}"
FunctionEnd

; Once, after the rest is gone: a folder that holds a running executable
; goes at the next restart, and the user is told so, a silent uninstaller by
; its exit status, Windows' "done, a restart completes it" (3010).
Function un.zvk_restart_notice
  StrCmp $zvk_restart "" zvk_done
  RMDir /REBOOTOK $INSTDIR
  MessageBox MB_OK|MB_ICONINFORMATION "${ZVK_EXE} is still running, so it and $INSTDIR are removed when Windows restarts." /SD IDOK
  SetErrorLevel 3010
  StrCpy $zvk_restart ""
  zvk_done:
FunctionEnd
