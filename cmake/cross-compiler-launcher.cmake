# Included by the cross-builds' toolchain files: their compilers run through ccache when it is
# installed, unless a launcher is given on the command line.
find_program(PELORVANE_CCACHE ccache)
if(PELORVANE_CCACHE)
  foreach(_lang C CXX)
    if(NOT DEFINED CMAKE_${_lang}_COMPILER_LAUNCHER)
      set(CMAKE_${_lang}_COMPILER_LAUNCHER "${PELORVANE_CCACHE}" CACHE STRING
        "Launcher for the ${_lang} compiler")
    endif()
  endforeach()
  unset(_lang)
endif()
