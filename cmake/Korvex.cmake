# Helpers shared by the tree: Wine as the test emulator, GoogleTest, the rig fixture, and the
# native tests' rig.

# Every Windows program of the tests runs under Wine in the project's own prefix.
if(CMAKE_CROSSCOMPILING)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KORVEX_RIG} wine)
endif()

# One simulated board per architecture, so the two test suites never share a line. Its control
# port is fixed for a build folder and differs between folders, so two checkouts on one machine
# can run their tests at the same time.
if(KORVEX_ARCH STREQUAL "win32")
  set(KORVEX_SIM_COM 5)
else()
  set(KORVEX_SIM_COM 6)
endif()
# The rig's loader for Wine's own programs (regsvr32, cscript, msiexec) of this architecture.
if(KORVEX_ARCH STREQUAL "win32")
  set(KORVEX_WINE_LOADER wine)
else()
  set(KORVEX_WINE_LOADER wine64)
endif()
string(MD5 build_folder_hash "${CMAKE_BINARY_DIR}")
string(SUBSTRING "${build_folder_hash}" 0 4 build_folder_hash)
math(EXPR KORVEX_SIM_CONTROL "20000 + 0x${build_folder_hash} % 20000")
set(KORVEX_SIM_ENV KORVEX_SIM_COM=${KORVEX_SIM_COM} KORVEX_SIM_CONTROL=${KORVEX_SIM_CONTROL})

# A native test program runs through the rig, with the line shim preloaded: it gives the
# simulated board's terminal its modem lines (RTS, DTR). The board's terminal is linked at
# KORVEX_SIM_DEVICE in the rig's folder.
if(NOT WIN32)
  set(KORVEX_NATIVE_RUN env KORVEX_BUILD=${KORVEX_BUILD_ROOT} ${KORVEX_RIG})
  set(KORVEX_SIM_DEVICE ${KORVEX_BUILD_ROOT}/rig/linux.tty)
  set(KORVEX_NATIVE_ENV KORVEX_SIM_DEVICE=${KORVEX_SIM_DEVICE} KORVEX_SIM_CONTROL=${KORVEX_SIM_CONTROL})
endif()

function(korvex_add_googletest)
  if(TARGET gtest)
    return()
  endif()
  # MinGW's default thread model has no threads for GoogleTest; a native build has them.
  if(WIN32)
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  endif()
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
  korvex_add_gtest(RUN "" ENV "${KORVEX_SIM_ENV}" ${ARGN})
endfunction()

# korvex_add_native_test(NAME <name> SOURCES <files...> [LIBS <libs...>] [BOARD])
# Builds a native GoogleTest program and registers it with CTest, run through the rig.
# BOARD puts the test behind the native simulated board's fixture.
function(korvex_add_native_test)
  korvex_add_gtest(RUN "${KORVEX_NATIVE_RUN};native" ENV "${KORVEX_NATIVE_ENV}" ${ARGN})
endfunction()

# What both kinds share: the program, its registration started by RUN (Wine is the emulator of
# a cross build) with ENV, and the board's fixture.
function(korvex_add_gtest)
  cmake_parse_arguments(T "BOARD" "NAME" "SOURCES;LIBS;RUN;ENV" ${ARGN})
  korvex_add_googletest()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} gtest_main gtest)
  target_include_directories(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/tests/common)
  if(T_RUN)
    add_test(NAME ${T_NAME} COMMAND ${T_RUN} $<TARGET_FILE:${T_NAME}> --gtest_color=no)
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_color=no)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${T_ENV}" TIMEOUT 600)
  if(T_BOARD)
    set_tests_properties(${T_NAME} PROPERTIES FIXTURES_REQUIRED board RESOURCE_LOCK board)
  endif()
endfunction()

# korvex_add_readonly_folder(<name> <test> [<file>...])
# Gives <test> a program folder that cannot be written, holding the files given: made before
# the test by <name>_readonly_make, removed after it by <name>_readonly_remove; the test finds it
# in KORVEX_READONLY_FOLDER.
function(korvex_add_readonly_folder name test)
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/readonly-program-folder)
  set(script ${CMAKE_SOURCE_DIR}/tests/common/readonly_folder.sh)
  add_test(NAME ${name}_readonly_make COMMAND ${script} make ${folder} ${ARGN})
  add_test(NAME ${name}_readonly_remove COMMAND ${script} remove ${folder})
  set_tests_properties(${name}_readonly_make PROPERTIES FIXTURES_SETUP ${name}_readonly_folder)
  set_tests_properties(${name}_readonly_remove PROPERTIES FIXTURES_CLEANUP ${name}_readonly_folder)
  set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED ${name}_readonly_folder)
  set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT "KORVEX_READONLY_FOLDER=Z:${folder}")
endfunction()

# korvex_add_codepage_run(<test> <filter>)
# Runs the tests of <test> that <filter> names a second time, as <test>_cp1252, under a locale
# that gives Wine's programs code page 1252 (the rig reads KORVEX_LOCALE): what they check must
# hold on a Windows whose ANSI code page is not 1251. KORVEX_EXPECT_ACP tells the tests which
# code page they run under. The run shares the board and the fixtures of <test>.
function(korvex_add_codepage_run test filter)
  add_test(NAME ${test}_cp1252 COMMAND ${test} --gtest_color=no "--gtest_filter=${filter}")
  set_tests_properties(
    ${test}_cp1252 PROPERTIES ENVIRONMENT
    "${KORVEX_SIM_ENV};KORVEX_LOCALE=C.UTF-8;KORVEX_EXPECT_ACP=1252" TIMEOUT 600)
  get_test_property(${test} FIXTURES_REQUIRED fixtures)
  if(fixtures)
    set_tests_properties(${test}_cp1252 PROPERTIES FIXTURES_REQUIRED "${fixtures}"
                                                   RESOURCE_LOCK board)
  endif()
endfunction()

# korvex_add_typelib(<target> <idl>)
# One IDL source gives the type library <name>.tlb and the C/C++ declaration <name>_TLB.h with
# its GUIDs (<name>_TLB_i.c, built as the static library <target>). The source is UTF-8; widl
# copies help strings' bytes unchanged and the type-library loader reads them in the ANSI code
# page, so widl is given a cp1251 copy.
function(korvex_add_typelib target idl)
  get_filename_component(name ${idl} NAME_WE)
  set(out ${CMAKE_CURRENT_BINARY_DIR})
  if(KORVEX_ARCH STREQUAL "win32")
    set(kind --win32)
    set(stdole_dir /usr/lib/i386-linux-gnu/wine/i386-windows)
  else()
    set(kind --win64)
    set(stdole_dir /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
  endif()
  add_custom_command(
    OUTPUT ${out}/${name}.tlb ${out}/${name}_TLB.h ${out}/${name}_TLB_i.c
    COMMAND iconv -f UTF-8 -t CP1251 -o ${out}/${name}.cp1251.idl ${CMAKE_CURRENT_SOURCE_DIR}/${idl}
    COMMAND ${KORVEX_WIDL} ${kind} -I/usr/include/wine/wine/windows -L${stdole_dir}
            -t -T ${out}/${name}.tlb -h -H ${out}/${name}_TLB.h -u -U ${out}/${name}_TLB_i.c
            ${out}/${name}.cp1251.idl
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${idl}
    COMMENT "Type library ${name}"
    VERBATIM)
  add_library(${target} STATIC ${out}/${name}_TLB_i.c ${out}/${name}_TLB.h)
  target_include_directories(${target} PUBLIC ${out})
  target_link_libraries(${target} PUBLIC uuid ole32 oleaut32)
  set(${target}_TLB ${out}/${name}.tlb PARENT_SCOPE)
endfunction()

# korvex_version_resource(<target> <version>)
# The version resource in <target>'s resource script takes <version> (four numbers with dots),
# written once in the top CMakeLists.txt: VERSION_NUMBERS for FILEVERSION and PRODUCTVERSION,
# and VERSION_DOTTED, from which common/VersionText.h makes VERSION_TEXT for the strings.
function(korvex_version_resource target version)
  string(REPLACE "." "," numbers "${version}")
  get_target_property(sources ${target} SOURCES)
  list(FILTER sources INCLUDE REGEX "\\.rc$")
  set_property(SOURCE ${sources} APPEND PROPERTY COMPILE_DEFINITIONS "VERSION_NUMBERS=${numbers}"
                                                                     "VERSION_DOTTED=${version}")
endfunction()
