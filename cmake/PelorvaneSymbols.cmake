# The VST3 module ships stripped. Its debug information is split off after linking into a
# symbol file beside its bundle, with a record of the module's build identifier, version and
# platform, and packed as an archive beside the bundle's archive:
#   VST3  Pelorvane-<version>-<platform>-symbols       (from Pelorvane_artefacts/<config>/VST3)
# (The LV2 binary writes no crash log and is linked stripped: cmake/PelorvaneLV2.cmake.)
# A crash log ends with the same identifier, which is how scripts/symbolize-crash-log.sh
# finds the symbols that belong to it. Included by cmake/PelorvanePackage.cmake; sets
# PELORVANE_SYMBOLS_ARCHIVE (the VST3 module's) and
# Pelorvane_VST3_DEBUG_FILE (the VST3 module's symbol file).

# Line tables for the symbolizer; -g leaves the generated code as it is.
target_compile_options(Pelorvane PRIVATE -g)

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

# pelorvane_split_symbols(TARGET SYMBOLS_NAME BUNDLE_PARENT ARCHIVE_VARIABLE)
# Strips TARGET's module as part of its own build (a failing step deletes the module, so the
# next build links it and splits it again), keeps its debug information and record in
# BUNDLE_PARENT/SYMBOLS_NAME, and adds the rule that packs them; sets ARCHIVE_VARIABLE to the
# archive's path and <TARGET>_DEBUG_FILE to the symbol file's.
function(pelorvane_split_symbols target symbols_name bundle_parent archive_variable)
    target_compile_options(${target} PRIVATE -g)
    # ELF: the GNU build-id note. PE: MinGW's ld writes it as a CodeView ("RSDS") record in the
    # debug directory instead.
    target_link_options(${target} PRIVATE -Wl,--build-id=sha1)

    set(symbols_dir "${bundle_parent}/${symbols_name}")
    set(debug_file "${symbols_dir}/$<TARGET_FILE_NAME:${target}>.debug")

    # ThreadSanitizer names its reports' frames from the module's own debug information, so a
    # tree built for it (scripts/test-tsan.sh) leaves the modules whole.
    if(PELORVANE_TSAN)
        return()
    endif()

    # The debug link names the symbol file, so debuggers pick it up when it is put beside the
    # module.
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${symbols_dir}"
        COMMAND "${CMAKE_OBJCOPY}" --only-keep-debug "$<TARGET_FILE:${target}>" "${debug_file}"
        COMMAND "${CMAKE_STRIP}" --strip-unneeded "$<TARGET_FILE:${target}>"
        COMMAND "${CMAKE_OBJCOPY}" "--add-gnu-debuglink=${debug_file}" "$<TARGET_FILE:${target}>"
        COMMAND bash "${PROJECT_SOURCE_DIR}/cmake/write-symbols-info.sh"
                "$<TARGET_FILE:${target}>" "${PELORVANE_BUILD_ID_READER}"
                "${PROJECT_VERSION}" "${PELORVANE_PLATFORM}" "$<TARGET_FILE_NAME:${target}>.debug"
                "${symbols_dir}/build-info.txt"
        COMMENT "Splitting the symbols off ${target}"
        VERBATIM)

    set(archive "${CMAKE_CURRENT_BINARY_DIR}/${symbols_name}.${PELORVANE_SYMBOLS_ARCHIVE_SUFFIX}")
    add_custom_command(OUTPUT "${archive}"
        COMMAND "${CMAKE_COMMAND}" -E tar ${PELORVANE_SYMBOLS_ARCHIVE_MODE}
                "${archive}" ${PELORVANE_SYMBOLS_ARCHIVE_FORMAT} "${symbols_name}"
        WORKING_DIRECTORY "${bundle_parent}"
        DEPENDS ${target} "$<TARGET_FILE:${target}>"
        COMMENT "Packing ${symbols_name}.${PELORVANE_SYMBOLS_ARCHIVE_SUFFIX}"
        VERBATIM)
    set(${archive_variable} "${archive}" PARENT_SCOPE)
    set(${target}_DEBUG_FILE "${debug_file}" PARENT_SCOPE)
endfunction()

pelorvane_split_symbols(Pelorvane_VST3
    "Pelorvane-${PROJECT_VERSION}-${PELORVANE_PLATFORM}-symbols"
    "${PELORVANE_BUNDLE_PARENT}" PELORVANE_SYMBOLS_ARCHIVE)

