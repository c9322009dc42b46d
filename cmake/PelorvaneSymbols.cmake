# The VST3 module ships stripped. Its debug information is split off after linking into a
# symbol file beside the bundle, with a record of the module's build identifier, version and
# platform, and packed as Pelorvane-<version>-<platform>-symbols beside the bundle's archive.
# A crash log ends with the same identifier, which is how scripts/symbolize-crash-log.sh
# finds the symbols that belong to it. Included by cmake/PelorvanePackage.cmake.

# Line tables for the symbolizer; -g leaves the generated code as it is.
target_compile_options(Pelorvane PRIVATE -g)
target_compile_options(Pelorvane_VST3 PRIVATE -g)

# ELF: the GNU build-id note. PE: MinGW's ld writes it as a CodeView ("RSDS") record in the
# debug directory instead.
target_link_options(Pelorvane_VST3 PRIVATE -Wl,--build-id=sha1)

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    set(PELORVANE_BUILD_ID_READER "${CMAKE_OBJDUMP}")
    set(PELORVANE_SYMBOLS_ARCHIVE_MODE cf)
    set(PELORVANE_SYMBOLS_ARCHIVE_FORMAT --format=zip)
    set(PELORVANE_SYMBOLS_ARCHIVE_SUFFIX zip)
else()
    set(PELORVANE_BUILD_ID_READER "${CMAKE_READELF}")
    set(PELORVANE_SYMBOLS_ARCHIVE_MODE cfz)
    set(PELORVANE_SYMBOLS_ARCHIVE_FORMAT --format=gnutar)
    set(PELORVANE_SYMBOLS_ARCHIVE_SUFFIX tar.gz)
endif()

foreach(tool CMAKE_OBJCOPY CMAKE_STRIP PELORVANE_BUILD_ID_READER)
    if(NOT ${tool})
        message(FATAL_ERROR "${tool} not found: the module's symbols cannot be split off")
    endif()
endforeach()

set(PELORVANE_SYMBOLS_NAME "Pelorvane-${PROJECT_VERSION}-${PELORVANE_PLATFORM}-symbols")
set(PELORVANE_SYMBOLS_DIR "${PELORVANE_BUNDLE_PARENT}/${PELORVANE_SYMBOLS_NAME}")
set(PELORVANE_DEBUG_FILE "${PELORVANE_SYMBOLS_DIR}/$<TARGET_FILE_NAME:Pelorvane_VST3>.debug")

# A failing step deletes the module, so the next build links it and splits it again. The debug
# link names the symbol file, so debuggers pick it up when it is put beside the module.
add_custom_command(TARGET Pelorvane_VST3 POST_BUILD
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${PELORVANE_SYMBOLS_DIR}"
    COMMAND "${CMAKE_OBJCOPY}" --only-keep-debug "$<TARGET_FILE:Pelorvane_VST3>" "${PELORVANE_DEBUG_FILE}"
    COMMAND "${CMAKE_STRIP}" --strip-unneeded "$<TARGET_FILE:Pelorvane_VST3>"
    COMMAND "${CMAKE_OBJCOPY}" "--add-gnu-debuglink=${PELORVANE_DEBUG_FILE}" "$<TARGET_FILE:Pelorvane_VST3>"
    COMMAND bash "${PROJECT_SOURCE_DIR}/cmake/write-symbols-info.sh"
            "$<TARGET_FILE:Pelorvane_VST3>" "${PELORVANE_BUILD_ID_READER}"
            "${PROJECT_VERSION}" "${PELORVANE_PLATFORM}" "$<TARGET_FILE_NAME:Pelorvane_VST3>.debug"
            "${PELORVANE_SYMBOLS_DIR}/build-info.txt"
    COMMENT "Splitting the symbols off the VST3 module"
    VERBATIM)

set(PELORVANE_SYMBOLS_ARCHIVE "${CMAKE_CURRENT_BINARY_DIR}/${PELORVANE_SYMBOLS_NAME}.${PELORVANE_SYMBOLS_ARCHIVE_SUFFIX}")
add_custom_command(OUTPUT "${PELORVANE_SYMBOLS_ARCHIVE}"
    COMMAND "${CMAKE_COMMAND}" -E tar ${PELORVANE_SYMBOLS_ARCHIVE_MODE}
            "${PELORVANE_SYMBOLS_ARCHIVE}" ${PELORVANE_SYMBOLS_ARCHIVE_FORMAT} "${PELORVANE_SYMBOLS_NAME}"
    WORKING_DIRECTORY "${PELORVANE_BUNDLE_PARENT}"
    DEPENDS Pelorvane_VST3 "$<TARGET_FILE:Pelorvane_VST3>"
    COMMENT "Packing ${PELORVANE_SYMBOLS_NAME}.${PELORVANE_SYMBOLS_ARCHIVE_SUFFIX}"
    VERBATIM)
