# The LV2 plug-in's UI: the pedal window in a binary of its own, Pelorvane.lv2/PelorvaneUI.so,
# next to the framework-free DSP binary (cmake/PelorvaneLV2.cmake). It takes the editor and the
# framework already compiled for the plug-in (the Pelorvane library and PelorvaneFramework), and
# with them their settings: the same compile options, the static TLS model a module loaded with
# dlopen needs, and no unique symbols. Included from CMakeLists.txt after both; Linux only.
add_library(Pelorvane_LV2UI MODULE
    source/lv2/LV2UIEntry.cpp
    source/lv2/PelorvaneLV2UI.cpp
    source/lv2/PortParameters.cpp)
target_link_libraries(Pelorvane_LV2UI PRIVATE Pelorvane)
target_include_directories(Pelorvane_LV2UI PRIVATE
    $<TARGET_PROPERTY:Pelorvane,INCLUDE_DIRECTORIES> "${PELORVANE_LV2_INCLUDE_DIR}")
target_compile_definitions(Pelorvane_LV2UI PRIVATE $<TARGET_PROPERTY:Pelorvane,COMPILE_DEFINITIONS>)
if(PELORVANE_WERROR)
    target_compile_options(Pelorvane_LV2UI PRIVATE -Werror)
endif()

# lv2ui_descriptor is all a host may see; of the libraries only those the UI calls stay needed.
set(pelorvane_lv2ui_exports "${CMAKE_CURRENT_SOURCE_DIR}/source/lv2/lv2ui-exports.map")
target_link_options(Pelorvane_LV2UI PRIVATE
    "-Wl,--version-script=${pelorvane_lv2ui_exports}" -Wl,--no-undefined -Wl,--as-needed -Wl,--gc-sections)
if(NOT PELORVANE_SANITIZE AND NOT PELORVANE_TSAN)
    target_link_options(Pelorvane_LV2UI PRIVATE -s)
endif()
set_target_properties(Pelorvane_LV2UI PROPERTIES
    PREFIX ""
    OUTPUT_NAME PelorvaneUI
    LIBRARY_OUTPUT_DIRECTORY "${PELORVANE_LV2_BUNDLE_DIR}"
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS "${pelorvane_lv2ui_exports}")
# The bundle's data declares the UI.
add_dependencies(Pelorvane_LV2UI PelorvaneLV2Data)
