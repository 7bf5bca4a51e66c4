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
# packaging/windows_installer.nsh holds the steps that replace an
# installation; they handle the installed files by name, the uninstaller
# with them. A file that a later version no longer installs stays in this
# list, so that moving an installation of an earlier version removes it.
set(install_key "Software\\${CPACK_PACKAGE_VENDOR}\\${CPACK_PACKAGE_INSTALL_REGISTRY_KEY}")
set(uninstall_key
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\${CPACK_PACKAGE_INSTALL_REGISTRY_KEY}")
# One installer or uninstaller at a time, in every session.
set(CPACK_ZVK_SETUP_MUTEX "Global\\${PROJECT_NAME}-setup")
set(installed_files zvk-setup-dumper.exe Uninstall.exe)
foreach(document IN LISTS windows_documents)
  get_filename_component(name ${document} NAME)
  list(APPEND installed_files ${name})
endforeach()
set(for_each_file "")
foreach(name IN LISTS installed_files)
  string(APPEND for_each_file "  Push \"${name}\"\n  Call \${function}\n")
endforeach()
set(CPACK_NSIS_DEFINES "Target amd64-unicode
SetDateSave off
InstallDirRegKey HKLM \"${install_key}\" \"\"
VIProductVersion ${PROJECT_VERSION}.0
VIAddVersionKey /LANG=1033 ProductName ${PROJECT_NAME}
VIAddVersionKey /LANG=1033 ProductVersion ${PROJECT_VERSION}
VIAddVersionKey /LANG=1033 FileVersion ${PROJECT_VERSION}
VIAddVersionKey /LANG=1033 FileDescription \"${PROJECT_NAME} ${PROJECT_VERSION} setup\"
VIAddVersionKey /LANG=1033 CompanyName \"${CPACK_PACKAGE_VENDOR}\"
VIAddVersionKey /LANG=1033 LegalCopyright \"MIT license\"
!define ZVK_INSTALL_KEY \"${install_key}\"
!define ZVK_UNINSTALL_KEY \"${uninstall_key}\"
!define ZVK_MUTEX \"${CPACK_ZVK_SETUP_MUTEX}\"
!macro zvk_for_each_file function
${for_each_file}!macroend
!include \"${PROJECT_SOURCE_DIR}/packaging/windows_installer.nsh\"")

# The tool's icon on the installer and the uninstaller; the Start-menu
# entry and Apps & features (DisplayIcon) take the executable's.
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/packaging/icon/zvk-setup-dumper.ico)
set(CPACK_NSIS_MUI_UNIICON ${CPACK_NSIS_MUI_ICON})

# CPack's script puts this where its own `File /r` would be, between the
# start of the installation and the registry: the files are written beside
# the installation, then switched over (the section before it chose the
# folder). A file that cannot be written sets the error flag rather than
# asking, or being skipped without a word when silent.
set(CPACK_NSIS_FULL_INSTALL [[
  Call zvk_open_staging
  SetOverwrite try
  File /r "${INST_DIR}\*.*"
  WriteUninstaller "$zvk_staging\Uninstall.exe"
  SetOverwrite on
  Call zvk_switch_over]])

# The Start-menu entry opens the tool at its prompt, in the installation
# folder, where sample.qdp lies.
set(CPACK_NSIS_CREATE_ICONS_EXTRA [[
  SetOutPath "$INSTDIR"
  CreateShortCut "$SMPROGRAMS\$STARTMENU_FOLDER\zvk-setup-dumper.lnk" "$INSTDIR\zvk-setup-dumper.exe"]])
# The uninstaller runs this twice, once for the folder it finds in the
# registry and once for the one recorded at installation. The vendor's key
# holds the installation's key only, which the uninstaller has removed.
# Last, once, the word on a restart (see un.zvk_restart_notice).
set(CPACK_NSIS_DELETE_ICONS_EXTRA "
  Delete \"$SMPROGRAMS\\$MUI_TEMP\\zvk-setup-dumper.lnk\"
  DeleteRegKey /ifempty SHCTX \"Software\\${CPACK_PACKAGE_VENDOR}\"
  Call un.zvk_restart_notice")

# The verb goes to SystemFileAssociations, which adds to the context menu of
# every .qdp file whatever program owns the type: the extension's own key
# and its default program stay as they were. Then the size and folder for
# Apps & features, and the old files go.
set(verb_key [[Software\Classes\SystemFileAssociations\.qdp\shell\zvk-setup-dumper]])
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "
  WriteRegStr SHCTX \"${verb_key}\" \"\" \"Show car setup\"
  WriteRegStr SHCTX \"${verb_key}\\command\" \"\" '\"$INSTDIR\\zvk-setup-dumper.exe\" \"%1\"'
  Call zvk_finish")
# The keys above the verb go only if nothing else is in them. The tool may
# be running, waiting at its pause: what cannot be deleted now is deleted at
# the next restart.
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "
  Call un.zvk_take_mutex
  Call un.zvk_remove_executables
  DeleteRegKey SHCTX \"${verb_key}\"
  DeleteRegKey /ifempty SHCTX \"Software\\Classes\\SystemFileAssociations\\.qdp\\shell\"
  DeleteRegKey /ifempty SHCTX \"Software\\Classes\\SystemFileAssociations\\.qdp\"
  DeleteRegKey /ifempty SHCTX \"Software\\Classes\\SystemFileAssociations\"")
