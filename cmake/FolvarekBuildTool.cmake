# folvarek_build_tool(<var> <name> <source> [INCLUDES <dirs...>])
# A program that runs during the build. A cross build compiles it with the build machine's own
# compiler (its header dependencies tracked); any other build makes it an ordinary target. <var> is
# set to what a custom command runs.
function(folvarek_build_tool var name source)
  cmake_parse_arguments(ARG "" "" "INCLUDES" ${ARGN})
  if(CMAKE_CROSSCOMPILING)
    find_program(FOLVAREK_HOST_CXX NAMES c++ g++ REQUIRED)
    set(program ${CMAKE_CURRENT_BINARY_DIR}/${name}-host)
    list(TRANSFORM ARG_INCLUDES PREPEND -I OUTPUT_VARIABLE include_flags)
    add_custom_command(OUTPUT ${program}
      COMMAND ${FOLVAREK_HOST_CXX} -std=c++20 -O2 ${include_flags} -MD -MF ${program}.d -o ${program}
              ${CMAKE_CURRENT_SOURCE_DIR}/${source}
      DEPENDS ${source}
      DEPFILE ${program}.d
      COMMENT "Building ${name} for the build machine")
    set(${var} ${program} PARENT_SCOPE)
  else()
    add_executable(${name} ${source})
    target_include_directories(${name} PRIVATE ${ARG_INCLUDES})
    set(${var} ${name} PARENT_SCOPE)
  endif()
endfunction()
