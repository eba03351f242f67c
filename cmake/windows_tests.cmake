# Windows-side tests, each CTest test in a fresh prefix of the build's Wine runtime
# (the cross-compiling emulator): the product (i686) and i686 test programs under
# the WoW64 runtime, the twin (x86_64) and x86_64 test programs under Wine 8.
enable_testing()

add_test(NAME structure.product
    COMMAND ${PROJECT_SOURCE_DIR}/tests/structure/check_product.sh
            $<TARGET_FILE:MOSSGATE_CD_Pack_Setup> ${MOSSGATE_TRIPLE})
set_tests_properties(structure.product PROPERTIES LABELS structure)

# The protections of the product and of every stand-in it carries, from their PE
# headers, code and link maps; damaged copies must fail the same checks.
set(mossgate_hardened)
foreach(target MOSSGATE_CD_Pack_Setup ${MOSSGATE_PAYLOAD_TARGETS})
    get_target_property(name ${target} OUTPUT_NAME)
    if(NOT name)
        set(name ${target})
    endif()
    list(APPEND mossgate_hardened $<TARGET_FILE:${target}>=${CMAKE_BINARY_DIR}/link-maps/${name}.map)
endforeach()
foreach(program IN LISTS mossgate_x64_programs)
    get_filename_component(name ${program} NAME_WE)
    list(APPEND mossgate_hardened ${program}=${MOSSGATE_PAYLOAD_X64}/link-maps/${name}.map)
endforeach()
find_program(MOSSGATE_PYTHON NAMES python3 REQUIRED)
add_test(NAME structure.hardening
    COMMAND ${MOSSGATE_PYTHON} ${PROJECT_SOURCE_DIR}/tests/structure/check_hardening.py
            ${mossgate_hardened})
set_tests_properties(structure.hardening PROPERTIES LABELS structure)

# Prints a Windows program's full 32-bit exit code; used by the scripts.
add_executable(launcher tools/wine/launcher.cpp)
target_include_directories(launcher PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_options(launcher PRIVATE ${MOSSGATE_WARNINGS})

# GoogleTest from its sources (Debian's googletest package), built with this toolchain.
find_path(MOSSGATE_GOOGLETEST_SOURCE googletest/CMakeLists.txt
    PATHS ENV GOOGLETEST_SOURCE /usr/src/googletest /usr/local/src/googletest
    NO_CMAKE_FIND_ROOT_PATH)
if(NOT MOSSGATE_GOOGLETEST_SOURCE)
    message(FATAL_ERROR "GoogleTest sources not found (run tools/bootstrap.sh, or set GOOGLETEST_SOURCE)")
endif()
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${MOSSGATE_GOOGLETEST_SOURCE}/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# One CTest test for each GoogleTest suite found in the sources, so that each suite
# runs in a prefix of its own; a source that changes is read again at the next build.
function(mossgate_add_suites prefix target)
    set(suites)
    foreach(source IN LISTS ARGN)
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
        file(STRINGS ${source} lines REGEX "^TEST(_F|_P)?\\([A-Za-z0-9_]+,")
        foreach(line IN LISTS lines)
            string(REGEX REPLACE "^TEST(_F|_P)?\\(([A-Za-z0-9_]+),.*" "\\2" suite "${line}")
            list(APPEND suites ${suite})
        endforeach()
    endforeach()
    list(REMOVE_DUPLICATES suites)
    foreach(suite IN LISTS suites)
        add_test(NAME ${prefix}.${suite} COMMAND ${target} --gtest_filter=${suite}.*)
        set_tests_properties(${prefix}.${suite} PROPERTIES LABELS ${MOSSGATE_WINE_RUNTIME})
    endforeach()
endfunction()
target_compile_options(gtest PRIVATE -Wno-error)
target_compile_definitions(gtest PUBLIC GTEST_HAS_NOTIFICATION_=1)
target_compile_options(gtest PUBLIC
    -include ${PROJECT_SOURCE_DIR}/tests/windows/support/gtest_notification.h)

add_library(windows_test_support STATIC
    tests/windows/support/installed_state.cpp
    tests/windows/support/test_process.cpp)
target_include_directories(windows_test_support PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(windows_test_support PRIVATE ${MOSSGATE_WARNINGS})
target_link_libraries(windows_test_support PUBLIC mossgate_win gtest shell32 version)

# In-process tests of the program's Windows code, one prefix for the whole binary.
file(GLOB MOSSGATE_WINDOWS_UNIT_TESTS CONFIGURE_DEPENDS tests/windows/unit/*_test.cpp)
add_executable(windows_unit_tests ${MOSSGATE_WINDOWS_UNIT_TESTS} tests/windows/unit/test_resources.rc)
set_source_files_properties(tests/windows/unit/test_resources.rc PROPERTIES
    OBJECT_DEPENDS ${MOSSGATE_PACKAGE_FILE} INCLUDE_DIRECTORIES ${MOSSGATE_PACKAGE_DIR})
# The runner and probe tests start the stand-in driver setup programs built beside them.
add_dependencies(windows_unit_tests driver_setup_c driver_setup_d)
target_compile_options(windows_unit_tests PRIVATE ${MOSSGATE_WARNINGS})
target_link_libraries(windows_unit_tests PRIVATE windows_test_support gtest_main uuid)
add_test(NAME windows.unit COMMAND windows_unit_tests)
set_tests_properties(windows.unit PROPERTIES LABELS ${MOSSGATE_WINE_RUNTIME})

# Scenarios that start the real twin executable: one prefix for each test suite.
file(GLOB MOSSGATE_SCENARIO_TESTS CONFIGURE_DEPENDS tests/windows/scenario/*_test.cpp)
add_executable(scenario_tests ${MOSSGATE_SCENARIO_TESTS})
target_compile_options(scenario_tests PRIVATE ${MOSSGATE_WARNINGS})
# OLEACC's IID_IAccessible is a code thunk in MinGW's x86_64 import library: the
# tests take the identifier from __uuidof instead.
target_link_libraries(scenario_tests PRIVATE windows_test_support gtest_main oleacc oleaut32)
add_dependencies(scenario_tests MOSSGATE_CD_Pack_Setup host_tools)
target_compile_definitions(scenario_tests PRIVATE
    MOSSGATE_ORDINARY_USER="${MOSSGATE_HOST_TOOLS}/ordinary_user")
add_executable(trace_program WIN32 tests/windows/support/trace_program.cpp)
target_include_directories(trace_program PRIVATE ${PROJECT_SOURCE_DIR})
add_executable(resource_patch tests/windows/support/resource_patch.cpp)
add_dependencies(scenario_tests trace_program resource_patch)
mossgate_add_suites(scenario scenario_tests ${MOSSGATE_SCENARIO_TESTS})

# DLL planting: a DLL that leaves a trace when loaded sits beside the test program
# and a copy of the twin as SHELL32.DLL and SHFOLDER.DLL.
set(MOSSGATE_PLANTED_DIR ${CMAKE_BINARY_DIR}/bin/planted)
add_library(planted_dll SHARED tests/windows/planted/planted_dll.cpp)
set_target_properties(planted_dll PROPERTIES PREFIX "")
target_include_directories(planted_dll PRIVATE ${PROJECT_SOURCE_DIR})
add_executable(planting_tests tests/windows/planted/planting_test.cpp)
target_compile_options(planting_tests PRIVATE ${MOSSGATE_WARNINGS})
target_link_libraries(planting_tests PRIVATE windows_test_support gtest_main)
set_target_properties(planting_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${MOSSGATE_PLANTED_DIR})
add_dependencies(planting_tests MOSSGATE_CD_Pack_Setup)
add_custom_command(TARGET planting_tests POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:planted_dll> ${MOSSGATE_PLANTED_DIR}/SHELL32.DLL
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:planted_dll> ${MOSSGATE_PLANTED_DIR}/SHFOLDER.DLL
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:MOSSGATE_CD_Pack_Setup> ${MOSSGATE_PLANTED_DIR}/
    VERBATIM)
add_test(NAME windows.dll_planting COMMAND planting_tests)
# Wine prefers its built-in shell DLLs even beside a program; native-first makes
# the search order the one Windows uses for DLLs outside its known list.
set_tests_properties(windows.dll_planting PROPERTIES LABELS ${MOSSGATE_WINE_RUNTIME}
    ENVIRONMENT "MOSSGATE_EXTRA_DLLOVERRIDES=shell32,shfolder=n,b")
# The window under Xvfb, driven with xdotool; screenshots go to build/<preset>/artifacts.
add_executable(link_recorder WIN32 tests/gui/link_recorder.cpp)
add_executable(window_info tests/gui/window_info.cpp)
target_link_libraries(window_info PRIVATE oleacc ole32 oleaut32)
if(MOSSGATE_WINE_RUNTIME STREQUAL wow64)
    # The runtime's runner where the runtime runs: prefixes, two runs at once,
    # nothing left mounted or running.
    add_test(NAME wow64.harness COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/wow64-selftest.sh ${MOSSGATE_PACKAGE_DIR}/files)
    set_tests_properties(wow64.harness PROPERTIES LABELS wow64 RUN_SERIAL ON)
    # On the host: the scripts that make the runtime and its emulated machine
    # (readiness by content, the one-line report when it cannot be made) and,
    # where the machine is made, its runs.
    add_test(NAME harness.bootstrap COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/bootstrap-selftest.sh)
    set_tests_properties(harness.bootstrap PROPERTIES LABELS harness TIMEOUT 600 RUN_SERIAL ON)
endif()

set(MOSSGATE_GUI_SCENARIOS ready clicks install no-shell remove failed-removal no-picture
    command-line-install command-line-failed-removal startup-error)
if(MOSSGATE_WINE_RUNTIME STREQUAL wow64)
    # Every Windows version a WoW64 prefix can report, with the product itself.
    list(APPEND MOSSGATE_GUI_SCENARIOS personalities)
endif()
foreach(scenario IN LISTS MOSSGATE_GUI_SCENARIOS)
    add_test(NAME gui.${scenario}
        COMMAND ${PROJECT_SOURCE_DIR}/tests/gui/window_test.sh ${scenario}
                ${CMAKE_BINARY_DIR}/bin ${CMAKE_BINARY_DIR}/artifacts ${MOSSGATE_GENERATED})
    # Each on an X server of its own, which picks a free display itself (-displayfd).
    set_tests_properties(gui.${scenario} PROPERTIES LABELS "gui;${MOSSGATE_WINE_RUNTIME}"
        ENVIRONMENT MOSSGATE_RUNTIME=${MOSSGATE_WINE_RUNTIME})
endforeach()


# Reproducible bytes: the preset built again from a copy of the sources elsewhere,
# later, gives the same setup program, stand-ins, package and picture.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(MOSSGATE_PRESET win32)
else()
    set(MOSSGATE_PRESET win64)
endif()
add_test(NAME release.reproducible
    COMMAND ${PROJECT_SOURCE_DIR}/tests/release/reproducible_build.sh ${MOSSGATE_PRESET}
            ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR} ${MOSSGATE_SOURCE_DATE_EPOCH} ${MOSSGATE_DEPS_DIR})
# Alone: its compilers would take the CPU from the tests that watch the window's timing.
set_tests_properties(release.reproducible PROPERTIES LABELS release TIMEOUT 1500 RUN_SERIAL ON)

# The product signed with a test CA (tools/sign.sh): it verifies, its package too,
# a flipped byte does not; and signed, it still installs and removes.
if(MOSSGATE_WINE_RUNTIME STREQUAL wow64)
    set(MOSSGATE_SIGNED_TEST ${CMAKE_BINARY_DIR}/signed-test)
    add_test(NAME release.signature
        COMMAND ${PROJECT_SOURCE_DIR}/tests/release/check_signature.sh ${PROJECT_SOURCE_DIR}/tools/sign.sh
                $<TARGET_FILE:MOSSGATE_CD_Pack_Setup> ${MOSSGATE_HOST_TOOLS}/mossgate-package
                ${MOSSGATE_SIGNED_TEST})
    set_tests_properties(release.signature PROPERTIES LABELS release FIXTURES_SETUP signed_product)
    add_test(NAME release.signed_install
        COMMAND ${PROJECT_SOURCE_DIR}/tests/release/signed_install.sh
                ${MOSSGATE_SIGNED_TEST}/MOSSGATE_CD_Pack_Setup.exe ${CMAKE_BINARY_DIR}/bin)
    set_tests_properties(release.signed_install PROPERTIES LABELS "release;wow64"
        FIXTURES_REQUIRED signed_product)

    # tools/release.sh itself: the winget manifests against winget's schemas, the bill
    # of materials against SPDX's, both against the program and the build; damaged
    # copies must fail. It configures and builds this tree again (a no-op when it is
    # up to date), so it runs alone.
    add_test(NAME release.artefacts
        COMMAND ${PROJECT_SOURCE_DIR}/tests/release/release_artefacts.sh ${PROJECT_SOURCE_DIR}
                ${CMAKE_BINARY_DIR}/release-test ${MOSSGATE_CRYPTO_DIR})
    set_tests_properties(release.artefacts PROPERTIES LABELS release TIMEOUT 600 RUN_SERIAL ON)
endif()

# Where the machine runs no 32-bit code at all, the WoW64 runtime's scripts end
# with 77 and say why (tools/wine/wow64-env.sh): its tests are then reported as not
# run, never as passed (tools/lib/ctest_results.py counts them apart).
if(MOSSGATE_WINE_RUNTIME STREQUAL wow64)
    get_property(MOSSGATE_ALL_TESTS DIRECTORY PROPERTY TESTS)
    foreach(test IN LISTS MOSSGATE_ALL_TESTS)
        get_test_property(${test} LABELS labels)
        if("wow64" IN_LIST labels)
            set_tests_properties(${test} PROPERTIES SKIP_RETURN_CODE 77)
        endif()
    endforeach()
endif()
