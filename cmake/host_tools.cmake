# Host tools that a Windows build runs: mossgate-package, which writes the package
# and inspects setup programs (the artwork tool sits in host.cmake). Also built by
# the nested MOSSGATE_HOST_TOOLS_ONLY build of each Windows build (see the
# ExternalProject host_tools in windows.cmake).
set(MOSSGATE_PACKAGE_TOOL_SOURCES
    tools/mossgate-package/extract.cpp
    tools/mossgate-package/file_io.cpp
    tools/mossgate-package/inspect.cpp
    tools/mossgate-package/manifest.cpp
    tools/mossgate-package/mossgate_package.cpp
    tools/mossgate-package/tool_error.cpp
    tools/mossgate-package/write_package.cpp
)
add_executable(mossgate-package ${MOSSGATE_PACKAGE_TOOL_SOURCES})
target_compile_options(mossgate-package PRIVATE ${MOSSGATE_WARNINGS})
target_link_libraries(mossgate-package PRIVATE mossgate_core)

# The ordinary user beside the program in the Windows scenarios (a Linux process
# that watches and swaps in the prefix's folders).
add_executable(ordinary_user tests/windows/support/ordinary_user.cpp)
target_compile_options(ordinary_user PRIVATE ${MOSSGATE_WARNINGS})
# Static: the WoW64 runtime starts it inside its chroot.
target_link_options(ordinary_user PRIVATE -static)

if(MOSSGATE_HOST_TOOLS_ONLY)
    # The Windows build's GUI tests read the X server's cursor with one, and take
    # and read their screenshots with the other.
    find_package(X11 REQUIRED)
    find_package(ZLIB REQUIRED)
    add_executable(x_cursor tests/gui/x_cursor.c)
    target_link_libraries(x_cursor PRIVATE X11::X11 X11::Xfixes)
    add_executable(x_probe tests/gui/x_probe.c)
    target_compile_options(x_probe PRIVATE -Wall -Wextra -Werror)
    target_link_libraries(x_probe PRIVATE X11::X11 ZLIB::ZLIB)
    return()
endif()

# The tests run a copy of the tool built against the sanitized core
# (mossgate_core_checked, defined in host.cmake after this file).
enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)
add_executable(mossgate-package-checked ${MOSSGATE_PACKAGE_TOOL_SOURCES})
target_compile_options(mossgate-package-checked PRIVATE ${MOSSGATE_WARNINGS})
target_link_libraries(mossgate-package-checked PRIVATE mossgate_core_checked)

add_executable(mossgate_package_tests tests/mossgate-package/mossgate_package_test.cpp)
target_compile_options(mossgate_package_tests PRIVATE ${MOSSGATE_WARNINGS})
find_program(MOSSGATE_PYTHON NAMES python3 REQUIRED)
target_compile_definitions(mossgate_package_tests PRIVATE
    MOSSGATE_PACKAGE_TOOL="$<TARGET_FILE:mossgate-package-checked>"
    MOSSGATE_PYTHON="${MOSSGATE_PYTHON}")
target_link_libraries(mossgate_package_tests PRIVATE mossgate_core_checked GTest::gtest_main)
add_dependencies(mossgate_package_tests mossgate-package-checked)
gtest_discover_tests(mossgate_package_tests TEST_PREFIX mossgate-package. DISCOVERY_TIMEOUT 60)
