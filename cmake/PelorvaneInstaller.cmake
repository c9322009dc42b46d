# The Windows installer, Pelorvane-<version>-win64-setup.exe beside the zip: NSIS's makensis
# builds packaging/windows/Pelorvane.nsi around the stripped bundle. Included by
# cmake/PelorvanePackage.cmake for the Windows build; sets PELORVANE_INSTALLER.
find_program(PELORVANE_MAKENSIS makensis REQUIRED)

set(PELORVANE_INSTALLER "${CMAKE_CURRENT_BINARY_DIR}/Pelorvane-${PROJECT_VERSION}-${PELORVANE_PLATFORM}-setup.exe")
set(PELORVANE_INSTALLER_SCRIPT "${PROJECT_SOURCE_DIR}/packaging/windows/Pelorvane.nsi")
set(PELORVANE_INSTALLER_WORK "${CMAKE_CURRENT_BINARY_DIR}/installer")

# Everything makensis is told, but the file lists and the output: the tests build an older
# version's installer from the same script with the same settings.
set(PELORVANE_MAKENSIS_DEFINES
    "-DPRODUCT=${PELORVANE_PRODUCT}"
    "-DVENDOR=${PELORVANE_VENDOR}"
    "-DURL=${PELORVANE_WEB_ADDRESS}"
    "-DCOPYRIGHT=${PELORVANE_COPYRIGHT}")

# Where the installer puts the bundle, as NSIS names it: the 64-bit Common Files folder.
set(PELORVANE_INSTALLED_BUNDLE "$COMMONFILES64\\VST3\\Pelorvane.vst3")
# And the factory presets: the VST3 folder for every user's presets, %PROGRAMDATA%\VST3 Presets
# (NSIS's $APPDATA for all users).
set(PELORVANE_INSTALLED_PRESETS "$APPDATA\\VST3 Presets\\${PELORVANE_VENDOR}\\${PELORVANE_PRODUCT}")

add_custom_command(OUTPUT "${PELORVANE_INSTALLER}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${PELORVANE_INSTALLER_WORK}"
    COMMAND bash "${PROJECT_SOURCE_DIR}/cmake/write-nsis-file-lists.sh"
            "${PELORVANE_BUNDLE_PARENT}/Pelorvane.vst3" "${PELORVANE_INSTALLED_BUNDLE}"
            "${PELORVANE_INSTALLER_WORK}/install-files.nsh" "${PELORVANE_INSTALLER_WORK}/uninstall-files.nsh"
    COMMAND bash "${PROJECT_SOURCE_DIR}/cmake/write-nsis-file-lists.sh"
            "${PELORVANE_VST3_PRESETS}" "${PELORVANE_INSTALLED_PRESETS}"
            "${PELORVANE_INSTALLER_WORK}/preset-install-files.nsh" "${PELORVANE_INSTALLER_WORK}/preset-uninstall-files.nsh"
    COMMAND "${PELORVANE_MAKENSIS}" -WX -V2 -INPUTCHARSET UTF8
            ${PELORVANE_MAKENSIS_DEFINES}
            "-DVERSION=${PROJECT_VERSION}"
            "-DINSTALL_FILES=${PELORVANE_INSTALLER_WORK}/install-files.nsh"
            "-DUNINSTALL_FILES=${PELORVANE_INSTALLER_WORK}/uninstall-files.nsh"
            "-DPRESET_INSTALL_FILES=${PELORVANE_INSTALLER_WORK}/preset-install-files.nsh"
            "-DPRESET_UNINSTALL_FILES=${PELORVANE_INSTALLER_WORK}/preset-uninstall-files.nsh"
            "-DOUTFILE=${PELORVANE_INSTALLER}"
            "${PELORVANE_INSTALLER_SCRIPT}"
    DEPENDS Pelorvane_VST3 "$<TARGET_FILE:Pelorvane_VST3>" "${PELORVANE_VST3_PRESETS_STAMP}"
            "${PELORVANE_INSTALLER_SCRIPT}" "${PROJECT_SOURCE_DIR}/cmake/write-nsis-file-lists.sh"
    COMMENT "Building Pelorvane-${PROJECT_VERSION}-${PELORVANE_PLATFORM}-setup.exe"
    VERBATIM)
add_custom_target(PelorvaneInstaller ALL DEPENDS "${PELORVANE_INSTALLER}")
add_dependencies(PelorvaneInstaller PelorvanePresets)
