# folvarek_add_gtest(<name> SOURCES <files...> [LIBS <libraries...>])
# A GoogleTest program that ctest runs in whichever tree it is built: natively (with the sanitizers
# when they are on), or cross-built as a Windows program and run under Wine. A test of Windows
# behaviour is added only in the Windows tree by the folder that holds it.
function(folvarek_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(WIN32)
    folvarek_add_program(${name} CONSOLE SOURCES ${ARG_SOURCES})
  else()
    add_executable(${name} ${ARG_SOURCES})
  endif()
  target_link_libraries(${name} PRIVATE GTest::gtest_main ${ARG_LIBS})
  add_test(NAME ${name} COMMAND ${name})
endfunction()
