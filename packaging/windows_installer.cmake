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
set(CPACK_NSIS_DEFINES "Target amd64-unicode
SetDateSave off
VIProductVersion ${PROJECT_VERSION}.0
VIAddVersionKey /LANG=1033 ProductName ${PROJECT_NAME}
VIAddVersionKey /LANG=1033 ProductVersion ${PROJECT_VERSION}
VIAddVersionKey /LANG=1033 FileVersion ${PROJECT_VERSION}
VIAddVersionKey /LANG=1033 FileDescription \"${PROJECT_NAME} ${PROJECT_VERSION} setup\"
VIAddVersionKey /LANG=1033 CompanyName \"${CPACK_PACKAGE_VENDOR}\"
VIAddVersionKey /LANG=1033 LegalCopyright \"MIT license\"")

# The Start-menu entry opens the tool at its prompt, in the installation
# folder, where sample.qdp lies.
set(CPACK_NSIS_CREATE_ICONS_EXTRA [[
  SetOutPath "$INSTDIR"
  CreateShortCut "$SMPROGRAMS\$STARTMENU_FOLDER\zvk-setup-dumper.lnk" "$INSTDIR\zvk-setup-dumper.exe"]])
# The uninstaller runs this twice, once for the folder it finds in the
# registry and once for the one recorded at installation. The vendor's key
# holds the installation's key only, which the uninstaller has removed.
set(CPACK_NSIS_DELETE_ICONS_EXTRA "
  Delete \"$SMPROGRAMS\\$MUI_TEMP\\zvk-setup-dumper.lnk\"
  DeleteRegKey /ifempty SHCTX \"Software\\${CPACK_PACKAGE_VENDOR}\"")

# The verb goes to SystemFileAssociations, which adds to the context menu of
# every .qdp file whatever program owns the type: the extension's own key
# and its default program stay as they were.
set(verb_key [[Software\Classes\SystemFileAssociations\.qdp\shell\zvk-setup-dumper]])
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "
  WriteRegStr SHCTX \"${verb_key}\" \"\" \"Show car setup\"
  WriteRegStr SHCTX \"${verb_key}\\command\" \"\" '\"$INSTDIR\\zvk-setup-dumper.exe\" \"%1\"'")
# The keys above the verb go only if nothing else is in them.
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "
  DeleteRegKey SHCTX \"${verb_key}\"
  DeleteRegKey /ifempty SHCTX \"Software\\Classes\\SystemFileAssociations\\.qdp\\shell\"
  DeleteRegKey /ifempty SHCTX \"Software\\Classes\\SystemFileAssociations\\.qdp\"
  DeleteRegKey /ifempty SHCTX \"Software\\Classes\\SystemFileAssociations\"")
