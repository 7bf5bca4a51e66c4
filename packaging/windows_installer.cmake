# The Windows installer, made by CPack's NSIS generator beside the .zip: the
# .zip's files in a folder the user may change, a Start-menu entry, an entry
# in Apps & features with its uninstaller, and "Show car setup" in the
# context menu of .qdp files.
#
# It installs for all users, under Program Files, and asks for administrator
# rights: CPack's installer script requests them and then registers
# everything in the machine's part of the registry (SHCTX is HKLM). The
# verb then runs an executable that only administrators can replace, for
# every account on the machine; an installer per user would put the
# executable in the user's own, writable folders.
#
# Included from packaging.cmake before include(CPack). The values go into
# CPack's configuration as written: NSIS's backslashes, quotes and $ need
# no CMake escapes.
set(CPACK_VERBATIM_VARIABLES ON)

# Publisher in Apps & features, and the registry key of the installation.
set(CPACK_PACKAGE_VENDOR "The zvk-setup-dumper developers")
# Without the version, so that a new release installs over the old one
# instead of beside it, and the old one's uninstaller cannot remove the
# context-menu verb that both share.
set(CPACK_PACKAGE_INSTALL_DIRECTORY ${PROJECT_NAME})
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY ${PROJECT_NAME})
set(CPACK_NSIS_DISPLAY_NAME ${PROJECT_NAME})
set(CPACK_NSIS_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_NSIS_INSTALLED_ICON_NAME zvk-setup-dumper.exe)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_MODIFY_PATH OFF)
# A 64-bit installer for the 64-bit executable: it sees the 64-bit Program
# Files and registry. No file times: two builds give the same bytes, and
# the installed files carry the time of installation. And, like the
# executable, a version resource: its Properties say what it installs.
#
# An upgrade goes into the folder of the installation it finds, where the
# last installer recorded it, unless /D= (or the folder page) says otherwise.
set(install_key "Software\\${CPACK_PACKAGE_VENDOR}\\${CPACK_PACKAGE_INSTALL_REGISTRY_KEY}")
set(CPACK_NSIS_DEFINES "Target amd64-unicode
SetDateSave off
InstallDirRegKey HKLM \"${install_key}\" \"\"
VIProductVersion ${PROJECT_VERSION}.0
VIAddVersionKey /LANG=1033 ProductName ${PROJECT_NAME}
VIAddVersionKey /LANG=1033 ProductVersion ${PROJECT_VERSION}
VIAddVersionKey /LANG=1033 FileVersion ${PROJECT_VERSION}
VIAddVersionKey /LANG=1033 FileDescription \"${PROJECT_NAME} ${PROJECT_VERSION} setup\"
VIAddVersionKey /LANG=1033 CompanyName \"${CPACK_PACKAGE_VENDOR}\"
VIAddVersionKey /LANG=1033 LegalCopyright \"MIT license\"")

# The tool's icon on the installer and the uninstaller; the Start-menu
# entry and Apps & features (DisplayIcon) take the executable's.
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/packaging/icon/zvk-setup-dumper.ico)
set(CPACK_NSIS_MUI_UNIICON ${CPACK_NSIS_MUI_ICON})

# Before the files: an installation in another folder is removed, so that
# one installation remains, with one entry and one verb. Its uninstaller
# runs in place (_?=), or it would return at once from a copy of itself,
# and leaves itself and the folder to the caller. Then the executable: a
# running one (the tool waiting at its pause) cannot be replaced but can be
# renamed, and the old one is deleted at the next restart.
set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS [[
  ReadRegStr $0 HKLM "@install_key@" ""
  StrCmp $0 "" zvk_old_gone
  GetFullPathName $1 "$0"
  GetFullPathName $2 "$INSTDIR"
  StrCmp $1 $2 zvk_old_gone
  IfFileExists "$1\Uninstall.exe" 0 zvk_old_gone
  DetailPrint "Removing the installation in $1"
  ClearErrors
  ExecWait '"$1\Uninstall.exe" /S _?=$1' $3
  IfErrors zvk_old_failed
  StrCmp $3 0 zvk_old_removed
  StrCmp $3 3010 zvk_old_removed
  zvk_old_failed:
    MessageBox MB_OK|MB_ICONSTOP "The installation in $1 could not be removed." /SD IDOK
    SetErrorLevel 2
    Abort
  zvk_old_removed:
  Delete "$1\Uninstall.exe"
  Delete /REBOOTOK "$1\zvk-setup-dumper.exe"
  RMDir /REBOOTOK "$1"
  zvk_old_gone:
  Delete "$INSTDIR\zvk-setup-dumper.exe"
  IfFileExists "$INSTDIR\zvk-setup-dumper.exe" 0 zvk_exe_free
  Delete "$INSTDIR\zvk-setup-dumper.exe.old"
  ClearErrors
  Rename "$INSTDIR\zvk-setup-dumper.exe" "$INSTDIR\zvk-setup-dumper.exe.old"
  IfErrors 0 zvk_exe_renamed
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR\zvk-setup-dumper.exe is in use and cannot be replaced: close the tool's window and run the installer again." /SD IDOK
    SetErrorLevel 2
    Abort
  zvk_exe_renamed:
  DetailPrint "zvk-setup-dumper.exe is in use: the old one is deleted when Windows restarts"
  Delete /REBOOTOK "$INSTDIR\zvk-setup-dumper.exe.old"
  zvk_exe_free:]])
string(CONFIGURE "${CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS}" CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS
       @ONLY)

# The Start-menu entry opens the tool at its prompt, in the installation
# folder, where sample.qdp lies.
set(CPACK_NSIS_CREATE_ICONS_EXTRA [[
  SetOutPath "$INSTDIR"
  CreateShortCut "$SMPROGRAMS\$STARTMENU_FOLDER\zvk-setup-dumper.lnk" "$INSTDIR\zvk-setup-dumper.exe"]])
# The uninstaller runs this twice, once for the folder it finds in the
# registry and once for the one recorded at installation. The vendor's key
# holds the installation's key only, which the uninstaller has removed.
# Last, once: a folder that holds a running executable goes at the next
# restart, and the user is told so, a silent uninstallation by its exit
# code, Windows' "done, a restart completes it" (3010).
set(CPACK_NSIS_DELETE_ICONS_EXTRA "
  Delete \"$SMPROGRAMS\\$MUI_TEMP\\zvk-setup-dumper.lnk\"
  DeleteRegKey /ifempty SHCTX \"Software\\${CPACK_PACKAGE_VENDOR}\"
  StrCmp $R9 \"\" +5
    RMDir /REBOOTOK \"$INSTDIR\"
    MessageBox MB_OK|MB_ICONINFORMATION \"zvk-setup-dumper.exe is still running, so it and $INSTDIR are removed when Windows restarts.\" /SD IDOK
    SetErrorLevel 3010
    StrCpy $R9 \"\"")

# The verb goes to SystemFileAssociations, which adds to the context menu of
# every .qdp file whatever program owns the type: the extension's own key
# and its default program stay as they were.
set(verb_key [[Software\Classes\SystemFileAssociations\.qdp\shell\zvk-setup-dumper]])
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "
  WriteRegStr SHCTX \"${verb_key}\" \"\" \"Show car setup\"
  WriteRegStr SHCTX \"${verb_key}\\command\" \"\" '\"$INSTDIR\\zvk-setup-dumper.exe\" \"%1\"'")
# The keys above the verb go only if nothing else is in them. The tool may
# be running, waiting at its pause, from the executable or from the one an
# upgrade renamed: what cannot be deleted now is deleted at the next restart.
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "
  StrCpy $R9 \"\"
  Delete /REBOOTOK \"$INSTDIR\\zvk-setup-dumper.exe.old\"
  Delete /REBOOTOK \"$INSTDIR\\zvk-setup-dumper.exe\"
  IfRebootFlag 0 +2
    StrCpy $R9 restart
  DeleteRegKey SHCTX \"${verb_key}\"
  DeleteRegKey /ifempty SHCTX \"Software\\Classes\\SystemFileAssociations\\.qdp\\shell\"
  DeleteRegKey /ifempty SHCTX \"Software\\Classes\\SystemFileAssociations\\.qdp\"
  DeleteRegKey /ifempty SHCTX \"Software\\Classes\\SystemFileAssociations\"")
