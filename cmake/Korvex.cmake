# Helpers shared by the tree: Wine as the test emulator, GoogleTest, and the rig fixture.

# Every Windows program of the tests runs under Wine in the project's own prefix.
if(CMAKE_CROSSCOMPILING)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KORVEX_RIG} wine)
endif()

# One simulated board per architecture, so the two test suites never share a line.
if(KORVEX_ARCH STREQUAL "win32")
  set(KORVEX_SIM_COM 5)
  set(KORVEX_SIM_CONTROL 47105)
else()
  set(KORVEX_SIM_COM 6)
  set(KORVEX_SIM_CONTROL 47106)
endif()
set(KORVEX_SIM_ENV KORVEX_SIM_COM=${KORVEX_SIM_COM} KORVEX_SIM_CONTROL=${KORVEX_SIM_CONTROL})

function(korvex_add_googletest)
  if(TARGET gtest)
    return()
  endif()
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # GoogleTest's own sources are not held to our warning set.
  target_compile_options(gtest PRIVATE -Wno-error)
  target_compile_options(gtest_main PRIVATE -Wno-error)
endfunction()

# korvex_add_wine_test(NAME <name> SOURCES <files...> [LIBS <libs...>] [BOARD])
# Builds a GoogleTest program and registers it with CTest, run under Wine.
# BOARD puts the test behind the simulated-board fixture of this architecture.
function(korvex_add_wine_test)
  cmake_parse_arguments(T "BOARD" "NAME" "SOURCES;LIBS" ${ARGN})
  korvex_add_googletest()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} gtest_main gtest)
  target_include_directories(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/tests/common)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_color=no)
  set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${KORVEX_SIM_ENV}" TIMEOUT 600)
  if(T_BOARD)
    set_tests_properties(${T_NAME} PROPERTIES FIXTURES_REQUIRED board RESOURCE_LOCK board)
  endif()
endfunction()
