# The framework's modules are libraries of sources that every target linking them compiles
# anew. The plug-in and the host kit would each compile all of them, although they differ
# only in the processors module (the host kit can load VST3 modules). This compiles every
# other module once, with the plug-in's settings, into PelorvaneFramework, and leaves the
# processors module (and the DSP module, which only the host kit uses) to each target.
#
# The framework's own sources are compiled without warnings: they are not ours to fix, and
# hundreds of lines of them would hide ours.

set(PELORVANE_SHARED_MODULES
    juce_core
    juce_events
    juce_data_structures
    juce_graphics
    juce_gui_basics
    juce_gui_extra
    juce_audio_basics
    juce_audio_formats
    juce_audio_devices
    juce_audio_utils)

function(pelorvane_compile_framework_once plugin_target)
    set(shared_sources)
    set(system_libraries)
    get_property(all_modules GLOBAL PROPERTY _juce_module_names)

    foreach(module IN LISTS PELORVANE_SHARED_MODULES)
        get_target_property(module_sources ${module} INTERFACE_SOURCES)
        if(module_sources)
            list(APPEND shared_sources ${module_sources})
        endif()
        set_target_properties(${module} PROPERTIES INTERFACE_SOURCES "")

        # What the module needs from the system (libpng, fontconfig, ALSA, ...) must come
        # after this library on every link line.
        get_target_property(module_links ${module} INTERFACE_LINK_LIBRARIES)
        foreach(link IN LISTS module_links)
            string(REGEX REPLACE "^juce::" "" bare "${link}")
            if(link AND NOT bare IN_LIST all_modules)
                list(APPEND system_libraries "${link}")
            endif()
        endforeach()
    endforeach()

    # Built as the plug-in builds them (its definitions and include paths, those of the
    # modules and system libraries included), so the plug-in's behaviour does not change.
    # Linking the modules here instead would bring in the processors module's sources again.
    add_library(PelorvaneFramework STATIC ${shared_sources})
    foreach(property IN ITEMS POSITION_INDEPENDENT_CODE VISIBILITY_INLINES_HIDDEN CXX_VISIBILITY_PRESET)
        get_target_property(value ${plugin_target} ${property})
        set_target_properties(PelorvaneFramework PROPERTIES ${property} "${value}")
    endforeach()
    target_compile_definitions(PelorvaneFramework PRIVATE
        $<TARGET_PROPERTY:${plugin_target},COMPILE_DEFINITIONS>)
    target_include_directories(PelorvaneFramework SYSTEM PRIVATE
        $<TARGET_PROPERTY:${plugin_target},INCLUDE_DIRECTORIES>)
    target_compile_options(PelorvaneFramework PRIVATE
        $<TARGET_PROPERTY:${plugin_target},COMPILE_OPTIONS> -w)

    list(REMOVE_DUPLICATES system_libraries)
    target_link_libraries(PelorvaneFramework PUBLIC ${system_libraries})
    if(TARGET juce::pkgconfig_JUCE_IMG_LINUX_DEPS)
        target_link_libraries(PelorvaneFramework PUBLIC juce::pkgconfig_JUCE_IMG_LINUX_DEPS)
    endif()
endfunction()

# What remains compiled per target is quiet too; and the framework's headers count as system
# headers, so warnings in them do not show up in every file of ours that includes them.
function(pelorvane_quiet_framework)
    file(GLOB module_sources "${JUCE_MODULES_DIR}/*/*.cpp")
    set_source_files_properties(${module_sources} PROPERTIES COMPILE_OPTIONS -w)

    get_property(modules GLOBAL PROPERTY _juce_module_names)
    foreach(module IN LISTS modules)
        set_target_properties(${module} PROPERTIES SYSTEM TRUE)
    endforeach()
endfunction()
