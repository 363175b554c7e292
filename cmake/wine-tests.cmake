# GoogleTest built with the project's compiler, and the helpers that declare tests.
# Windows tests run under wine64 through the build's wine-exec.sh wrapper, one at a
# time: they share one Wine prefix, and with it one registry.

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
set_target_properties(gtest gtest_main PROPERTIES COMPILE_OPTIONS "")
include(GoogleTest)

if(WIN32)
  set(DEFPATCH_WINEPREFIX "${CMAKE_BINARY_DIR}/../wineprefix" CACHE PATH "Wine prefix the tests run in")
  configure_file(${PROJECT_SOURCE_DIR}/tools/wine-exec.sh.in ${CMAKE_BINARY_DIR}/wine-exec.sh
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE @ONLY)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-exec.sh)
endif()

# defpatch_add_test(NAME SOURCES... [LIBS libs...] [PROPERTIES name value...])
# One GoogleTest program; each of its cases becomes a CTest test. PROPERTIES are
# added to every case (for instance FIXTURES_REQUIRED); FILTER, a --gtest_filter
# expression, leaves out the cases that a test of its own runs in another way.
function(defpatch_add_test name)
  cmake_parse_arguments(ARG "" "FILTER" "LIBS;PROPERTIES" ${ARGN})
  set(filter "")
  if(ARG_FILTER)
    set(filter TEST_FILTER ${ARG_FILTER})
  endif()
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
  if(WIN32)
    target_compile_definitions(${name} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
    target_link_options(${name} PRIVATE -static)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 ${filter}
                         PROPERTIES RESOURCE_LOCK wineprefix TIMEOUT 180 ${ARG_PROPERTIES})
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 ${filter} PROPERTIES TIMEOUT 180
                         ${ARG_PROPERTIES})
  endif()
endfunction()
