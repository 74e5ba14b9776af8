# Test only: programs whose manifest leaves out the UTF-8 code page, so each runs in the system's
# ANSI code page as every program does on Windows before 10 version 1903.
option(FOLVAREK_NO_UTF8_MANIFEST "Test only: build the programs without the UTF-8 code page in their manifest" OFF)

# folvarek_add_program(<name> [ADMIN] [CONSOLE] [NO_UTF8] SOURCES <files...>)
# A Windows program with the application manifest and the product icon (resource 1) embedded;
# ADMIN asks for administrator rights, CONSOLE makes a console program, NO_UTF8 (for tests) leaves
# the UTF-8 code page out of the manifest.
function(folvarek_add_program name)
  cmake_parse_arguments(ARG "ADMIN;CONSOLE;NO_UTF8" "" "SOURCES" ${ARGN})
  set(FOLVAREK_PROGRAM ${name})
  set(FOLVAREK_ACTIVE_CODE_PAGE
      "<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">UTF-8</activeCodePage>")
  if(ARG_NO_UTF8 OR FOLVAREK_NO_UTF8_MANIFEST)
    set(FOLVAREK_ACTIVE_CODE_PAGE "")
  endif()
  if(ARG_ADMIN)
    set(FOLVAREK_EXECUTION_LEVEL requireAdministrator)
  else()
    set(FOLVAREK_EXECUTION_LEVEL asInvoker)
  endif()
  set(FOLVAREK_MANIFEST_FILE ${CMAKE_CURRENT_BINARY_DIR}/${name}.manifest)
  set(FOLVAREK_ICON_FILE ${FOLVAREK_RESOURCES_DIR}/folvarek.ico)
  configure_file(${FOLVAREK_CMAKE_DIR}/app.manifest.in ${FOLVAREK_MANIFEST_FILE} @ONLY)
  configure_file(${FOLVAREK_CMAKE_DIR}/manifest.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${name}.manifest.rc @ONLY)
  add_executable(${name} ${ARG_SOURCES} ${CMAKE_CURRENT_BINARY_DIR}/${name}.manifest.rc)
  if(NOT ARG_CONSOLE)
    set_target_properties(${name} PROPERTIES WIN32_EXECUTABLE ON)
  endif()
endfunction()
